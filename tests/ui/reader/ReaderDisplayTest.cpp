// The reader's 表示 settings: the theme over the whole window, the marks
// under each theme, and the typography of the pages.
#include "core/reader/ReadingTheme.h"
#include "core/reader/Typography.h"
#include "ui/AppShellFixture.h"
#include "ui/app/ChoiceListView.h"
#include "ui/reader/PageScripts.h"
#include "ui/reader/ReaderAnnotationActions.h"
#include "ui/reader/ReaderBookMarkVC.h"
#include "ui/reader/ReaderDisplayPopover.h"

#include <QActionGroup>
#include <QComboBox>
#include <QFontDatabase>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QToolBar>

namespace
{

class ReaderDisplayTest : public AppShellTest
{
protected:
    void SetUp() override
    {
        AppShellTest::SetUp();
        forget();
    }
    void TearDown() override
    {
        forget();
        AppShellTest::TearDown();
    }
    static void forget()
    {
        UserDefaults::remove(QString::fromLatin1(ReadingTheme::kDefaultsKey));
        UserDefaults::remove(QString::fromLatin1(Typography::kDefaultsKey));
        UserDefaults::remove(QString::fromLatin1(UserDefaults::bookFontSize));
    }

    // The sample book in the reader, its first page's scripts ready and its
    // highlights drawn.
    QPointer<ReaderVC> open()
    {
        m_app->config().remove(QStringLiteral("r_split"));
        m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("anatomy-basics.epub")));
        QPointer<ReaderVC> reader = m_app->readerVC();
        if (!reader || !reader->epubPane() || !reader->annotations())
            return nullptr;
        QSignalSpy drawn(reader->annotations(), &ReaderAnnotationActions::highlightsDrawn);
        if (!waitUntil([&] { return drawn.count() > 0; }, 30000))
            return nullptr;
        return reader;
    }

    QJsonObject pageJson(ReaderVC *reader, const QString &expression)
    {
        return QJsonDocument::fromJson(
            pageValue(reader->epubPane()->web(), QStringLiteral("JSON.stringify(%1)").arg(expression))
                .toString()
                .toUtf8())
            .object();
    }
};

// Equal within the rounding of layout units.
bool near(double a, double b)
{
    return std::abs(a - b) < 0.05;
}

// The share of the pixels inside `rect` (CSS pixels of the view) that have
// `colour`, as the view shows them now.
double shareOfColour(QWebEngineView *view, const QRectF &rect, const QColor &colour)
{
    const QImage shot = view->grab().toImage();
    const qreal ratio = shot.devicePixelRatio() * view->zoomFactor();
    const QRect pixels = QRectF(rect.topLeft() * ratio, rect.size() * ratio).toRect().adjusted(1, 1, -1, -1);
    int match = 0, all = 0;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y)
        for (int x = pixels.left(); x <= pixels.right(); ++x) {
            if (!shot.rect().contains(x, y))
                continue;
            const QColor c = shot.pixelColor(x, y);
            ++all;
            match += std::abs(c.red() - colour.red()) <= 8 && std::abs(c.green() - colour.green()) <= 8
                && std::abs(c.blue() - colour.blue()) <= 8;
        }
    return all ? double(match) / all : 0;
}

