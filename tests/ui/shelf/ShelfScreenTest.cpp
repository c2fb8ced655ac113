// The shelf screen.
#include "support/RowClicks.h"
#include "ui/AppShellFixture.h"
#include "ui/dictionary/DictionaryWindow.h"

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

TEST_F(AppShellTest, ADoubleClickOnABookOpensIt)
{
    ShelfVC *shelf = firstRunShelf([this]() -> AppDelegate & { return launch(); });
    shelf->setGridMode(false);
    const int row = int(shownBooks(shelf).indexOf(QStringLiteral("臨床薬理学ノート.epub")));
    ASSERT_GE(row, 0);
    const QRect rect = shelf->list()->visualRect(shelf->list()->model()->index(row, 0));
    ASSERT_TRUE(shelf->list()->viewport()->rect().contains(rect.center()));
    doubleClickAt(shelf->list()->viewport(), rect.center());
    ASSERT_TRUE(waitUntil([&] { return m_app->readerVC() != nullptr; }));
    EXPECT_EQ(m_app->readerVC()->book().url,
        ShelfVC::bookInfo(library(), QStringLiteral("臨床薬理学ノート.epub")).url);
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

} // namespace
