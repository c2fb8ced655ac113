// The shelf screen.
#include "core/app/EmptyStates.h"
#include "support/PdfMaker.h"
#include "support/RowClicks.h"
#include "ui/AppShellFixture.h"
#include "ui/app/EmptyStateOverlay.h"
#include "ui/dictionary/DictionaryWindow.h"
#include "ui/reader/ReaderVC.h"
#include "ui/shelf/CoverCache.h"
#include "ui/shelf/ShelfBookView.h"
#include "ui/top/TopVC.h"

#include <QDrag>
#include <QHash>
#include <QMimeData>
#include <QScrollBar>
#include <cmath>

namespace
{

TEST(ShelfListRow, SubTitleJoinsCreatorAndPublisher)
{
    const struct {
        std::optional<QString> creator, publisher;
        const char *expected;
    } cases[] = {
        { QStringLiteral("山田太郎"), QStringLiteral("医学書院"), "山田太郎,医学書院" },
        { QStringLiteral("山田太郎"), std::nullopt, "山田太郎" },
        { QStringLiteral("山田太郎"), QString(), "山田太郎" },
        { std::nullopt, QStringLiteral("医学書院"), ",医学書院" },
        { QString(), QStringLiteral("医学書院"), ",医学書院" },
        { std::nullopt, std::nullopt, "" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(QLBTableCellView::subTitle(c.creator, c.publisher), QString::fromUtf8(c.expected))
            << c.expected;
    EXPECT_EQ(QLBTableCellView::timeText(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7))),
        QStringLiteral("ダウンロード日時：2026/03/04 05:06"));
    EXPECT_EQ(QLBTableCellView::timeText(QDateTime()), QString());
}

// The shelf screen on a first run with two loose books in the contents folder.
ShelfVC *firstRunShelf(std::function<AppDelegate &()> launch)
{
    QDir(DataFolder::contentsFolder()).removeRecursively();
    UserDefaults::remove(QString::fromLatin1(UserDefaults::hasBuildBookInfo));
    UserDefaults::remove(QString::fromLatin1(UserDefaults::sort));
    installSampleBook(QStringLiteral("anatomy-basics.epub"));
    installSampleBook(QStringLiteral("臨床薬理学ノート.epub"));
    AppDelegate &app = launch();
    app.changeToShelf();
    return app.shelfVC();
}

QStringList shownBooks(ShelfVC *shelf)
{
    QStringList names;
    for (int i = 0; i < shelf->list()->model()->rowCount(); ++i)
        names << shelf->list()->model()->index(i, 0).data(ShelfBookListModel::FileNameRole).toString();
    return names;
}

bool everyCoverMade(ShelfVC *shelf)
{
    for (int i = 0; i < shelf->list()->model()->rowCount(); ++i)
        if (!shelf->list()->model()->index(i, 0).data(ShelfBookListModel::CoverMadeRole).toBool())
            return false;
    return true;
}

TEST_F(AppShellTest, ShelfRegistersLooseBooksAndMakesCoversOnlyWhenShown)
{
    ShelfVC *shelf = firstRunShelf([this]() -> AppDelegate & { return launch(); });
    EXPECT_EQ(shownBooks(shelf),
        (QStringList { QStringLiteral("anatomy-basics.epub"), QStringLiteral("臨床薬理学ノート.epub") }))
        << "loose books registered on first showing, in registration order";
    EXPECT_TRUE(m_app->window()->windowTitle().endsWith(QStringLiteral(" - マイ本棚")));
    ASSERT_TRUE(shelf->gridMode()) << "covers first";
    // No covers are made while another screen has the window.
    m_app->changeToTop();
    QTest::qWait(200); // time in which a cover would have been made
    for (int i = 0; i < shelf->list()->model()->rowCount(); ++i)
        EXPECT_FALSE(shelf->list()->model()->index(i, 0).data(ShelfBookListModel::CoverMadeRole).toBool())
            << i;
    m_app->changeToShelf();
    EXPECT_TRUE(waitUntil([&] { return everyCoverMade(shelf); }))
        << "every cover is made after the shelf shows";
    m_app->window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/shelf-grid.png"));
}

int readerScreens()
{
    int n = 0;
    for (QWidget *w : QApplication::allWidgets())
        n += qobject_cast<ReaderVC *>(w) != nullptr;
    return n;
}

// One click on a cover or a row opens its book, Enter opens the selected
// one, and a double click opens it once.
TEST_F(AppShellTest, OneClickOrEnterOpensABook)
{
    ShelfVC *shelf = firstRunShelf([this]() -> AppDelegate & { return launch(); });
    const QString book = QStringLiteral("臨床薬理学ノート.epub");
    auto rectOf = [&] {
        const int row = int(shownBooks(shelf).indexOf(book));
        return row < 0 ? QRect() : shelf->list()->visualRect(shelf->list()->model()->index(row, 0));
    };
    auto opened = [&] {
        return m_app->readerVC() && m_app->readerVC()->book().url == ShelfVC::bookInfo(library(), book).url;
    };
    const struct {
        const char *gesture;
        bool covers;
    } cases[] = { { "click", true }, { "click", false }, { "double click", true }, { "double click", false },
        { "Enter", true }, { "Enter", false } };
    for (const auto &c : cases) {
        m_app->changeToShelf();
        shelf->setGridMode(c.covers);
        ASSERT_TRUE(waitUntil([&] { return shelf->list()->isVisible() && rectOf().isValid(); })) << c.gesture;
        const QRect rect = rectOf();
        ASSERT_TRUE(shelf->list()->viewport()->rect().contains(rect.center())) << c.gesture;
        ASSERT_TRUE(waitUntil([] { return readerScreens() == 0; })) << "the last reader is gone";
        const QByteArray gesture(c.gesture);
        if (gesture == "click") {
            QTest::mouseClick(shelf->list()->viewport(), Qt::LeftButton, {}, rect.center());
        } else if (gesture == "double click") {
            doubleClickAt(shelf->list()->viewport(), rect.center());
        } else {
            shelf->list()->setCurrentIndex(shelf->list()->indexAt(rect.center()));
            QTest::keyClick(shelf->list(), Qt::Key_Return);
        }
        // Before the event loop runs: a second opening would still have
        // the first reader about.
        EXPECT_EQ(readerScreens(), 1) << c.gesture << ": opened once";
        EXPECT_TRUE(waitUntil(opened)) << c.gesture << (c.covers ? " on a cover" : " on a row");
    }
}

TEST_F(AppShellTest, ShelfListModeRows)
{
    ShelfVC *shelf = firstRunShelf([this]() -> AppDelegate & { return launch(); });
    shelf->setGridMode(false);
    EXPECT_EQ(shownBooks(shelf).size(), 2) << "the list mode shows the same books";
    auto row = [&] { return shelf->list()->model()->index(0, 0); };
    EXPECT_EQ(shelf->list()->visualRect(row()).height(), QLBTableCellView::kRowHeight);
    EXPECT_EQ(row().data(QLBTableCellView::kTitleRole).toString(), QStringLiteral("Anatomy Basics"));
    EXPECT_EQ(row().data(QLBTableCellView::kSubTitleRole).toString(),
        QStringLiteral("Hanako Sato,Tavro Medical Press"));
    EXPECT_TRUE(row()
                    .data(QLBTableCellView::kTimeRole)
                    .toString()
                    .startsWith(QStringLiteral("ダウンロード日時：20")));
    EXPECT_TRUE(waitUntil([&] { return row().data(ShelfBookListModel::CoverMadeRole).toBool(); }))
        << "list rows get their covers too";
    m_app->window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/shelf-list.png"));

    // The desktop turns dark: the list follows.
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    QApplication::setPalette(dark);
    EXPECT_TRUE(waitUntil(
        [&] { return shelf->list()->palette().color(QPalette::Base) == QColor(0x20, 0x20, 0x20); }));
    QApplication::setPalette(light);
}

double luminance(const QColor &c)
{
    auto channel = [](double v) {
        v /= 255;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// What is drawn in `area` of `image`: its most common colour (the
// background) and the colour that stands out most from it (the text).
std::pair<QColor, QColor> backgroundAndText(const QImage &image, const QRect &area)
{
    QHash<QRgb, int> counts;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000];
    QRgb background = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > counts.value(background))
            background = it.key();
    QColor text(background);
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (contrast(QColor(it.key()), QColor(background)) > contrast(text, QColor(background)))
            text = QColor(it.key());
    return { QColor(background), text };
}

QPalette darkPalette()
{
    QPalette p;
    const QColor text(0xee, 0xee, 0xee);
    p.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    p.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    p.setColor(QPalette::AlternateBase, QColor(0x2b, 0x2b, 0x2b));
    p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    for (const auto role :
        { QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::BrightText })
        p.setColor(role, text);
    p.setColor(QPalette::Highlight, QColor(0x3d, 0x6f, 0xb4));
    p.setColor(QPalette::HighlightedText, Qt::white);
    return p;
}

// Both looks of the shelf, in a light and a dark desktop palette, switched
// back and forth: every title stands out from what is drawn behind it, and
// the list's background is the desktop's, not the wall's.
TEST_F(AppShellTest, ShelfViewsStayReadableInEveryPaletteAndAfterSwitches)
{
    ShelfVC *shelf = firstRunShelf([this]() -> AppDelegate & { return launch(); });
    const QPalette light = QApplication::palette();
    const struct {
        const char *step;
        bool dark;
        bool covers;
        const char *picture; // kept under this name, or null
    } steps[] = {
        { "light covers", false, true, "shelf-covers-light" },
        { "dark covers", true, true, "shelf-covers-dark" },
        { "dark list", true, false, "shelf-list-dark" },
        { "dark covers again", true, true, nullptr },
        { "light covers again", false, true, nullptr },
        { "light list", false, false, "shelf-list-light" },
        { "light covers after the list", false, true, nullptr },
        { "dark list after the covers", true, false, nullptr },
    };
    for (const auto &st : steps) {
        QApplication::setPalette(st.dark ? darkPalette() : light);
        shelf->setGridMode(st.covers);
        const QPalette &desktop = QApplication::palette();
        // Laid out in the new look (the view lays its items out later).
        const int rowHeight = st.covers ? shelf->list()->gridSize().height() : QLBTableCellView::kRowHeight;
        ASSERT_TRUE(waitUntil([&] {
            return shelf->list()->palette().color(QPalette::Window) == desktop.color(QPalette::Window)
                && shelf->list()->model()->rowCount() == 2
                && shelf->list()->visualRect(shelf->list()->model()->index(1, 0)).height() == rowHeight;
        })) << st.step;
        const QImage shot = shelf->list()->viewport()->grab().toImage();
        if (st.picture)
            m_app->window()->grab().save(
                QStringLiteral(TAVRO_ARTIFACTS_DIR "/%1.png").arg(QLatin1String(st.picture)));
        for (int row = 0; row < 2; ++row) {
            const QRect cell = shelf->list()->visualRect(shelf->list()->model()->index(row, 0));
            // Where the title is written: under the board, or beside the cover.
            const QRect title = st.covers ? QRect(cell.left() + 4,
                                    cell.top() + CoverCache::kCellSize.height() + ShelfBookView::kBoardHeight,
                                    cell.width() - 8, 26)
                                          : cell.adjusted(6 + 60 + 12, 6, -6, -6);
            const auto [background, text] = backgroundAndText(shot, title);
            EXPECT_GE(contrast(background, text), 4.5)
                << st.step << ", row " << row << ": " << text.name().toStdString() << " on "
                << background.name().toStdString();
            if (!st.covers) {
                EXPECT_EQ(background, desktop.color(QPalette::Base))
                    << st.step << ": the desktop's background";
            }
        }
    }
    QApplication::setPalette(light);
}

// A wheel notch moves the books by one row in either look, however often
// the looks were switched; the boards stay under the covers wherever the
// books were scrolled to.
TEST_F(AppShellTest, TheWheelScrollsByRowsAndTheBoardsStayUnderTheBooks)
{
    UserDefaults::setValue(QString::fromLatin1(UserDefaults::hasBuildBookInfo), 1);
    ASSERT_TRUE(library().books().addLibarywithFirstSetup());
    DataFolder::createContentsFolder();
    for (int i = 0; i < 40; ++i) {
        const QString pdf
            = DataFolder::contentsFolder() + QStringLiteral("/book-%1.pdf").arg(i, 2, 10, QChar(u'0'));
        ASSERT_TRUE(makePdf(pdf, 1));
        library().books().parsePDFBook(pdf,
            { { QStringLiteral("bookId"), QStringLiteral("b%1").arg(i) },
                { QStringLiteral("bookTitle"), QStringLiteral("Book %1").arg(i) } });
    }
    AppDelegate &app = launch();
    app.window()->resize(900, 600);
    app.changeToShelf();
    ShelfVC *shelf = app.shelfVC();
    ShelfBookView *books = shelf->list();
    ASSERT_TRUE(waitUntil([&] { return books->isVisible() && books->model()->rowCount() == 40; }));
    auto wheel = [&](QPoint pixels, QPoint angle) {
        QWheelEvent event(QPointF(20, 20), books->viewport()->mapToGlobal(QPointF(20, 20)), pixels, angle,
            Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(books->viewport(), &event);
    };
    QScrollBar *bar = books->verticalScrollBar();
    for (const bool covers : { true, false, true, false }) {
        shelf->setGridMode(covers);
        const int row = covers ? 192 : QLBTableCellView::kRowHeight;
        ASSERT_GT(bar->maximum(), 3 * row) << "enough books to scroll";
        bar->setValue(0);
        wheel({}, QPoint(0, -120));
        EXPECT_EQ(bar->value(), row) << (covers ? "covers" : "list") << ": one notch, one row";
        wheel({}, QPoint(0, -60));
        wheel({}, QPoint(0, -60));
        EXPECT_EQ(bar->value(), 2 * row) << "two half notches";
        wheel({}, QPoint(0, 120));
        EXPECT_EQ(bar->value(), row) << "and back";
    }

    // Scrolled by odd amounts (a touchpad), a board runs right under each
    // row of covers: wood below the covers' foot, wall just above it.
    shelf->setGridMode(true);
    bar->setValue(0);
    for (const int pixels : { 37, 101, 250 }) {
        wheel(QPoint(0, -pixels), QPoint(0, -pixels));
        QCoreApplication::processEvents();
        const QImage shot = books->viewport()->grab().toImage();
        int checked = 0;
        for (int i = 0; i < books->model()->rowCount(); ++i) {
            const QRect cell = books->visualRect(books->model()->index(i, 0));
            const int foot = cell.top() + ShelfBookView::boardTop();
            if (foot - 6 < 0 || foot + 6 >= shot.height())
                continue;
            // At the cell's left edge: beside the cover and its shadow.
            const QColor wood = shot.pixelColor(cell.left() + 3, foot + 4);
            const QColor wall = shot.pixelColor(cell.left() + 3, foot - 6);
            EXPECT_EQ(wall, ShelfBookView::wallColour()) << "scrolled " << bar->value() << ", item " << i;
            EXPECT_GT(wood.red() - wall.red(), 40) << "scrolled " << bar->value() << ", item " << i;
            ++checked;
        }
        EXPECT_GT(checked, 0) << "scrolled " << bar->value();
    }
    app.window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/shelf-covers-scrolled.png"));
}

TEST_F(AppShellTest, ShelfSortsAndSearchesTitlesAndTablesOfContents)
{
    ShelfVC *shelf = firstRunShelf([this]() -> AppDelegate & { return launch(); });
    shelf->chooseSort(ShelfModel::sortList().at(3));
    EXPECT_EQ(shownBooks(shelf).first(), QStringLiteral("臨床薬理学ノート.epub")) << "title descending";
    EXPECT_EQ(shelf->sortBox()->currentIndex(), 3);
    shelf->searchBook(QStringLiteral("Cardiac"));
    EXPECT_TRUE(shelf->searching());
    ASSERT_TRUE(waitUntil([&] { return !shelf->searching(); }));
    EXPECT_EQ(shownBooks(shelf), QStringList { QStringLiteral("anatomy-basics.epub") })
        << "found in the table of contents";
    // A newer search wins over one still scanning.
    shelf->searchBook(QStringLiteral("Cardiac"));
    shelf->searchBook(QStringLiteral("臨床"));
    ASSERT_TRUE(waitUntil([&] { return !shelf->searching(); }));
    QTest::qWait(100); // room for a late answer of the older search
    EXPECT_EQ(shownBooks(shelf), QStringList { QStringLiteral("臨床薬理学ノート.epub") })
        << "the title match only";
    shelf->searchBook(QString());
    EXPECT_EQ(shownBooks(shelf).size(), 2);
}

TEST_F(AppShellTest, ShelfMovesBooksBetweenShelvesAndDeletesThem)
{
    ShelfVC *shelf = firstRunShelf([this]() -> AppDelegate & { return launch(); });
    ASSERT_TRUE(shelf->newShelf(QStringLiteral("Cardiology")));
    EXPECT_EQ(shelf->shelfTable()->count(), 2);
    shelf->moveBook(QStringLiteral("anatomy-basics.epub"), 1);
    EXPECT_EQ(shownBooks(shelf), QStringList { QStringLiteral("臨床薬理学ノート.epub") });
    shelf->showShelf(2);
    EXPECT_EQ(shownBooks(shelf), QStringList { QStringLiteral("anatomy-basics.epub") });
    ASSERT_TRUE(shelf->renameShelf(1, QStringLiteral("Heart")));
    EXPECT_TRUE(m_app->window()->windowTitle().endsWith(QStringLiteral(" - Heart")));
    EXPECT_FALSE(shelf->renameShelf(0, QStringLiteral("x")));

    // A shelf holding books goes, with its books, once the user says "OK".
    shelf->deleteShelf(1);
    ASSERT_TRUE(waitUntil([&] { return shelf->shelfTable()->count() == 1; }));
    EXPECT_EQ(m_answerer.seen.last().title, QStringLiteral("確認"));
    EXPECT_EQ(shelf->pageID(), 1);
    EXPECT_FALSE(QFileInfo::exists(DataFolder::contentsFolder() + QStringLiteral("/anatomy-basics.epub")));

    shelf->deleteBook(QStringLiteral("臨床薬理学ノート.epub"));
    EXPECT_TRUE(shownBooks(shelf).isEmpty());
}

TEST_F(AppShellTest, ShelfImportsAPdfFromDiskWithoutAStoreAccount)
{
    ShelfVC *shelf = firstRunShelf([this]() -> AppDelegate & { return launch(); });
    shelf->importPdf(sampleBookPath(QStringLiteral("nursing-notes.pdf")));
    ASSERT_TRUE(
        waitUntil([&] { return shownBooks(shelf).contains(QStringLiteral("nursing-notes.pdf")); }, 20000));
    const auto pdf = store().findFirst<BookMetaData>(QStringLiteral("\"fileName\"='nursing-notes.pdf'"));
    ASSERT_TRUE(pdf.has_value());
    EXPECT_EQ(pdf->identifier, QStringLiteral("9999999999"));
    EXPECT_EQ(pdf->creator, QStringLiteral("未知"));
}

TEST_F(AppShellTest, ShelfDictionaryMenuSwitchesADictionaryOutOfLookUps)
{
    ShelfVC *shelf = firstRunShelf([this]() -> AppDelegate & { return launch(); });
    DictionaryMaster dict;
    dict.dicId = 1;
    dict.dicName = QStringLiteral("医学辞典");
    dict.useFlg = 1;
    ASSERT_TRUE(store().insert(dict));
    auto *menu = shelf->findChild<QMenu *>(QStringLiteral("dictionaryMenu"));
    ASSERT_TRUE(menu);
    emit menu->aboutToShow();
    // The dictionary window's item, a separator, one item per dictionary,
    // then (after a separator) the entry that adds one.
    ASSERT_EQ(menu->actions().size(), 5);
    EXPECT_EQ(menu->actions().first()->objectName(), QStringLiteral("openDictionaryWindow"));
    EXPECT_TRUE(menu->actions().at(1)->isSeparator());
    QAction *item = menu->actions().at(2);
    EXPECT_EQ(item->text(), QStringLiteral("医学辞典"));
    EXPECT_EQ(menu->actions().last()->text(), QStringLiteral("辞書ファイルを追加…"));
    EXPECT_TRUE(item->isChecked());
    item->toggle();
    EXPECT_EQ(store().findFirst<DictionaryMaster>()->useFlg, 0);
}

// A dictd database added from the 辞書 menu goes in through the download
// sheet ("辞書解析中" with its cancel) and appears in the menu under its own
// title; a damaged one is refused with its reason and adds nothing.
TEST_F(AppShellTest, ShelfAddsADictionaryFile)
{
    ShelfVC *shelf = firstRunShelf([this]() -> AppDelegate & { return launch(); });
    QTemporaryDir dir;
    const auto put = [&dir](const char *name, const QByteArray &bytes) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    // Offsets and lengths in dictd's base64 digits: "A" 0, "R" 17, "d" 29.
    const QByteArray data = "00-database-short\n 用語集\nheart\n the organ\n..";
    put("terms.dict", data);
    const QString index = put("terms.index", "00-database-short\tA\td\nheart\td\tR\n");
    DownloadSheet &sheet = m_app->downloadSheet();
    bool sawImport = false;
    QObject context;
    QObject::connect(&sheet, &DownloadSheet::changed, &context,
        [&] { sawImport = sawImport || (sheet.isVisible() && sheet.cancelButton()->isEnabled()); });
    shelf->addDictionaryFile(index);
    const ShelfModel model(library());
    ASSERT_TRUE(waitUntil([&model] { return !model.dictionaries().isEmpty(); }, 20000));
    EXPECT_TRUE(sawImport) << "the sheet showed the import with its cancel";
    EXPECT_EQ(model.dictionaries().first().dicName, QStringLiteral("用語集"));
    auto *menu = shelf->findChild<QMenu *>(QStringLiteral("dictionaryMenu"));
    ASSERT_TRUE(menu);
    emit menu->aboutToShow();
    ASSERT_GE(menu->actions().size(), 3);
    EXPECT_EQ(menu->actions().at(2)->text(), QStringLiteral("用語集"));
    ASSERT_TRUE(waitUntil([&] { return !sheet.isVisible(); }));

    const qsizetype boxes = m_answerer.seen.size();
    QFile::remove(dir.filePath(QStringLiteral("terms.dict")));
    shelf->addDictionaryFile(index);
    ASSERT_TRUE(waitUntil([&] { return m_answerer.seen.size() > boxes; }, 20000));
    const QString said = m_answerer.seen.last().message;
    EXPECT_TRUE(said.startsWith(DownloadSheetModel::kImportFailed)) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("terms.dict"))) << said.toStdString();
    EXPECT_EQ(model.dictionaries().size(), 1) << "the earlier install stays";
}

