// StoreManager against the local backend over HTTP.
#include "core/store/StoreManager.h"
#include "core/library/Library.h"
#include "core/platform/ConfigDictionary.h"
#include "core/platform/ServerConfig.h"
#include "core/platform/UserDefaults.h"
#include "core/store/VamoManager.h"
#include "core/util/StringHelpers.h"
#include "support/BackendFixture.h"
#include "support/Wait.h"

#include <QCoreApplication>
#include <QFile>
#include <QTcpServer>
#include <QUrlQuery>
#include <gtest/gtest.h>

namespace
{

struct Answer {
    bool done = false;
    QVariant result;
    std::optional<ApiResponse> response;
    std::optional<ApiError> error;

    ApiCompletion callback()
    {
        return [this](const QVariant &r, const std::optional<ApiResponse> &resp,
                   const std::optional<ApiError> &e) {
            result = r;
            response = resp;
            error = e;
            done = true;
        };
    }
    bool wait()
    {
        return waitUntil([this] { return done; });
    }
};

QString accountLift()
{
    return UserDefaults::stringForKey(QString::fromLatin1(UserDefaults::accountLift)).value_or(QString());
}

class StoreManagerTest : public BackendFixture
{
protected:
    static void SetUpTestSuite()
    {
        BackendFixture::SetUpTestSuite();
        QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    }

    void SetUp() override
    {
        BackendFixture::SetUp();
        m_servers = std::make_unique<ServerConfig>(backend->baseUrl(), QStringLiteral("/nonexistent.ini"));
        m_config = std::make_unique<ConfigDictionary>(m_dir.filePath(QStringLiteral("config.plist")));
        m_vamo = std::make_unique<VamoManager>(*m_servers);
        m_store = std::make_unique<StoreManager>(*m_servers, *m_config, *m_vamo);
    }
    void TearDown() override
    {
        m_vamo->writeToken(std::nullopt);
        BackendFixture::TearDown();
    }

