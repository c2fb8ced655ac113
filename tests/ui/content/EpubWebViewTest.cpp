// Book pages in a real QWebEngineView, served through the epub:// handler.
#include "content/BookUrl.h"
#include "content/BookWebProfile.h"
#include "support/Samples.h"
#include "support/ZipWriter.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <gtest/gtest.h>

namespace {

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

    QVariant js(const QString &script)
    {
        QEventLoop loop;
        QVariant result;
        m_page->runJavaScript(script, [&](const QVariant &v) {
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
    ASSERT_TRUE(load(BookUrl::entryUrl(QStringLiteral("anatomy-basics.epub"), QStringLiteral("OEBPS/text/chapter01.xhtml"))));
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
        QStringLiteral("Emergency Medicine Handbook.epub"), QStringLiteral("UPPER lower.EPUB"),
        QStringLiteral("100% #1 ?.epub"), QStringLiteral("臨床 薬理学ノート.epub"),
        QString(80, QChar(0x85AC)) + QStringLiteral(".epub"),
    };
    for (const QString &name : names) {
        installSampleBook(QStringLiteral("anatomy-basics.epub"), name);
        ASSERT_TRUE(load(BookUrl::entryUrl(name, QStringLiteral("OEBPS/text/chapter02.xhtml")))) << name.toStdString();
        const QUrl location(js(QStringLiteral("location.href")).toString());
        const auto target = BookUrl::parse(location);
        ASSERT_TRUE(target.has_value()) << location.toString().toStdString();
        EXPECT_EQ(target->fileName, name);
        EXPECT_EQ(target->path, QStringLiteral("/OEBPS/text/chapter02.xhtml"));
        EXPECT_EQ(js(QStringLiteral("document.querySelector('h1').textContent")).toString(), QStringLiteral("Cardiac Cycle"));
    }
}

TEST_F(EpubWebViewTest, MissingEntryFailsTheLoad)
{
    installSampleBook(QStringLiteral("anatomy-basics.epub"));
    EXPECT_FALSE(load(BookUrl::entryUrl(QStringLiteral("anatomy-basics.epub"), QStringLiteral("OEBPS/none.xhtml"))));
    EXPECT_FALSE(load(BookUrl::entryUrl(QStringLiteral("no-such-book.epub"), QStringLiteral("OEBPS/a.xhtml"))));
}

TEST_F(EpubWebViewTest, BookPagesCannotReadFilesOrOtherBooks)
{
    installSampleBook(QStringLiteral("anatomy-basics.epub"));
    const QString other = BookUrl::entryUrl(QStringLiteral("anatomy-basics.epub"), QStringLiteral("OEBPS/toc.ncx")).toString();
    const QByteArray page =
        "<!DOCTYPE html><html><head><title>probe</title><script>\n"
        "var results = {}; var pending = 2;\n"
        "function viaXhr(url) { try { var x = new XMLHttpRequest(); x.open('GET', url, false); x.send();"
        "  return 'status ' + x.status + ' length ' + x.responseText.length; } catch (e) { return 'blocked'; } }\n"
        "function viaFetch(key, url) { fetch(url).then(function (r) { return r.text(); })"
        "  .then(function (t) { results[key] = 'length ' + t.length; })"
        "  .catch(function () { results[key] = 'blocked'; }).finally(function () { pending--; }); }\n"
        "results.ownXhr = viaXhr('own.txt');\n"
        "results.fileXhr = viaXhr('file:///etc/passwd');\n"
        "results.otherBookXhr = viaXhr('" + other.toUtf8() + "');\n"
        "viaFetch('fileFetch', 'file:///etc/passwd');\n"
        "viaFetch('otherBookFetch', '" + other.toUtf8() + "');\n"
        "</script></head><body>probe</body></html>";
    DataFolder::createContentsFolder();
    ASSERT_TRUE(writeZip(DataFolder::contentsFolder() + QStringLiteral("/probe.epub"),
                         {{"page.html", page}, {"own.txt", "own entry"}}));

    ASSERT_TRUE(load(BookUrl::entryUrl(QStringLiteral("probe.epub"), QStringLiteral("page.html"))));
    ASSERT_TRUE(waitFor(QStringLiteral("pending === 0")));
    const QVariantMap results = js(QStringLiteral("results")).toMap();
    const QString summary = QString::fromUtf8(QJsonDocument::fromVariant(results).toJson(QJsonDocument::Compact));
    EXPECT_EQ(results.value(QStringLiteral("ownXhr")).toString(), QStringLiteral("status 200 length 9"))
        << "the probe can read its own book";
    for (const char *key : {"fileXhr", "otherBookXhr", "fileFetch", "otherBookFetch"}) {
        const QString r = results.value(QLatin1String(key)).toString();
        EXPECT_FALSE(r.isEmpty()) << key;
        EXPECT_FALSE(r.contains(QRegularExpression(QStringLiteral("length [1-9]"))))
            << key << " got content: " << summary.toStdString();
    }
}

} // namespace