TEST_F(AppShellTest, ShelfDictionaryMenuOpensTheDictionaryWindow)
{
    ShelfVC *shelf = firstRunShelf([this]() -> AppDelegate & { return launch(); });
    auto *menu = shelf->findChild<QMenu *>(QStringLiteral("dictionaryMenu"));
    ASSERT_TRUE(menu);
    emit menu->aboutToShow();
    ASSERT_FALSE(menu->actions().isEmpty());
    menu->actions().first()->trigger();
    auto *window = m_app->window()->findChild<DictionaryWindow *>();
    ASSERT_TRUE(window);
    EXPECT_TRUE(waitUntil([&] { return window->isVisible(); }));
    window->close();

    // The key opens the same window from the main window.
    m_app->window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_app->window()));
    QTest::keyClick(m_app->window(), Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(waitUntil([&] { return window->isVisible(); }));
    EXPECT_EQ(m_app->window()->findChildren<DictionaryWindow *>().size(), 1);
}

// The shelf screen with the shelves マイ本棚, A, B and C.
ShelfVC *fourShelves(std::function<AppDelegate &()> launch)
{
    UserDefaults::setValue(QString::fromLatin1(UserDefaults::hasBuildBookInfo), 1);
    AppDelegate &app = launch();
    app.changeToShelf();
    ShelfVC *shelf = app.shelfVC();
    for (const char *name : { "A", "B", "C" })
        if (!shelf->newShelf(QString::fromLatin1(name)))
            return nullptr;
    return shelf;
}