TEST_F(ReaderDisplayTest, HighlightsAndMemosShowInEveryTheme)
{
    launch();
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> reader = open();
    ASSERT_TRUE(reader);
    QWebEngineView *web = reader->epubPane()->web();

    // A highlight over the heading, made as the user makes one, and a memo
    // mark over the start of the first paragraph, drawn as a stored memo is.
    web->page()->runJavaScript(
        QStringLiteral("window.getSelection().selectAllChildren(document.querySelector('h1'))"));
    ASSERT_TRUE(waitUntil([&] { return web->hasSelection(); }));
    std::optional<BookHighlightMemo> made;
    reader->annotations()->highlight([&](const std::optional<BookHighlightMemo> &r) { made = r; });
    ASSERT_TRUE(waitUntil([&] { return made.has_value(); }));
    PageScripts::run(web->page(),
        QStringLiteral("setHighlight('77_test','memo_color1',2,0,2,20,{\"memotext\":\"memo\"})"));
    const auto rectOf = [&](const char *selector) {
        const QJsonObject r = pageJson(reader,
            QStringLiteral(
                "document.querySelector('%1') && document.querySelector('%1').getBoundingClientRect()")
                .arg(QLatin1String(selector)));
        return QRectF(r.value(QStringLiteral("x")).toDouble(), r.value(QStringLiteral("y")).toDouble(),
            r.value(QStringLiteral("width")).toDouble(), r.value(QStringLiteral("height")).toDouble());
    };
    ASSERT_TRUE(waitUntil([&] { return !rectOf("span.qmMemo").isEmpty(); }));
    const QRectF highlight = rectOf("span.qmMark");
    const QRectF memo = rectOf("span.qmMemo");
    ASSERT_FALSE(highlight.isEmpty());

    for (const auto kind : { ReadingTheme::Day, ReadingTheme::Sepia, ReadingTheme::Night }) {
        const ReadingTheme::Colours &row = ReadingTheme::colours(kind);
        SCOPED_TRACE(row.key);
        reader->chooseReadingTheme(ReadingTheme::key(kind));
        const QColor page(QLatin1String(row.background));
        // The theme is on the page (its background shows beside the
        // heading), and the marks keep their colours over it. Where the
        // glyphs are, the text's colour shows instead: a good share of the
        // rectangle is enough.
        const QRectF margin(highlight.right() + 40, highlight.top(), 20, highlight.height());
        EXPECT_TRUE(waitUntil([&] {
            return shareOfColour(web, margin, page) > 0.9
                && shareOfColour(web, highlight, QColor(QLatin1String(row.highlight))) > 0.3
                && shareOfColour(web, memo, QColor(QLatin1String(row.memo))) > 0.3;
        })) << "page "
            << shareOfColour(web, margin, page) << ", highlight "
            << shareOfColour(web, highlight, QColor(QLatin1String(row.highlight))) << ", memo "
            << shareOfColour(web, memo, QColor(QLatin1String(row.memo)));
        m_app->window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/reader-theme-%1.png").arg(row.key));
    }
}

TEST_F(ReaderDisplayTest, TheNightThemeCoversTheOutlineToolbarAndLists)
{
    launch();
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> reader = open();
    ASSERT_TRUE(reader);
    QTreeWidget *outline = reader->epubPane()->outline();
    ASSERT_TRUE(outline->isVisible());
    const auto night = ReadingTheme::palette(ReadingTheme::Night);
    ASSERT_TRUE(night);
    const QColor nightPage(QLatin1String(ReadingTheme::colours(ReadingTheme::Night).background));
    // The outline's empty space below its rows, as drawn.
    const auto outlineBottom = [&] {
        const QImage shot = outline->viewport()->grab().toImage();
        return shot.pixelColor(shot.width() / 2, shot.height() - 4);
    };
    const QColor desktop = outlineBottom();

    reader->chooseReadingTheme(QStringLiteral("night"));
    EXPECT_TRUE(waitUntil([&] { return outlineBottom() == nightPage; }))
        << outlineBottom().name().toStdString();
    QToolBar *toolbar = reader->toolbar();
    EXPECT_EQ(toolbar->palette().color(QPalette::Window), night->color(QPalette::Window));
    EXPECT_EQ(toolbar->widgetForAction(reader->displayAction())->palette().color(QPalette::ButtonText),
        night->color(QPalette::ButtonText));
    // The status line under the book, as the window draws it.
    QWidget *status = reader->findChild<QWidget *>(QStringLiteral("progressBar"));
    ASSERT_TRUE(status && status->isVisible());
    const auto statusBackground = [&] {
        QWidget *window = reader->window();
        const QImage shot = window->grab().toImage();
        const QPoint at = status->mapTo(window, QPoint(3, 1)) * shot.devicePixelRatio();
        return shot.pixelColor(at);
    };
    EXPECT_TRUE(waitUntil([&] { return statusBackground() == night->color(QPalette::Window); }))
        << statusBackground().name().toStdString();
    // A list opened after the choice follows it too.
    reader->annotations()->tapBookMark();
    ReaderBookMarkVC *list = reader->annotations()->bookMarkVC();
    ASSERT_TRUE(waitUntil([&] { return list->isVisible(); }));
    EXPECT_EQ(list->palette().color(QPalette::Base), nightPage);
    EXPECT_EQ(list->mainTable()->palette().color(QPalette::Text), night->color(QPalette::Text));
    // Its rows' background as drawn.
    const auto listBase = [&] {
        const QImage shot = list->mainTable()->viewport()->grab().toImage();
        return shot.pixelColor(shot.width() / 2, shot.height() - 4);
    };
    EXPECT_TRUE(waitUntil([&] { return listBase() == nightPage; })) << listBase().name().toStdString();
    list->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/reader-night-list.png"));
    list->close();

    // Day gives the window back the desktop's colours.
    reader->chooseReadingTheme(QStringLiteral("day"));
    EXPECT_TRUE(waitUntil([&] { return outlineBottom() == desktop; }))
        << outlineBottom().name().toStdString();
    EXPECT_EQ(toolbar->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Window));
}

