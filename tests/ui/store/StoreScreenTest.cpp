// The store screen and the account sheets.
#include "core/store/StoreManager.h"
#include "core/util/LogRules.h"
#include "ui/AppShellFixture.h"

#include <QUrlQuery>

namespace
{

TEST_F(AppShellTest, SigningInThroughTheSheet)
{
    launch();
    std::optional<bool> result;
    ASSERT_TRUE(signInThroughTheSheet(QStringLiteral("yamada"), QStringLiteral("Yamada-2026"), &result));
    m_app->loginWindow()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/sign-in-sheet.png"));
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    EXPECT_TRUE(*result);
    EXPECT_TRUE(KeyChainStore().token().has_value()) << "the token is stored";
    EXPECT_FALSE(m_app->loginWindow()->isVisible());
    EXPECT_EQ(library().account().currentUserId(), QStringLiteral("1"));
    ASSERT_TRUE(waitUntil([] {
        return UserDefaults::stringForKey(QString::fromLatin1(UserDefaults::vamoUserName)).has_value();
    }));
    EXPECT_EQ(UserDefaults::stringForKey(QString::fromLatin1(UserDefaults::vamoUserName)),
        QStringLiteral("山田太郎"));
    m_app->window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/main-window.png"));
}

TEST_F(AppShellTest, DeviceLimitPathReleasesADevice)
{
    const QString other = backend->accessToken(QStringLiteral("sato"), QStringLiteral("Sato-2026"));
    for (int i = 0; i < 3; ++i)
        backend->post(QStringLiteral("/store-api/api/login"),
            QStringLiteral("token=%1&uid=SHELL-%2").arg(other).arg(i).toUtf8());
    launch();
    std::optional<bool> result;
    ASSERT_TRUE(signInThroughTheSheet(QStringLiteral("sato"), QStringLiteral("Sato-2026"), &result));
    ASSERT_TRUE(waitUntil([&] {
        return m_app->loginWindow()->devicesWindow() && m_app->loginWindow()->devicesWindow()->isVisible();
    }));
    EXPECT_EQ(m_answerer.seen.last().title, QStringLiteral("台数制限エラー"));
    DevicesWindow *devices = m_app->loginWindow()->devicesWindow();
    EXPECT_TRUE(
        devices->findChild<QLabel *>(QStringLiteral("lbl1"))->text().contains(QStringLiteral("SHELL-0")));
    devices->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/devices-sheet.png"));
    devices->findChild<QPushButton *>(QStringLiteral("release1"))->click();
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    EXPECT_TRUE(*result);
    EXPECT_EQ(library().account().currentUserId(), QStringLiteral("2"));
}

TEST_F(AppShellTest, StorePagesAndADownloadIntoTheShelf)
{
    launch();
    std::optional<bool> result;
    ASSERT_TRUE(signInThroughTheSheet(QStringLiteral("tanaka"), QStringLiteral("Tanaka-2026"), &result));
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    ASSERT_TRUE(*result);

    m_app->changeToStore();
    StoreVC *store = m_app->storeVC();
    ASSERT_TRUE(store);
    auto pageText = [&] {
        QString text;
        bool done = false;
        store->web()->page()->toHtml([&](const QString &html) {
            text = html;
            done = true;
        });
        waitUntil([&] { return done; });
        return text;
    };
    ASSERT_TRUE(waitUntil([&] { return pageText().contains(QStringLiteral("catalogue")); }, 30000))
        << "the store top, opened with the signed-in tokens";
    store->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/store.png"));

    // A click on a download link downloads and installs the book.
    store->web()->page()->runJavaScript(
        QStringLiteral("Array.from(document.querySelectorAll('a.download')).find(a => "
                       "a.href.includes('pdf-nursing-notes')).click()"));
    ASSERT_TRUE(waitUntil([&] { return m_app->currentVC() == m_app->shelfVC(); }, 30000))
        << "the shelf is shown";
    EXPECT_TRUE(QFileInfo::exists(DataFolder::contentsFolder() + QStringLiteral("/nursing-notes.pdf")));
    const auto book
        = library().store().findFirst<BookMetaData>(QStringLiteral("\"identifier\"='pdf-nursing-notes'"));
    ASSERT_TRUE(book.has_value());
    EXPECT_EQ(book->title, QStringLiteral("Nursing Notes")) << "the link's query is the PDF's info";
    EXPECT_EQ(book->printable, 1);
    EXPECT_GE(m_app->shelfVC()->list()->model()->rowCount(), 1);
}

// Every line of a verbose run of signing in, opening the store and
// downloading a book, whatever its level: none carries the password, the
// access or store token, the download key or the store's cookie.
QStringList *g_logLines = nullptr;
void keepLogLine(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (g_logLines)
        g_logLines->append(message);
}

TEST_F(AppShellTest, AVerboseLogOfSigningInAndDownloadingHoldsNoSecret)
{
    QStringList lines;
    g_logLines = &lines;
    const QtMessageHandler before = qInstallMessageHandler(keepLogLine);
    LogRules::install(true);
    struct Restore {
        QtMessageHandler handler;
        ~Restore()
        {
            LogRules::install(false);
            g_logLines = nullptr;
            qInstallMessageHandler(handler);
        }
    } restore { before };

    launch();
    std::optional<bool> result;
    ASSERT_TRUE(signInThroughTheSheet(QStringLiteral("tanaka"), QStringLiteral("Tanaka-2026"), &result));
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    ASSERT_TRUE(*result);
    m_app->changeToStore();
    StoreVC *store = m_app->storeVC();
    ASSERT_TRUE(store);
    const QString link = QStringLiteral("Array.from(document.querySelectorAll('a.download')).find(a => "
                                        "a.href.includes('pdf-nursing-notes'))");
    ASSERT_TRUE(waitUntil(
        [&] {
            return pageValue(store->web(), link + QStringLiteral("?.href || ''"))
                .toString()
                .contains(u"key=");
        },
        30000));
    const QUrlQuery query(QUrl(pageValue(store->web(), link + QStringLiteral(".href")).toString()));
    store->web()->page()->runJavaScript(link + QStringLiteral(".click()"));
    ASSERT_TRUE(waitUntil([&] { return m_app->currentVC() == m_app->shelfVC(); }, 30000));
    ASSERT_TRUE(QFileInfo::exists(DataFolder::contentsFolder() + QStringLiteral("/nursing-notes.pdf")));

    const QStringList secrets { QStringLiteral("Tanaka-2026"), KeyChainStore().token().value_or(QString()),
        m_app->storeManager().token().value_or(QString()), query.queryItemValue(QStringLiteral("key")) };
    ASSERT_FALSE(lines.isEmpty());
    for (const QString &secret : secrets) {
        ASSERT_GE(secret.size(), 6) << "each secret of the journey is known to the test";
        for (const QString &line : std::as_const(lines))
            EXPECT_FALSE(line.contains(secret)) << line.toStdString();
    }
    EXPECT_TRUE(lines.join(u'\n').contains(QStringLiteral("download.php")))
        << "the download was logged, without its key";
}

// A download that ends while the previous one's installation waits for an
// answer (a nested event loop): the waiting one finishes with its own file,
// and the newer one is neither destroyed early nor released by the older
// one's clean-up.
TEST_F(AppShellTest, ADownloadStartedWhileAnInstallationAsksFinishesToo)
{
    launch();
    m_app->changeToStore();
    StoreVC *store = m_app->storeVC();
    ASSERT_TRUE(store);
    const QString epub = sampleBookPath(QStringLiteral("anatomy-basics.epub"));
    const QString installed = DataFolder::contentsFolder() + QStringLiteral("/anatomy-basics.epub");
    auto registered = [this](const char *fileName) {
        return library().store().count<BookMetaData>(
            QStringLiteral("\"fileName\"=?"), { QString::fromUtf8(fileName) });
    };
    store->doDownload(QNetworkRequest(QUrl::fromLocalFile(epub)));
    ASSERT_TRUE(waitUntil([&] { return registered("anatomy-basics.epub") == 1; }, 30000));

    // The same book again asks whether to replace it; while the question is
    // open, a slow download of another book starts.
    ASSERT_TRUE(backend->setFault({ { "path", "/files/late-arrival.pdf" }, { "status", 200 },
        // A document with one page: a header alone is not a book.
        { "body",
            "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
            "2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 >> endobj\n"
            "3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >> endobj\n"
            "trailer << /Root 1 0 R >>\n%%EOF\n" },
        { "contentType", "application/pdf" }, { "delayMs", 1500 } }));
    const int boxesBefore = m_answerer.seen.size();
    m_answerer.beforeAnswer = [&] {
        store->doDownload(
            QNetworkRequest(QUrl(backend->baseUrl() + QStringLiteral("/files/late-arrival.pdf"))));
    };
    const QDateTime before = QFileInfo(installed).lastModified();
    store->doDownload(QNetworkRequest(QUrl::fromLocalFile(epub)));
    ASSERT_TRUE(waitUntil([&] { return m_answerer.seen.size() > boxesBefore; }, 30000));
    EXPECT_TRUE(m_answerer.seen.at(boxesBefore).title.contains(PackageInstaller::kOverwrite)
        || m_answerer.seen.at(boxesBefore).message.contains(PackageInstaller::kOverwrite));

    ASSERT_TRUE(waitUntil(
        [&] { return QFileInfo::exists(DataFolder::contentsFolder() + QStringLiteral("/late-arrival.pdf")); },
        30000))
        << "the newer download was installed";
    ASSERT_TRUE(waitUntil([&] { return registered("late-arrival.pdf") == 1; }, 30000));
    EXPECT_EQ(registered("anatomy-basics.epub"), 1);
    EXPECT_TRUE(QFileInfo(installed).isFile());
    EXPECT_EQ(QFileInfo(installed).size(), QFileInfo(epub).size()) << "the replaced book is whole";
    EXPECT_GE(QFileInfo(installed).lastModified(), before);
    backend->resetFaults();
}

} // namespace