QString shelfRows(ShelfTableView *table)
{
    QStringList names;
    for (int i = 0; i < table->count(); ++i)
        names << table->item(i)->text();
    return names.join(u',');
}

TEST_F(AppShellTest, ShelfTableMenusAndDropsSwapShelves)
{
    ShelfVC *shelf = fourShelves([this]() -> AppDelegate & { return launch(); });
    ASSERT_TRUE(shelf);
    ShelfTableView *table = shelf->shelfTable();
    auto rows = [table] { return shelfRows(table); };
    ASSERT_EQ(rows(), QStringLiteral("マイ本棚,A,B,C"));

    // The first row has no menu and can neither be dragged nor renamed.
    auto *rowViews = qobject_cast<QLBShelfManagerView *>(table->itemDelegate());
    ASSERT_TRUE(rowViews);
    EXPECT_EQ(rowViews->menuForRow(0, table), nullptr);
    std::unique_ptr<QMenu> menu(rowViews->menuForRow(2, table));
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions().at(0)->text(), QStringLiteral("名前を変更"));
    EXPECT_EQ(menu->actions().at(1)->text(), QStringLiteral("削除"));
    EXPECT_FALSE(table->item(0)->flags() & (Qt::ItemIsDragEnabled | Qt::ItemIsEditable));
    EXPECT_TRUE(table->item(1)->flags() & Qt::ItemIsDragEnabled);

    // Dropping swaps two shelves; the one shown stays shown.
    shelf->showShelf(2);
    const struct {
        int from, to;
        bool taken;
        const char *rows;
        int pageID;
    } drops[] = {
        { 1, 3, true, "マイ本棚,C,B,A", 4 },
        { 0, 2, false, "マイ本棚,C,B,A", 4 },
        { 2, 0, false, "マイ本棚,C,B,A", 4 },
        { 2, 2, false, "マイ本棚,C,B,A", 4 },
        { 3, 9, false, "マイ本棚,C,B,A", 4 },
        { 1, 3, true, "マイ本棚,A,B,C", 2 },
        { 2, 3, true, "マイ本棚,A,C,B", 2 },
    };
    for (const auto &d : drops) {
        EXPECT_EQ(shelf->dropShelf(d.from, d.to), d.taken) << d.from << "→" << d.to;
        EXPECT_EQ(rows(), QString::fromUtf8(d.rows)) << d.from << "→" << d.to;
        EXPECT_EQ(shelf->pageID(), d.pageID) << d.from << "→" << d.to;
    }
    EXPECT_TRUE(m_app->window()->windowTitle().endsWith(QStringLiteral(" - A")));
}