TEST_F(ReaderDisplayTest, TypographyChangesThePageLeavesPicturesAndIsKept)
{
    launch();
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> reader = open();
    ASSERT_TRUE(reader);
    // What the page shows: the paragraph's face and line height, the text
    // column's width and margins, and the picture's size.
    const QString looks = QStringLiteral(
        "(function () { var p = getComputedStyle(document.querySelector('p')),"
        " b = getComputedStyle(document.body), img = "
        "document.querySelector('img.figure').getBoundingClientRect();"
        " return { family: p.fontFamily, lineHeight: parseFloat(p.lineHeight) / parseFloat(p.fontSize),"
        " size: parseFloat(b.fontSize), padding: b.paddingLeft, column: parseFloat(b.width),"
        " img: img.width + 'x' + img.height }; })()");
    const QJsonObject before = pageJson(reader, looks);
    ASSERT_EQ(before.value(QStringLiteral("img")).toString(), QStringLiteral("160x120"));
    EXPECT_TRUE(near(before.value(QStringLiteral("column")).toDouble(),
        40 * before.value(QStringLiteral("size")).toDouble()))
        << "a full-width window no longer runs lines across the whole screen";

    reader->tapDisplay();
    ReaderDisplayPopover *popover = reader->displayPopover();
    ASSERT_TRUE(waitUntil([&] { return popover->isVisible(); }));
    ASSERT_TRUE(popover->familyBox()->isVisible());
    popover->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/reader-display-popover-light.png"));
    const auto choose = [](QComboBox *box, int value) { box->setCurrentIndex(box->findData(value)); };
    choose(popover->familyBox(), int(Typography::Family::Gothic));
    choose(popover->lineSpacingBox(), 200);
    choose(popover->marginBox(), 48);
    choose(popover->lineWidthBox(), 30);
    Typography wanted;
    wanted.family = Typography::Family::Gothic;
    wanted.lineSpacing = 200;
    wanted.margin = 48;
    wanted.lineWidth = 30;
    EXPECT_EQ(reader->typography(), wanted);

    const QString face = Typography::installedFace(Typography::Family::Gothic, QFontDatabase::families());
    const auto shown = [&](const QJsonObject &page) {
        return page.value(QStringLiteral("family"))
                   .toString()
                   .startsWith(face.isEmpty() ? QStringLiteral("sans-serif") : u'"' + face + u'"')
            && near(page.value(QStringLiteral("lineHeight")).toDouble(), 2.0)
            && page.value(QStringLiteral("padding")).toString() == QStringLiteral("48px")
            && near(page.value(QStringLiteral("column")).toDouble(),
                30 * page.value(QStringLiteral("size")).toDouble())
            && page.value(QStringLiteral("img")).toString() == QStringLiteral("160x120");
    };
    EXPECT_TRUE(waitUntil([&] { return shown(pageJson(reader, looks)); }))
        << QJsonDocument(pageJson(reader, looks)).toJson().toStdString();

    // The pop-over follows the theme of the window.
    reader->chooseReadingTheme(QStringLiteral("night"));
    EXPECT_EQ(popover->palette().color(QPalette::Window),
        ReadingTheme::palette(ReadingTheme::Night)->color(QPalette::Window));
    popover->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/reader-display-popover-dark.png"));
    popover->close();

    // Kept for the next opening of the book.
    m_app->changeToShelf();
    ASSERT_TRUE(waitUntil([&] { return reader.isNull(); }));
    reader = open();
    ASSERT_TRUE(reader);
    EXPECT_TRUE(waitUntil([&] { return shown(pageJson(reader, looks)); }))
        << QJsonDocument(pageJson(reader, looks)).toJson().toStdString();
    reader->tapDisplay();
    EXPECT_EQ(reader->displayPopover()->typography(), wanted);

    // Back to the book's own setting.
    reader->displayPopover()->resetButton()->click();
    EXPECT_EQ(reader->typography(), Typography());
    EXPECT_TRUE(waitUntil([&] {
        const QJsonObject page = pageJson(reader, looks);
        return near(page.value(QStringLiteral("lineHeight")).toDouble(), 1.6)
            && page.value(QStringLiteral("family")).toString() == QStringLiteral("serif");
    })) << QJsonDocument(pageJson(reader, looks)).toJson().toStdString();
}

} // namespace
