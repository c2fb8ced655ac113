// The sign-in sequence against the local backend.
#include "core/store/LoginWindowLogic.h"
#include "core/library/Library.h"
#include "core/library/LibraryStore.h"
#include "core/platform/ConfigDictionary.h"
#include "core/platform/DataFolder.h"
#include "core/platform/ServerConfig.h"
#include "core/platform/UserDefaults.h"
#include "core/store/ApiRequest.h"
#include "core/store/StoreManager.h"
#include "core/store/VamoManager.h"
#include "core/util/StringHelpers.h"
#include "support/BackendFixture.h"
#include "support/RecordingPresenter.h"
#include "support/Samples.h"
#include "support/Wait.h"

#include <QDir>
#include <QTcpServer>
#include <QUuid>
#include <gtest/gtest.h>

namespace
{

class Recorder : public LoginWindowDelegate, public LoginWindowView
{
public:
    QList<bool> results;
    int devicesShown = 0;
    int devicesClosed = 0;
    int registerClosed = 0;
    QString fieldsId;
    void didLoginWindow(LoginWindowLogic *, bool success) override { results.append(success); }
    void setFields(const QString &id, const QString &) override { fieldsId = id; }
    void showDevicesSheet(DevicesWindowLogic &) override { ++devicesShown; }
    void closeDevicesSheet() override { ++devicesClosed; }
    void showRegisterSheet(RegisterWindowLogic &) override { }
    void closeRegisterSheet() override { ++registerClosed; }
};

class LoginWindowLogicTest : public BackendFixture
{
protected:
    void SetUp() override
    {
        BackendFixture::SetUp();
        connectTo(backend->baseUrl());
    }
    void TearDown() override
    {
        m_vamo->writeToken(std::nullopt);
        BackendFixture::TearDown();
    }

    void connectTo(const QString &base)
    {
        m_logic.reset();
        m_servers = std::make_unique<ServerConfig>(base, QStringLiteral("/nonexistent.ini"));
        m_config = std::make_unique<ConfigDictionary>(m_dir.filePath(QStringLiteral("config.plist")));
        m_vamo = std::make_unique<VamoManager>(*m_servers);
        m_store = std::make_unique<StoreManager>(*m_servers, *m_config, *m_vamo);
        m_logic = std::make_unique<LoginWindowLogic>(library(), *m_vamo, *m_store, m_messages);
        m_logic->parent = &m_recorder;
        m_logic->view = &m_recorder;
    }

    bool signIn(const QString &id, const QString &password)
    {
        const qsizetype before = m_recorder.results.size() + m_messages.shown.size();
        m_logic->txtID = id;
        m_logic->txtPass = password;
        m_logic->tapLogin();
        return waitUntil([&] {
            return m_recorder.results.size() + m_messages.shown.size() + m_recorder.devicesShown > before;
        });
    }