TEST_F(AppShellTest, ShelfTableRenamesInPlaceAndShowsTheChosenShelf)
{
    ShelfVC *shelf = fourShelves([this]() -> AppDelegate & { return launch(); });
    ASSERT_TRUE(shelf);
    ShelfTableView *table = shelf->shelfTable();
    // Renaming in place; an empty name keeps the old one.
    table->item(2)->setText(QStringLiteral("Cardiology"));
    EXPECT_EQ(ShelfModel(library()).labels().at(2).labelName, QStringLiteral("Cardiology"));
    table->item(2)->setText(QString());
    EXPECT_EQ(shelfRows(table), QStringLiteral("マイ本棚,A,Cardiology,C"));

    // Choosing a row shows its shelf.
    table->setCurrentRow(3);
    EXPECT_TRUE(waitUntil([&] { return shelf->pageID() == 4; }));
}

// A shelf that is not shown can be dragged: pressing its row chooses
// nothing and leaves the rows in place; releasing on the same row (a click)
// shows it.
TEST_F(AppShellTest, AShelfIsDraggedFromAnyRow)
{
    ShelfVC *shelf = fourShelves([this]() -> AppDelegate & { return launch(); });
    ASSERT_TRUE(shelf);
    ShelfTableView *table = shelf->shelfTable();
    ASSERT_TRUE(waitUntil([&] { return table->isVisible(); }));
    QWidget *rows = table->viewport();
    auto centre = [&](int row) { return table->visualItemRect(table->item(row)).center(); };
    const QListWidgetItem *pressed = table->item(2);
    QTest::mousePress(rows, Qt::LeftButton, {}, centre(2));
    settle(); // room for a switch of shelves that must not come
    EXPECT_EQ(shelf->pageID(), 1) << "a press shows no shelf";
    EXPECT_EQ(table->item(2), pressed) << "the rows stay for the drag";

    // The drag the table starts carries the pressed row (a synthetic drop
    // cannot reach the view while the window system holds the drag, so the
    // drag is cancelled and its row dropped as the view would); dropped on
    // row 3, the two shelves swap and the shown shelf stays shown.
    int carried = -1;
    QTimer::singleShot(300, table, [&] {
        if (auto *drag = table->findChild<QDrag *>(); drag && drag->mimeData())
            carried = drag->mimeData()->data(QString::fromLatin1(ShelfTableView::kDragType)).toInt();
        QDrag::cancel();
    });
    // The first move with the button held readies the drag, the next one
    // far enough starts it.
    QTest::mouseMove(rows, centre(2) + QPoint(0, 2));
    QTest::mouseMove(rows, centre(2) + QPoint(0, 3 * QApplication::startDragDistance()));
    QTest::mouseRelease(rows, Qt::LeftButton, {}, centre(3));
    ASSERT_TRUE(waitUntil([&] { return carried != -1; })) << "a drag started from a row that is not shown";
    EXPECT_EQ(carried, 2);
    settle();
    EXPECT_EQ(shelf->pageID(), 1) << "neither the press nor the drag showed a shelf";
    ASSERT_TRUE(shelf->dropShelf(carried, 3));
    EXPECT_EQ(shelfRows(table), QStringLiteral("マイ本棚,A,C,B"));
    EXPECT_EQ(shelf->pageID(), 1);

    QTest::mouseClick(rows, Qt::LeftButton, {}, centre(3));
    EXPECT_TRUE(waitUntil([&] { return shelf->pageID() == 4; })) << "a click shows the shelf";
    EXPECT_TRUE(m_app->window()->windowTitle().endsWith(QStringLiteral(" - B")));
}

