// Book pages in a real QWebEngineView, served through the epub:// handler.
#include "core/content/BookUrl.h"
#include "support/Samples.h"
#include "support/ZipWriter.h"
#include "ui/reader/BookWebProfile.h"
#include "ui/reader/PageScripts.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <gtest/gtest.h>

namespace
{

constexpr int kTimeoutMs = 30000;

class EpubWebViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_page = new QWebEnginePage(BookWebProfile::shared(), &m_view);
        m_view.setPage(m_page);
        m_view.resize(800, 600);
        m_view.show();
    }

    // Loads `url` and waits; whether the load succeeded.
    bool load(const QUrl &url)
    {
        QEventLoop loop;
        bool ok = false;
        bool finished = false;
        auto c = QObject::connect(m_page, &QWebEnginePage::loadFinished, &loop, [&](bool success) {
            ok = success;
            finished = true;
            loop.quit();
        });
        QTimer::singleShot(kTimeoutMs, &loop, &QEventLoop::quit);
        m_page->load(url);
        loop.exec();
        QObject::disconnect(c);
        return finished && ok;
    }

    // Evaluates `script` in the page's own world, or in `world`.
    QVariant js(const QString &script, quint32 world = 0)
    {
        QEventLoop loop;
        QVariant result;
        m_page->runJavaScript(script, world, [&](const QVariant &v) {
            result = v;
            loop.quit();
        });
        QTimer::singleShot(kTimeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
        return result;
    }

    // Evaluates `condition` until it is true or the time-out passes.
    bool waitFor(const QString &condition)
    {
        for (int waited = 0; waited < kTimeoutMs; waited += 100) {
            if (js(condition).toBool())
                return true;
            QEventLoop loop;
            QTimer::singleShot(100, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return false;
    }

    QWebEngineView m_view;
    QWebEnginePage *m_page = nullptr;
};

TEST_F(EpubWebViewTest, ChapterRendersWithItsStyleSheetAndImage)
{
    installSampleBook(QStringLiteral("anatomy-basics.epub"));
    ASSERT_TRUE(load(BookUrl::entryUrl(
        QStringLiteral("anatomy-basics.epub"), QStringLiteral("OEBPS/text/chapter01.xhtml"))));
    EXPECT_EQ(js(QStringLiteral("document.querySelector('h1').textContent")).toString(),
        QStringLiteral("Anatomy of the Heart"));
    EXPECT_EQ(js(QStringLiteral("getComputedStyle(document.querySelector('h1')).color")).toString(),
        QStringLiteral("rgb(20, 60, 120)"))
        << "the book's style sheet is applied";
    ASSERT_TRUE(waitFor(QStringLiteral("document.querySelector('img.figure').complete")));
    EXPECT_EQ(js(QStringLiteral("document.querySelector('img.figure').naturalWidth")).toInt(), 160)
        << "the image with a space in its name is served";

    QEventLoop settle;
    QTimer::singleShot(300, &settle, &QEventLoop::quit);
    settle.exec();
    const QImage shot = m_view.grab().toImage();
    EXPECT_FALSE(shot.isNull());
    shot.save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/epub-chapter.png"));
}

TEST_F(EpubWebViewTest, FileNamesComeBackExactlyThroughTheWebView)
{
    const QString names[] = {
        QStringLiteral("Emergency Medicine Handbook.epub"),
        QStringLiteral("UPPER lower.EPUB"),
        QStringLiteral("100% #1 ?.epub"),
        QStringLiteral("臨床 薬理学ノート.epub"),
        QString(80, QChar(0x85AC)) + QStringLiteral(".epub"),
    };
    for (const QString &name : names) {
        installSampleBook(QStringLiteral("anatomy-basics.epub"), name);
        ASSERT_TRUE(load(BookUrl::entryUrl(name, QStringLiteral("OEBPS/text/chapter02.xhtml"))))
            << name.toStdString();
        const QUrl location(js(QStringLiteral("location.href")).toString());
        const auto target = BookUrl::parse(location);
        ASSERT_TRUE(target.has_value()) << location.toString().toStdString();
        EXPECT_EQ(target->fileName, name);
        EXPECT_EQ(target->path, QStringLiteral("/OEBPS/text/chapter02.xhtml"));
        EXPECT_EQ(js(QStringLiteral("document.querySelector('h1').textContent")).toString(),
            QStringLiteral("Cardiac Cycle"));
    }
}

TEST_F(EpubWebViewTest, MissingEntryFailsTheLoad)
{
    installSampleBook(QStringLiteral("anatomy-basics.epub"));
    EXPECT_FALSE(
        load(BookUrl::entryUrl(QStringLiteral("anatomy-basics.epub"), QStringLiteral("OEBPS/none.xhtml"))));
    EXPECT_FALSE(
        load(BookUrl::entryUrl(QStringLiteral("no-such-book.epub"), QStringLiteral("OEBPS/a.xhtml"))));
}

TEST_F(EpubWebViewTest, BookPagesCannotReadFilesOrOtherBooks)
{
    installSampleBook(QStringLiteral("anatomy-basics.epub"));
    const QString other
        = BookUrl::entryUrl(QStringLiteral("anatomy-basics.epub"), QStringLiteral("OEBPS/toc.ncx"))
              .toString();
    const QByteArray page
        = "<!DOCTYPE html><html><head><title>probe</title><script>\n"
          "var results = {}; var pending = 2;\n"
          "function viaXhr(url) { try { var x = new XMLHttpRequest(); x.open('GET', url, false); x.send();"
          "  return 'status ' + x.status + ' length ' + x.responseText.length; } catch (e) { return "
          "'blocked'; } }\n"
          "function viaFetch(key, url) { fetch(url).then(function (r) { return r.text(); })"
          "  .then(function (t) { results[key] = 'length ' + t.length; })"
          "  .catch(function () { results[key] = 'blocked'; }).finally(function () { pending--; }); }\n"
          "results.ownXhr = viaXhr('own.txt');\n"
          "results.fileXhr = viaXhr('file:///etc/passwd');\n"
          "results.otherBookXhr = viaXhr('"
        + other.toUtf8()
        + "');\n"
          "viaFetch('fileFetch', 'file:///etc/passwd');\n"
          "viaFetch('otherBookFetch', '"
        + other.toUtf8()
        + "');\n"
          "</script></head><body>probe</body></html>";
    DataFolder::createContentsFolder();
    ASSERT_TRUE(writeZip(DataFolder::contentsFolder() + QStringLiteral("/probe.epub"),
        { { "page.html", page }, { "own.txt", "own entry" } }));

    ASSERT_TRUE(load(BookUrl::entryUrl(QStringLiteral("probe.epub"), QStringLiteral("page.html"))));
    ASSERT_TRUE(waitFor(QStringLiteral("pending === 0")));
    const QVariantMap results = js(QStringLiteral("results")).toMap();
    const QString summary
        = QString::fromUtf8(QJsonDocument::fromVariant(results).toJson(QJsonDocument::Compact));
    EXPECT_EQ(results.value(QStringLiteral("ownXhr")).toString(), QStringLiteral("status 200 length 9"))
        << "the probe can read its own book";
    for (const char *key : { "fileXhr", "otherBookXhr", "fileFetch", "otherBookFetch" }) {
        const QString r = results.value(QLatin1String(key)).toString();
        EXPECT_FALSE(r.isEmpty()) << key;
        EXPECT_FALSE(r.contains(QRegularExpression(QStringLiteral("length [1-9]"))))
            << key << " got content: " << summary.toStdString();
    }
}

} // namespace

namespace
{

QVariantMap jsonObject(const QVariant &text)
{
    return QJsonDocument::fromJson(text.toString().toUtf8()).toVariant().toMap();
}

} // namespace

TEST_F(EpubWebViewTest, PageScriptsLiveInTheirOwnWorldAndKeepTheirNumbering)
{
    // A book whose own scripts look for the reader's functions and try to
    // replace one.
    const QByteArray page = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<html "
                            "xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>t</title>"
                            "<script>window.setHighlight = function () { return 'hijacked'; };"
                            "window.addEventListener('load', function () { window.bookSaw = typeof "
                            "getSelectionStartQmNodeInfo; });</script>"
                            "</head><body><script>var notText = 1;</script><p id=\"a\">Alpha beta "
                            "gamma</p>\n<p id=\"b\">Delta <i>epsilon</i> zeta</p></body></html>";
    const QByteArray opf
        = "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" version=\"2.0\"><metadata/>"
          "<manifest><item id=\"p\" href=\"p.xhtml\" media-type=\"application/xhtml+xml\"/></manifest>"
          "<spine><itemref idref=\"p\"/></spine></package>";
    DataFolder::createContentsFolder();
    ASSERT_TRUE(writeEpub(DataFolder::contentsFolder() + QStringLiteral("/scripted.epub"),
        QStringLiteral("OEBPS/content.opf"), { { "OEBPS/content.opf", opf }, { "OEBPS/p.xhtml", page } }));
    PageScripts::install(m_page);
    ASSERT_TRUE(load(BookUrl::entryUrl(QStringLiteral("scripted.epub"), QStringLiteral("OEBPS/p.xhtml"))));
    const quint32 ours = PageScripts::kWorld;

    EXPECT_EQ(js(QStringLiteral("bookSaw")).toString(), QStringLiteral("undefined"))
        << "the book cannot see them";
    EXPECT_EQ(js(QStringLiteral("typeof setHighlight"), ours).toString(), QStringLiteral("function"));
    bool verified = false;
    PageScripts::verify(m_page, [&](bool ok) { verified = ok; });
    ASSERT_TRUE(waitFor(QStringLiteral("true")) && verified);

    // Selections are numbered per text node: "beta gamma" is node 1, 6..16.
    auto select = [&](const QString &startNode, int start, const QString &endNode, int end) {
        js(QStringLiteral(
            "(function () { var r = document.createRange(); r.setStart(%1, %2); r.setEnd(%3, %4);"
            "var s = window.getSelection(); s.removeAllRanges(); s.addRange(r); })()")
                .arg(startNode)
                .arg(start)
                .arg(endNode)
                .arg(end));
    };
    const QString alpha = QStringLiteral("document.getElementById('a').firstChild");
    select(alpha, 6, alpha, 16);
    QVariantMap start = jsonObject(js(QStringLiteral("getSelectionStartQmNodeInfo()"), ours));
    QVariantMap end = jsonObject(js(QStringLiteral("getSelectionEndQmNodeInfo()"), ours));
    EXPECT_EQ(start.value(QStringLiteral("startQmNodeNo")).toInt(), 1);
    EXPECT_EQ(start.value(QStringLiteral("startQmNodeOffset")).toInt(), 6);
    EXPECT_EQ(end.value(QStringLiteral("endQmNodeNo")).toInt(), 1);
    EXPECT_EQ(end.value(QStringLiteral("endQmNodeOffset")).toInt(), 16);
    js(QStringLiteral("window.getSelection().removeAllRanges()"));
    EXPECT_EQ(js(QStringLiteral("getSelectionStartQmNodeInfo()"), ours).toString(), QStringLiteral("false"));

    // A highlight from "beta" to "eps" of "epsilon" (node 3) spans three nodes.
    const QString before = js(QStringLiteral("document.body.textContent")).toString();
    EXPECT_EQ(js(QStringLiteral("setHighlight('3_dev','highlight_color1',1,6,3,3,{})"), ours).toString(),
        QStringLiteral("true"));
    EXPECT_EQ(
        js(QStringLiteral(
               "Array.from(document.querySelectorAll('span.qmHighlight')).map(s => s.textContent).join('|')"))
            .toString(),
        QStringLiteral("beta gamma|Delta |eps"));
    EXPECT_EQ(js(QStringLiteral("document.body.textContent")).toString(), before);

    // Split nodes keep their numbers and offsets: "ilon" is still node 3
    // from offset 3, " zeta" still node 4.
    const QString ilon = QStringLiteral("document.querySelector('i').lastChild");
    select(ilon, 1, ilon, 4);
    start = jsonObject(js(QStringLiteral("getSelectionStartQmNodeInfo()"), ours));
    EXPECT_EQ(start.value(QStringLiteral("startQmNodeNo")).toInt(), 3);
    EXPECT_EQ(start.value(QStringLiteral("startQmNodeOffset")).toInt(), 4);
    EXPECT_EQ(js(QStringLiteral("highlightSearchTerm('ET')"), ours).toString(), QStringLiteral("2"))
        << "b-et-a, z-et-a";
    EXPECT_EQ(js(QStringLiteral("clearSearchHighlight()"), ours).toString(), QStringLiteral("2"));
    const QString zeta = QStringLiteral("document.querySelector('i').nextSibling"); // " z" of " zeta" now
    select(zeta, 1, zeta, 2);
    start = jsonObject(js(QStringLiteral("getSelectionStartQmNodeInfo()"), ours));
    EXPECT_EQ(start.value(QStringLiteral("startQmNodeNo")).toInt(), 4);
    EXPECT_EQ(start.value(QStringLiteral("startQmNodeOffset")).toInt(), 1);

    // The highlight under a selection, and removing it.
    const QString marked = QStringLiteral("document.querySelector('span.qmHighlight').firstChild");
    select(marked, 0, marked, 1);
    EXPECT_EQ(js(QStringLiteral("isSellectionHighlighMemoed()"), ours).toString(), QStringLiteral("3_dev"));
    EXPECT_EQ(
        js(QStringLiteral(
               "setHighlight(5,'memo_color1',4,1,4,5,{memodate:'2026/01/01 10:00:00',memotext:'note'})"),
            ours)
            .toString(),
        QStringLiteral("true"));
    EXPECT_EQ(js(QStringLiteral("removeOldQmNodeNoMemoSpan([3]);"), ours).toString(), QStringLiteral("1"));
    EXPECT_EQ(
        js(QStringLiteral(
               "Array.from(document.querySelectorAll('span.qmHighlight')).map(s => s.dataset.qmId).join()"))
            .toString(),
        QStringLiteral("5,5,5"))
        << "only 5 is left, over the three pieces the search marks made of \" zeta\"";
    EXPECT_EQ(js(QStringLiteral("document.querySelector('span.qmHighlight').title")).toString(),
        QStringLiteral("2026/01/01 10:00:00\nnote"));
    EXPECT_EQ(js(QStringLiteral("removeHighlight('5')"), ours).toString(), QStringLiteral("3"));
    EXPECT_EQ(js(QStringLiteral("document.body.textContent")).toString(), before);
    EXPECT_EQ(js(QStringLiteral("setHighlight('9_x','highlight_color1',40,0,41,2,{})"), ours).toString(),
        QStringLiteral("false"))
        << "positions beyond the page draw nothing";
}