    QTemporaryDir m_dir;
    RecordingPresenter m_messages;
    Recorder m_recorder;
    std::unique_ptr<ServerConfig> m_servers;
    std::unique_ptr<ConfigDictionary> m_config;
    std::unique_ptr<VamoManager> m_vamo;
    std::unique_ptr<StoreManager> m_store;
    std::unique_ptr<LoginWindowLogic> m_logic;
};

TEST_F(LoginWindowLogicTest, SuccessfulSignInStoresTheToken)
{
    UserDefaults::setValue(QString::fromLatin1(UserDefaults::accountLift), QStringLiteral("1"));
    ASSERT_TRUE(signIn(QStringLiteral("yamada"), QStringLiteral("Yamada-2026")));
    ASSERT_EQ(m_recorder.results, QList<bool> { true })
        << (m_messages.shown.isEmpty() ? "" : m_messages.shown.first().second.toStdString());
    EXPECT_TRUE(m_messages.shown.isEmpty());
    EXPECT_TRUE(KeyChainStore().token().has_value()) << "the token is in the credential store";
    EXPECT_EQ(library().account().currentUserId(), QStringLiteral("1"));
    EXPECT_EQ(
        UserDefaults::stringForKey(QString::fromLatin1(UserDefaults::accountLift)), QStringLiteral("0"));

    QVariantMap profile;
    bool done = false;
    m_vamo->getUserInfo([&](const QVariant &result, const std::optional<ApiError> &error) {
        EXPECT_FALSE(error.has_value());
        profile = result.toMap();
        done = true;
    });
    ASSERT_TRUE(waitUntil([&] { return done; }));
    EXPECT_EQ(
        profile.value(QStringLiteral("user_profiles")).toMap().value(QStringLiteral("first_name")).toString(),
        QStringLiteral("太郎"));
    EXPECT_EQ(
        m_vamo->passwordResetUrl(), QUrl(backend->baseUrl() + QStringLiteral("/profile/users/password/new")));
}

struct FailureCase {
    const char *name;
    QVariantMap fault; // on /profile/oauth/token; empty: none
    const char *password;
    QString title;
    QString message;
};

TEST_F(LoginWindowLogicTest, FailuresAndTheirMessages)
{
    const FailureCase cases[] = {
        { "wrong password", {}, "nope", LoginWindowLogic::kCredentialsTitle,
            LoginWindowLogic::kCredentialsError },
        { "server error", { { "path", "/profile/oauth/token" }, { "status", 500 }, { "body", "oops" } },
            "Yamada-2026", LoginWindowLogic::kCredentialsTitle, LoginWindowLogic::kCredentialsError },
        { "time-out", { { "path", "/profile/oauth/token" }, { "delayMs", 1500 } }, "Yamada-2026",
            LoginWindowLogic::kConnectionTitle, LoginWindowLogic::kConnectionError },
        { "dropped connection", { { "path", "/profile/oauth/token" }, { "drop", true } }, "Yamada-2026",
            LoginWindowLogic::kConnectionTitle, LoginWindowLogic::kConnectionError },
    };
    setApiTimeoutScale(0.05); // the 10 s sign-in time-out becomes 0.5 s
    for (const FailureCase &c : cases) {
        m_messages.shown.clear();
        backend->resetFaults();
        if (!c.fault.isEmpty())
            backend->setFault(c.fault);
        ASSERT_TRUE(signIn(QStringLiteral("yamada"), QString::fromLatin1(c.password))) << c.name;
        ASSERT_EQ(m_messages.shown.size(), 1) << c.name;
        EXPECT_EQ(m_messages.shown.first().first, c.title) << c.name;
        EXPECT_EQ(m_messages.shown.first().second, c.message) << c.name;
        EXPECT_TRUE(m_recorder.results.isEmpty()) << "no failure closes the sheet: " << c.name;
    }

    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const quint16 port = closed.serverPort();
    closed.close();
    connectTo(QStringLiteral("http://127.0.0.1:%1").arg(port));
    m_messages.shown.clear();
    ASSERT_TRUE(signIn(QStringLiteral("yamada"), QStringLiteral("Yamada-2026")));
    EXPECT_EQ(m_messages.shown.first().first, LoginWindowLogic::kConnectionTitle) << "unreachable server";
}

TEST_F(LoginWindowLogicTest, StoreMessagesAndTheDeviceLimit)
{
    // Refused with fewer than three devices: the server's message.
    backend->setFault({ { "path", "/store-api/api/login" }, { "status", 200 },
        { "body", R"({"success":false,"unitList":[{"id":1},{"id":2}],"message":"サーバからのお知らせ"})" },
        { "contentType", "application/json" } });
    ASSERT_TRUE(signIn(QStringLiteral("sato"), QStringLiteral("Sato-2026")));
    ASSERT_EQ(m_messages.shown.size(), 1);
    EXPECT_EQ(
        m_messages.shown.first(), qMakePair(QStringLiteral("Error"), QStringLiteral("サーバからのお知らせ")));
    EXPECT_EQ(m_recorder.devicesShown, 0);

    // Three other devices already hold the account.
    const QString otherToken = backend->accessToken(QStringLiteral("sato"), QStringLiteral("Sato-2026"));
    for (int i = 0; i < 3; ++i)
        backend->post(QStringLiteral("/store-api/api/login"),
            QStringLiteral("token=%1&uid=OTHER-%2").arg(otherToken).arg(i).toUtf8());

    m_messages.shown.clear();
    ASSERT_TRUE(signIn(QStringLiteral("sato"), QStringLiteral("Sato-2026")));
    ASSERT_EQ(m_messages.shown.size(), 1);
    EXPECT_EQ(m_messages.shown.first(),
        qMakePair(LoginWindowLogic::kDeviceLimitTitle, LoginWindowLogic::kDeviceLimitError));
    EXPECT_TRUE(LoginWindowLogic::kDeviceLimitError.contains(QChar(0x0008)));
    ASSERT_EQ(m_recorder.devicesShown, 1);
    DevicesWindowLogic &devices = m_logic->devicesWindow();
    ASSERT_EQ(devices.devices.size(), 3);
    const QStringList labels = devices.redisp();
    EXPECT_TRUE(labels.at(0).startsWith(QStringLiteral("Tavro for Linux (OTHER-0")))
        << labels.at(0).toStdString();

    // Releasing one signs this device in.
    devices.tap1();
    ASSERT_TRUE(waitUntil([&] { return !m_recorder.results.isEmpty(); }));
    EXPECT_EQ(m_recorder.devicesClosed, 1);
    EXPECT_EQ(m_recorder.results, QList<bool> { true });
    EXPECT_EQ(library().account().currentUserId(), QStringLiteral("2"));
}

// A library of every kind of book: two from the store (an EPUB and a PDF
// with its outline), a PDF of the store registered before store books were
// marked, a PDF and an EPUB from disk with a bookmark each, and a sample
// EPUB lying in the contents folder unregistered (the README's first run).
struct MixedLibrary {
    explicit MixedLibrary(const Library &library)
        : lib(library)
    {
    }