// Deleting a shelf leaves the shown shelf shown, also after the shelves
// were reordered; deleting the shown one shows マイ本棚.
TEST_F(AppShellTest, DeletingAShelfKeepsTheShownShelf)
{
    ShelfVC *shelf = fourShelves([this]() -> AppDelegate & { return launch(); });
    ASSERT_TRUE(shelf);
    ASSERT_TRUE(shelf->dropShelf(1, 3)); // マイ本棚,C,B,A
    shelf->showShelf(3);
    ASSERT_TRUE(m_app->window()->windowTitle().endsWith(QStringLiteral(" - B")));
    shelf->deleteShelf(1); // C, whose labelID is above B's
    EXPECT_EQ(shelfRows(shelf->shelfTable()), QStringLiteral("マイ本棚,B,A"));
    EXPECT_EQ(shelf->pageID(), 2);
    EXPECT_TRUE(m_app->window()->windowTitle().endsWith(QStringLiteral(" - B")));
    shelf->deleteShelf(1); // the shown one
    EXPECT_EQ(shelf->pageID(), 1);
    EXPECT_TRUE(m_app->window()->windowTitle().endsWith(QStringLiteral(" - マイ本棚")));
}

// The Delete key and the book menu's "削除" ask first; "Cancel" keeps the
// book and its file.
TEST_F(AppShellTest, DeletingABookAsksFirst)
{
    ShelfVC *shelf = firstRunShelf([this]() -> AppDelegate & { return launch(); });
    const QString path = DataFolder::contentsFolder() + QStringLiteral("/anatomy-basics.epub");
    m_app->window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_app->window()));
    auto deleteKey = [&] {
        const int row = int(shownBooks(shelf).indexOf(QStringLiteral("anatomy-basics.epub")));
        shelf->list()->setCurrentIndex(shelf->list()->model()->index(row, 0));
        shelf->list()->setFocus();
        QTest::keyClick(shelf->list(), Qt::Key_Delete);
    };
    m_answerer.button = 1; // Cancel
    deleteKey();
    ASSERT_TRUE(waitUntil([&] { return !m_answerer.seen.isEmpty(); }));
    EXPECT_EQ(m_answerer.seen.last().title, QStringLiteral("確認"));
    EXPECT_TRUE(m_answerer.seen.last().message.contains(QStringLiteral("Anatomy Basics")))
        << m_answerer.seen.last().message.toStdString();
    settle();
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(shownBooks(shelf).size(), 2);

    m_answerer.button = 0; // OK
    deleteKey();
    EXPECT_TRUE(waitUntil([&] { return !QFileInfo::exists(path); }));
    EXPECT_EQ(shownBooks(shelf), QStringList { QStringLiteral("臨床薬理学ノート.epub") });
}

