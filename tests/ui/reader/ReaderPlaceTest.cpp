// The exact reading place: kept across a restart and a new font size, and
// the share of the book in the reader's status line.
#include "core/platform/DataFolder.h"
#include "support/TextEpub.h"
#include "ui/AppShellFixture.h"
#include "ui/reader/PageScripts.h"
#include "ui/reader/ReaderProgressBar.h"

#include <QDir>
#include <QSlider>

namespace
{

// The reader as a person sees it, kept for a look.
void saveScreenshot(QWidget *window, const QString &name)
{
    QDir().mkpath(QStringLiteral(TAVRO_ARTIFACTS_DIR));
    window->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/") + name);
}

// Three chapters; the second runs for many screens, every paragraph long
// enough to wrap.
QString installPlaceBook()
{
    QList<TextChapter> chapters;
    const auto paragraphs = [](const QString &tag, int count) {
        QByteArray body;
        for (int i = 0; i < count; ++i)
            body
                += QStringLiteral("<p>%1 %2: 心拍出量は一回拍出量と心拍数の積であり、運動時には両方が増える。"
                                  "前負荷と後負荷、収縮力がそれを決める。</p>")
                       .arg(tag)
                       .arg(i)
                       .toUtf8();
        return body;
    };
    chapters.append({ QStringLiteral("序章"), "<h1>序章</h1>" + paragraphs(QStringLiteral("序"), 5) });
    chapters.append({ QStringLiteral("循環"), "<h1>循環</h1>" + paragraphs(QStringLiteral("段落"), 400) });
    chapters.append({ QStringLiteral("呼吸"), "<h1>呼吸</h1>" + paragraphs(QStringLiteral("呼吸"), 60) });
    DataFolder::createContentsFolder();
    const QString path = DataFolder::contentsFolder() + QStringLiteral("/place.epub");
    QFile::remove(path);
    return writeTextEpub(path, QStringLiteral("循環と呼吸"), chapters) ? path : QString();
}

// The result of `script` in the page scripts' world.
QVariant scriptValue(QWebEngineView *view, const QString &script)
{
    std::optional<QVariant> result;
    PageScripts::run(view->page(), script, [&](const QVariant &v) { result = v; });
    waitUntil([&] { return result.has_value(); });
    return result.value_or(QVariant());
}

// The first line at the top of the view, as a person reads it: the text of
// the first line box that reaches below the top edge (found here on its
// own, not through the reader's script).
QString firstVisibleLine(QWebEngineView *view)
{
    return pageValue(view,
        QStringLiteral("(function () {"
                       "  var w = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT, null);"
                       "  for (var n = w.nextNode(); n; n = w.nextNode()) {"
                       "    if (!/\\S/.test(n.data)) continue;"
                       "    var r = document.createRange();"
                       "    for (var i = 0; i < n.data.length; ++i) {"
                       "      r.setStart(n, i); r.setEnd(n, i + 1);"
                       "      var b = r.getBoundingClientRect();"
                       "      if (b.height > 0 && b.bottom > 0.5) {"
                       "        var line = ''; var top = b.top;"
                       "        for (var j = i; j < n.data.length; ++j) {"
                       "          r.setStart(n, j); r.setEnd(n, j + 1);"
                       "          if (Math.abs(r.getBoundingClientRect().top - top) > 2) break;"
                       "          line += n.data[j];"
                       "        }"
                       "        return line;"
                       "      }"
                       "    }"
                       "  }"
                       "  return '';"
                       "})()"))
        .toString();
}

class ReaderPlaceTest : public AppShellTest
{
protected:
    QPointer<ReaderVC> openBook()
    {
        m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("place.epub")));
        QPointer<ReaderVC> reader = m_app->readerVC();
        if (!reader || !reader->epubPane())
            return nullptr;
        QWebEngineView *view = reader->epubPane()->web();
        if (!waitUntil([&] {
                return view->isVisible() && view->width() > 400
                    && scriptValue(view, QStringLiteral("typeof qmCurrentPlace === 'function'")).toBool()
                    && pageValue(view, QStringLiteral("document.readyState === 'complete'")).toBool();
            }))
            return nullptr;
        return reader;
    }

    // Closes the program and starts it again over the same store file.
    void restart()
    {
        m_app.reset();
        const QString path = m_store.path();
        m_store.close();
        ASSERT_TRUE(m_store.open(path));
        launch();
    }
};