    Library lib;
    qint64 diskPdfID = 0;
    qint64 diskEpubID = 0;
    QStringList storeFiles { QStringLiteral("anatomy-basics.epub"), QStringLiteral("legacy-store.pdf"),
        QStringLiteral("respiratory-atlas.pdf"), QStringLiteral("respiratory-atlas.toc") };
    QStringList ownFiles { QStringLiteral("cardiology-epub3.epub"), QStringLiteral("nursing-notes.pdf"),
        QStringLiteral("臨床薬理学ノート.epub") };

    void make()
    {
        lib.books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")), true);
        installSampleBook(QStringLiteral("respiratory-atlas.toc"));
        lib.books().parsePDFBook(installSampleBook(QStringLiteral("respiratory-atlas.pdf")),
            { { QStringLiteral("bookId"), QStringLiteral("pdf-1") } }, true);
        lib.books().parsePDFBook(
            installSampleBook(QStringLiteral("nursing-notes.pdf"), QStringLiteral("legacy-store.pdf")),
            { { QStringLiteral("bookId"), QStringLiteral("pdf-2") } });
        lib.books().parsePDFBook(installSampleBook(QStringLiteral("nursing-notes.pdf")),
            { { QStringLiteral("bookId"), QStringLiteral("9999999999") } });
        lib.books().parseBook(installSampleBook(QStringLiteral("cardiology-epub3.epub")));
        installSampleBook(QStringLiteral("臨床薬理学ノート.epub"));
        diskPdfID = lib.books().findBookIDByBookMetaID(QStringLiteral("9999999999")).value_or(0);
        const auto epub = lib.store().findFirst<BookMetaData>(
            QStringLiteral("\"fileName\"=?"), { QStringLiteral("cardiology-epub3.epub") });
        diskEpubID = epub && epub->BookID ? *epub->BookID : 0;
        lib.annotations().upsertBookMark(3, std::nullopt, QStringLiteral("9999999999"), diskPdfID, false);
        lib.annotations().upsertBookMark(1, QStringLiteral("ch1"), epub->identifier, diskEpubID, false);
    }
    static QStringList files()
    {
        QStringList names = QDir(DataFolder::contentsFolder()).entryList(QDir::Files, QDir::Name);
        names.sort();
        return names;
    }
    QStringList all() const
    {
        QStringList names = storeFiles + ownFiles;
        names.sort();
        return names;
    }
    void expectOwnBooksKept() const
    {
        QStringList own = ownFiles;
        own.sort();
        EXPECT_EQ(files(), own);
        EXPECT_TRUE(lib.annotations().checkBookMark(3, diskPdfID)) << "the PDF from disk keeps its bookmark";
        EXPECT_TRUE(lib.annotations().checkBookMark(1, diskEpubID))
            << "the EPUB from disk keeps its bookmark";
        for (const QString &name :
            { QStringLiteral("cardiology-epub3.epub"), QStringLiteral("nursing-notes.pdf") })
            EXPECT_EQ(lib.store().count<BookMetaData>(QStringLiteral("\"fileName\"=?"), { name }), 1)
                << name.toStdString();
    }
};

TEST_F(LoginWindowLogicTest, FirstSignInKeepsEveryBook)
{
    MixedLibrary shelf(library());
    shelf.make();
    ASSERT_FALSE(library().account().currentUserId().has_value());
    ASSERT_TRUE(signIn(QStringLiteral("tanaka"), QStringLiteral("Tanaka-2026")));
    EXPECT_EQ(m_recorder.results.last(), true);
    EXPECT_EQ(MixedLibrary::files(), shelf.all()) << "no account before: nothing is removed";
    EXPECT_EQ(store().count<BookMetaData>(), 5);
}

TEST_F(LoginWindowLogicTest, AnotherAccountRemovesOnlyTheStoreBooksOfThePrevious)
{
    ASSERT_TRUE(signIn(QStringLiteral("tanaka"), QStringLiteral("Tanaka-2026")));
    MixedLibrary shelf(library());
    shelf.make();

    // The same account again keeps the books.
    ASSERT_TRUE(signIn(QStringLiteral("tanaka"), QStringLiteral("Tanaka-2026")));
    EXPECT_EQ(MixedLibrary::files(), shelf.all());
    EXPECT_EQ(store().count<BookMetaData>(), 5);

    ASSERT_TRUE(signIn(QStringLiteral("yamada"), QStringLiteral("Yamada-2026")));
    EXPECT_EQ(m_recorder.results.last(), true);
    shelf.expectOwnBooksKept();
    EXPECT_EQ(store().count<BookMetaData>(), 2) << "the store books' records went with their files";
}

TEST_F(LoginWindowLogicTest, SignUpCaptureAndHandOver)
{
    // Split before decoding: "&", "=" and "+" inside the password survive.
    const QVariantMap form = RegisterWindowLogic::decodeForm(
        "utf8=%E2%9C%93&user%5Busername%5D=new+user&user%5Bpassword%5D=a%26b%3Dc%2Bd+e&empty=");
    EXPECT_EQ(form.value(QStringLiteral("user[username]")).toString(), QStringLiteral("new user"));
    EXPECT_EQ(form.value(QStringLiteral("user[password]")).toString(), QStringLiteral("a&b=c+d e"));

    // The account the page created; then the sheet hands over the data.
    const QByteArray body = "user%5Busername%5D=kimura&user%5Bpassword%5D=p%26ss%3D1%2B2";
    ASSERT_EQ(backend->post(QStringLiteral("/profile/users"), body).status, 302);
    RegisterWindowLogic &sheet = m_logic->registerWindow();
    m_logic->tapRegister();
    EXPECT_EQ(sheet.load(), QUrl(backend->baseUrl() + QStringLiteral("/profile/users/sign_up")));
    sheet.willSendRequest(
        QUrl(backend->baseUrl() + QStringLiteral("/profile/other")), "user%5Busername%5D=x");
    EXPECT_FALSE(sheet.info.has_value()) << "only the form sent to /users is read";
    sheet.willSendRequest(QUrl(backend->baseUrl() + QStringLiteral("/profile/users")), body);
    ASSERT_TRUE(sheet.info.has_value());
    EXPECT_EQ(sheet.info->value(QStringLiteral("pwd")).toString(), QStringLiteral("p&ss=1+2"));

    sheet.didFinishLoading(QUrl(backend->baseUrl() + QStringLiteral("/profile/home/index")));
    sheet.didFinishLoading(QUrl(backend->baseUrl() + QStringLiteral("/profile/home/index")));
    ASSERT_TRUE(waitUntil([&] { return !m_recorder.results.isEmpty(); }));
    settle(300);
    EXPECT_EQ(m_recorder.results, QList<bool> { true }) << "one sign-in however often the page finishes";
    EXPECT_EQ(m_recorder.fieldsId, QStringLiteral("kimura"));
    EXPECT_EQ(m_recorder.registerClosed, 1);
}

} // namespace