// Empty places say why they are empty.
TEST_F(AppShellTest, EmptyShelvesSearchesAndHistorySayWhatIsGoingOn)
{
    ShelfVC *shelf = firstRunShelf([this]() -> AppDelegate & { return launch(); });
    EmptyStateOverlay *empty = shelf->emptyState();
    EXPECT_FALSE(empty->showing()) << "books are shown";
    shelf->searchBook(QStringLiteral("zzzz"));
    ASSERT_TRUE(waitUntil([&] { return !shelf->searching(); }));
    EXPECT_TRUE(empty->showing());
    EXPECT_EQ(empty->text(), EmptyStates::shelf(QStringLiteral("zzzz"), false, true));
    shelf->searchBook(QString());
    EXPECT_FALSE(empty->showing());

    ASSERT_TRUE(shelf->newShelf(QStringLiteral("Cardiology")));
    shelf->showShelf(2);
    EXPECT_TRUE(empty->showing());
    EXPECT_EQ(empty->text(), EmptyStates::shelf(QString(), false, false));
    for (const bool covers : { true, false }) {
        shelf->setGridMode(covers);
        const QImage shot = shelf->list()->viewport()->grab().toImage();
        const auto [background, text] = backgroundAndText(shot, empty->geometry());
        EXPECT_GE(contrast(background, text), 4.5) << (covers ? "on the wall" : "on the list");
    }
    auto *busy = m_app->window()->findChild<QLabel *>(QStringLiteral("searchBusy"));
    ASSERT_TRUE(busy);
    EXPECT_TRUE(busy->text().isEmpty()) << "no search under way";
    m_app->window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/shelf-empty.png"));

    m_app->changeToTop();
    EmptyStateOverlay *history = m_app->topVC()->historyEmptyState();
    EXPECT_TRUE(waitUntil([&] { return history->showing(); })) << "nothing read yet";
    EXPECT_EQ(history->text(), EmptyStates::readingHistory());
}