TEST_F(ReaderPlaceTest, ReopeningShowsTheSameFirstLineAfterARestartAndANewFontSize)
{
    launch();
    ASSERT_FALSE(installPlaceBook().isEmpty());
    ASSERT_TRUE(library().books().parseBook(DataFolder::contentsFolder() + QStringLiteral("/place.epub")));
    QPointer<ReaderVC> reader = openBook();
    ASSERT_TRUE(reader);
    reader->goToPage(1);
    QWebEngineView *view = reader->epubPane()->web();
    ASSERT_TRUE(waitUntil([&] {
        return view->url().path().endsWith(QStringLiteral("c2.xhtml"))
            && pageValue(view, QStringLiteral("document.querySelectorAll('p').length")).toInt() == 400;
    }));
    // Deep in the chapter, with the top line cut through the middle.
    pageValue(view,
        QStringLiteral("document.querySelectorAll('p')[231].scrollIntoView(); window.scrollBy(0, 9); 1"));
    ASSERT_TRUE(waitUntil([&] {
        const ReadingPlace p = reader->epubPane()->currentPlace();
        return p.spineIndex == 1 && p.hasAnchor() && p.fraction > 0.4;
    }));
    const QString line = firstVisibleLine(view);
    ASSERT_TRUE(line.startsWith(QStringLiteral("段落 231:"))) << line.toStdString();

    restart();
    reader = openBook();
    ASSERT_TRUE(reader);
    view = reader->epubPane()->web();
    EXPECT_EQ(reader->page(), 1);
    EXPECT_TRUE(waitUntil([&] { return firstVisibleLine(view) == line; }))
        << firstVisibleLine(view).toStdString() << " instead of " << line.toStdString();

    // A larger font lays the chapter out again; the same text stays on top.
    const int height = pageValue(view, QStringLiteral("document.body.scrollHeight")).toInt();
    reader->fontSizeUp();
    reader->fontSizeUp();
    const auto keptLine = [&] {
        return pageValue(view, QStringLiteral("document.body.scrollHeight")).toInt() != height
            && firstVisibleLine(view).startsWith(line.left(7));
    };
    EXPECT_TRUE(waitUntil(keptLine)) << firstVisibleLine(view).toStdString() << " instead of "
                                     << line.toStdString();
    const QString largerLine = firstVisibleLine(view);

    // And it is kept so: the shelf, and the book again.
    ASSERT_TRUE(waitUntil([&] { return reader->epubPane()->currentPlace().spineIndex == 1; }));
    m_app->changeToShelf();
    ASSERT_TRUE(waitUntil([&] { return reader.isNull(); }));
    reader = openBook();
    ASSERT_TRUE(reader);
    view = reader->epubPane()->web();
    EXPECT_TRUE(waitUntil([&] { return firstVisibleLine(view) == largerLine; }))
        << firstVisibleLine(view).toStdString() << " instead of " << largerLine.toStdString();
}

TEST_F(ReaderPlaceTest, ProgressIsTheShareOfTheBookAndTheSliderMovesThroughIt)
{
    launch();
    ASSERT_FALSE(installPlaceBook().isEmpty());
    ASSERT_TRUE(library().books().parseBook(DataFolder::contentsFolder() + QStringLiteral("/place.epub")));
    QPointer<ReaderVC> reader = openBook();
    ASSERT_TRUE(reader);
    ReaderProgressBar *bar = reader->progressBar();
    ASSERT_TRUE(bar);
    ASSERT_TRUE(waitUntil([&] { return bar->progress().has_value() && bar->slider()->isEnabled(); }));
    EXPECT_EQ(bar->progress()->spineCount(), 3);

    // The end of the last chapter is the whole book.
    reader->goToPage(2);
    QWebEngineView *view = reader->epubPane()->web();
    ASSERT_TRUE(waitUntil([&] { return view->url().path().endsWith(QStringLiteral("c3.xhtml")); }));
    ASSERT_TRUE(waitUntil(
        [&] { return pageValue(view, QStringLiteral("document.readyState === 'complete'")).toBool(); }));
    pageValue(view, QStringLiteral("window.scrollTo(0, document.body.scrollHeight); 1"));
    EXPECT_TRUE(waitUntil([&] {
        return bar->share() == 1.0 && bar->shareText() == QStringLiteral("100.0 %");
    })) << bar->shareText().toStdString();
    EXPECT_EQ(bar->chapterLabel()->text(), QStringLiteral("呼吸"));
    saveScreenshot(m_app->window(), QStringLiteral("reader-progress.png"));

    // Halfway through the book is inside the long chapter, at its share.
    const ReadingPlace half = bar->progress()->placeAt(0.5);
    ASSERT_EQ(half.spineIndex, 1);
    bar->slider()->setValue(ReaderProgressBar::kSteps / 2);
    EXPECT_TRUE(waitUntil([&] {
        const ReadingPlace p = reader->epubPane()->currentPlace();
        return reader->page() == 1 && p.spineIndex == 1 && std::abs(p.fraction - half.fraction) < 0.02
            && std::abs(*bar->share() - 0.5) < 0.02 && bar->chapterLabel()->text() == QStringLiteral("循環");
    })) << reader->epubPane()->currentPlace().toJson().toStdString()
        << " " << bar->chapterLabel()->text().toStdString();
}

} // namespace