    QString signIn(const QString &login, const QString &password)
    {
        QString token;
        bool done = false;
        m_vamo->login(login, password, [&](const QVariant &result, const std::optional<ApiError> &) {
            token = result.toMap().value(QStringLiteral("access_token")).toString();
            done = true;
        });
        waitUntil([&] { return done; });
        return token;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<ServerConfig> m_servers;
    std::unique_ptr<ConfigDictionary> m_config;
    std::unique_ptr<VamoManager> m_vamo;
    std::unique_ptr<StoreManager> m_store;
};

TEST_F(StoreManagerTest, DeviceIdentifierIsCreatedOnceAndSaved)
{
    const QString uuid = m_store->uuid();
    EXPECT_EQ(uuid.size(), 36);
    EXPECT_EQ(uuid, uuid.toUpper());
    EXPECT_EQ(ConfigDictionary(m_config->file()).value(QStringLiteral("uuid")).toString(), uuid)
        << "saved at once";
    StoreManager again(*m_servers, *m_config, *m_vamo);
    EXPECT_EQ(again.uuid(), uuid);
    QFile::remove(m_config->file());
    ConfigDictionary fresh(m_config->file());
    EXPECT_NE(StoreManager(*m_servers, fresh, *m_vamo).uuid(), uuid)
        << "a deleted config.plist gives a new one";
}

TEST_F(StoreManagerTest, RequestBuildingAndEscaping)
{
    const ApiRequest bare = m_store->makeStoreApiRequest(QStringLiteral("/api/x"), "GET", {}, {});
    EXPECT_EQ(bare.request.url().toString(), backend->baseUrl() + QStringLiteral("/store-api/api/x"));
    EXPECT_EQ(
        m_store->makeStoreApiRequest(QStringLiteral("/api/x"), "DELETE", {}, {}).request.url().toString(),
        bare.request.url().toString());
    const ApiRequest post = m_store->makeStoreApiRequest(QStringLiteral("/api/x"), "POST", {}, {});
    EXPECT_TRUE(post.body.isEmpty());
    EXPECT_FALSE(post.request.url().hasQuery());

    const ApiParams params { { QStringLiteral("v"), QStringLiteral("a b/é") } };
    EXPECT_EQ(m_store->makeStoreApiRequest(QStringLiteral("/p"), "GET", params, {})
                  .request.url()
                  .query(QUrl::FullyEncoded),
        QStringLiteral("v=a%2520b%2F%25C3%25A9"))
        << "escaped twice";
    EXPECT_EQ(m_store->makeStoreWebDeviceRequest(QStringLiteral("/p"), "GET", params, {})
                  .request.url()
                  .query(QUrl::FullyEncoded),
        QStringLiteral("v=a%20b/%C3%A9"))
        << "escaped once";
    // Each builder goes to the server it is named after.
    EXPECT_EQ(m_store->makeStoreApiLoginRequest(QStringLiteral("/p"), "GET", {}, {}).request.url().toString(),
        backend->baseUrl() + QStringLiteral("/store-api/p"));
    EXPECT_EQ(
        m_store->makeStoreWebDeviceRequest(QStringLiteral("/p"), "GET", {}, {}).request.url().toString(),
        backend->baseUrl() + QStringLiteral("/store-web/p"));
    EXPECT_EQ(m_store->makeStoreWebTokenRequest(QStringLiteral("/p"), "GET", {}, {}).request.url().toString(),
        backend->baseUrl() + QStringLiteral("/store-web/p"));
    EXPECT_EQ(m_store->makeStoreApiLoginRequest(QStringLiteral("/p"), "POST", params, {}).body,
        QByteArray("v=a%2520b%2F%25C3%25A9"));
    EXPECT_EQ(
        m_store->makeStoreApiLoginRequest(QStringLiteral("/p"), "POST", {}, {}).request.transferTimeout(),
        10000);
    EXPECT_EQ(
        m_store->makeStoreApiRequest(QStringLiteral("/p"), "POST", {}, {}).request.transferTimeout(), 30000);
}

TEST_F(StoreManagerTest, AnswerHandlingErrorDomains)
{
    backend->setFault(
        { { "path", "/store-api/api/x" }, { "status", 200 }, { "body", "<html>not json</html>" } });
    Answer notJson;
    m_store->requestAPI(QStringLiteral("/api/x"), "GET", {}, {}, notJson.callback());
    ASSERT_TRUE(notJson.wait());
    EXPECT_FALSE(notJson.result.isValid());
    ASSERT_TRUE(notJson.error.has_value());
    EXPECT_EQ(notJson.error->domain, QStringLiteral("HTTPRET"));
    EXPECT_EQ(notJson.error->code, 0);
    EXPECT_EQ(notJson.error->description, QStringLiteral("<html>not json</html>"));

    backend->setFault({ { "path", "/store-api/api/x" }, { "status", 401 }, { "body", "{\"message\":\"no\"}" },
        { "contentType", "application/json" } });
    Answer unauthorized;
    m_store->requestAPI(QStringLiteral("/api/x"), "GET", {}, {}, unauthorized.callback());
    ASSERT_TRUE(unauthorized.wait());
    EXPECT_EQ(unauthorized.result.toMap().value(QStringLiteral("message")).toString(), QStringLiteral("no"))
        << "the result is passed on with the error";
    EXPECT_EQ(unauthorized.error->domain, QStringLiteral("HTTPRET"));
    EXPECT_EQ(unauthorized.error->code, 401);

    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const quint16 port = closed.serverPort();
    closed.close();
    ServerConfig nowhere(QStringLiteral("http://127.0.0.1:%1").arg(port), QStringLiteral("/nonexistent.ini"));
    StoreManager offline(nowhere, *m_config, *m_vamo);
    Answer refused;
    offline.requestAPI(QStringLiteral("/api/x"), "GET", {}, {}, refused.callback());
    ASSERT_TRUE(refused.wait());
    ASSERT_TRUE(refused.error.has_value());
    EXPECT_TRUE(refused.error->transport);
    EXPECT_FALSE(refused.response.has_value());
}

TEST_F(StoreManagerTest, SignInChecksAndAccountLift)
{
    const QString token = signIn(QStringLiteral("yamada"), QStringLiteral("Yamada-2026"));
    ASSERT_FALSE(token.isEmpty());

    UserDefaults::setValue(QString::fromLatin1(UserDefaults::accountLift), QStringLiteral("1"));
    Answer silent;
    m_store->loginWithVamoToken(token, silent.callback());
    ASSERT_TRUE(silent.wait());
    EXPECT_TRUE(silent.result.toMap().value(QStringLiteral("success")).toBool());
    EXPECT_EQ(accountLift(), QStringLiteral("0"));

    // An answer with both "success" and "unitList" lifts the session in the
    // silent check, and leaves it alone after an interactive sign-in.
    const QByteArray lifted = R"({"success":false,"unitList":[],"message":"x"})";
    backend->setFault({ { "path", "/store-api/api/login" }, { "status", 200 },
        { "body", QString::fromUtf8(lifted) }, { "contentType", "application/json" }, { "times", 2 } });
    Answer check;
    m_store->loginWithVamoToken(token, check.callback());
    ASSERT_TRUE(check.wait());
    EXPECT_EQ(accountLift(), QStringLiteral("1"));
    UserDefaults::setValue(QString::fromLatin1(UserDefaults::accountLift), QStringLiteral("0"));
    Answer interactive;
    m_store->login(token, interactive.callback());
    ASSERT_TRUE(interactive.wait());
    EXPECT_EQ(accountLift(), QStringLiteral("0")) << "untouched";

    backend->setFault({ { "path", "/store-api/api/login" }, { "status", 500 }, { "body", "boom" } });
    UserDefaults::setValue(QString::fromLatin1(UserDefaults::accountLift), QStringLiteral("1"));
    Answer failed;
    m_store->loginWithVamoToken(token, failed.callback());
    ASSERT_TRUE(failed.wait());
    EXPECT_TRUE(failed.error.has_value());
    EXPECT_EQ(accountLift(), QStringLiteral("0")) << "an error resets the flag";
}

TEST_F(StoreManagerTest, StoreTokenDeviceReportAndPages)
{
    bool sent = false;
    m_store->getTavroTokenWithVamoToken(std::nullopt, [&](auto &&...) { sent = true; });
    EXPECT_FALSE(m_store->requestForStoreTop(QStringLiteral("v"), QStringLiteral("t"), QStringLiteral("1"))
                     .has_value())
        << "no store token, no page";

    const QString token = signIn(QStringLiteral("yamada"), QStringLiteral("Yamada-2026"));
    m_vamo->writeToken(token);
    Answer login;
    m_store->login(token, login.callback());
    ASSERT_TRUE(login.wait());
    library().account().saveUserInfo(login.result.toMap());

    Answer storeToken;
    m_store->getTavroTokenWithVamoToken(token, storeToken.callback());
    ASSERT_TRUE(storeToken.wait());
    const QByteArray header = storeToken.response->header("token");
    ASSERT_FALSE(header.isEmpty());
    m_store->setToken(QString::fromLatin1(header));
    EXPECT_FALSE(sent) << "nothing was sent without a profile token";

    m_store->setDeviceInfos(library().account().currentUserId());
    ASSERT_TRUE(waitUntil([&] {
        return !backend->get(QStringLiteral("/_control/state"))
                    .json()
                    .toMap()
                    .value(QStringLiteral("unitInfos"))
                    .toList()
                    .isEmpty();
    }));
    const QVariantMap info = backend->get(QStringLiteral("/_control/state"))
                                 .json()
                                 .toMap()
                                 .value(QStringLiteral("unitInfos"))
                                 .toList()
                                 .last()
                                 .toMap();
    EXPECT_EQ(info.value(QStringLiteral("unitInfo")).toString(), StoreManager::deviceInfos());
    EXPECT_EQ(info.value(QStringLiteral("userId")).toString(), QStringLiteral("1"));
    EXPECT_EQ(info.value(QStringLiteral("tavroVersion")).toString(), QStringLiteral("1.0.0"));

    const auto top = m_store->requestForStoreTop(token, m_store->token(), std::nullopt);
    ASSERT_TRUE(top.has_value());
    EXPECT_EQ(top->method, QByteArray("POST"));
    EXPECT_EQ(top->request.rawHeader("X-Tavro-Uid"), m_store->uuid().toUtf8());
    EXPECT_EQ(top->request.rawHeader("appVersion"), QByteArray("1.0.0"));
    EXPECT_TRUE(top->body.endsWith("&tavro_id=")) << "an empty id when there is none";
    const HttpReply page = backend->post(top->request.url().toString(), top->body,
        { { "X-Tavro-Uid", top->request.rawHeader("X-Tavro-Uid") },
            { "Authorization", top->request.rawHeader("Authorization") }, { "appVersion", "1.0.0" } });
    EXPECT_EQ(page.status, 200) << page.body.toStdString();
    EXPECT_TRUE(m_store->requestForMyMenu(token, m_store->token(), QStringLiteral("1"))
                    ->request.url()
                    .path()
                    .endsWith(QStringLiteral("/store/mypage/index.php")));
    EXPECT_TRUE(m_store->requestForDLHis(token, m_store->token(), QStringLiteral("1"))
                    ->request.url()
                    .path()
                    .endsWith(QStringLiteral("/store/acquired_list.php")));

    m_store->logout();
    EXPECT_FALSE(m_vamo->token().has_value()) << "logging out removes the sign-in everywhere";
    EXPECT_FALSE(m_store->token().has_value()) << "and the store token made with it";
}

} // namespace