TEST_F(AppShellTest, ShelfSidewaysSwipesMoveOneShelfAtMost)
{
    ShelfVC *shelf = fourShelves([this]() -> AppDelegate & { return launch(); });
    ASSERT_TRUE(shelf);
    QWidget *books = shelf->list()->viewport();
    auto wheel = [&](QPoint pixels, QPoint angle, Qt::ScrollPhase phase) {
        QWheelEvent event(QPointF(10, 10), books->mapToGlobal(QPointF(10, 10)), pixels, angle, Qt::NoButton,
            Qt::NoModifier, phase, false);
        QApplication::sendEvent(books, &event);
    };
    const int w = shelf->list()->width();
    const struct {
        int startPage;
        QList<int> pixelSteps; // a touchpad gesture, towards the next shelf when negative
        int notches; // else wheel notches, next when negative
        int expected;
    } swipes[] = {
        { 2, {}, -1, 3 }, // a tilt-wheel notch: the next shelf
        { 2, {}, 1, 1 }, // and back
        { 1, {}, 1, 1 }, // nothing before the first shelf
        { 4, {}, -1, 4 }, // nor after the last
        { 2, { -w / 10, -w / 10 }, 0, 2 }, // a fifth of a page springs back
        { 2, { -w / 4, -w / 4, -w / 4 }, 0, 3 }, // three quarters: one shelf on
        { 2, { -w / 2, -w / 2, -w / 2 }, 0, 3 }, // past a whole page: still one shelf
        { 3, { w / 3, w / 3 }, 0, 2 },
    };
    for (const auto &sw : swipes) {
        shelf->showShelf(sw.startPage);
        if (sw.notches != 0) {
            wheel({}, QPoint(sw.notches * 120, 0), Qt::NoScrollPhase);
        } else {
            wheel({}, {}, Qt::ScrollBegin);
            for (int step : sw.pixelSteps)
                wheel(QPoint(step, 0), QPoint(step, 0), Qt::ScrollUpdate);
            wheel({}, {}, Qt::ScrollEnd);
        }
        EXPECT_EQ(shelf->pageID(), sw.expected) << "from shelf " << sw.startPage << ", notches " << sw.notches
                                                << ", steps " << sw.pixelSteps.size();
    }
    // Up and down still scroll the books.
    shelf->showShelf(2);
    wheel({}, QPoint(0, -120), Qt::NoScrollPhase);
    EXPECT_EQ(shelf->pageID(), 2);
}

// The application signed in (a profile token kept) with no server to reach.
class OfflineShellTest : public AppShellTest
{
protected:
    AppDelegate &launchWithoutServer()
    {
        m_app = std::make_unique<AppDelegate>(m_store, m_noServer);
        m_app->applicationDidFinishLaunching();
        return *m_app;
    }
    // Nothing listens on the discard port of the loopback.
    ServerConfig m_noServer { QStringLiteral("http://127.0.0.1:9"), QStringLiteral("/nonexistent.ini") };
};

// Signed in but offline, TOP and the store say that the server cannot be
// reached, not that the user should sign in.
TEST_F(OfflineShellTest, SignedInWithoutAServerTopAndTheStoreSaySo)
{
    ASSERT_TRUE(KeyChainStore().writeToken(QStringLiteral("profile-token")));
    AppDelegate &app = launchWithoutServer();
    app.changeToTop();
    EmptyStateOverlay *news = app.topVC()->newsEmptyState();
    EXPECT_TRUE(waitUntil([&] { return news->showing(); }, 30000));
    EXPECT_EQ(news->text(), EmptyStates::news(true));

    app.topVC()->tapStore();
    ASSERT_TRUE(waitUntil([&] { return app.storeVC() && app.currentVC() == app.storeVC(); }, 30000));
    auto *web = app.storeVC()->findChild<QWebEngineView *>(QStringLiteral("storeView"));
    ASSERT_TRUE(web);
    QString shown;
    EXPECT_TRUE(waitUntil(
        [&] {
            shown = pageValue(web, QStringLiteral("document.body ? document.body.innerText : ''"))
                        .toString()
                        .trimmed();
            return shown == EmptyStates::store(true);
        },
        30000))
        << shown.toStdString();
    app.window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/store-offline.png"));
}

} // namespace
