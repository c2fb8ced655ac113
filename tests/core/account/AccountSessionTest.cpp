// The account session's token state machine against the local backend,
// without a window: the sheets are a recording stand-in.
#include "core/account/AccountSession.h"
#include "core/platform/ConfigDictionary.h"
#include "core/platform/ServerConfig.h"
#include "core/platform/UserDefaults.h"
#include "core/store/KeyChainStore.h"
#include "core/store/SecretFileStore.h"
#include "core/store/StoreManager.h"
#include "core/store/VamoManager.h"
#include "support/BackendFixture.h"
#include "support/Wait.h"

#include <QDir>
#include <gtest/gtest.h>
#include <qt6keychain/keychain.h>

namespace
{

class Sheets : public AccountSessionUi
{
public:
    int loginSheets = 0;
    int warnings = 0;
    int topRefreshes = 0;
    void presentLoginSheet() override { ++loginSheets; }
    void showLiftedWarning() override { ++warnings; }
    void refreshTopIfShown() override { ++topRefreshes; }
    void refreshTop() override { ++topRefreshes; }
};

class AccountSessionTest : public BackendFixture
{
protected:
    void SetUp() override
    {
        BackendFixture::SetUp();
        UserDefaults::remove(QString::fromLatin1(UserDefaults::accountLift));
        m_servers = std::make_unique<ServerConfig>(backend->baseUrl(), QStringLiteral("/nonexistent.ini"));
        m_config
            = std::make_unique<ConfigDictionary>(QDir::homePath() + QStringLiteral("/account-config.plist"));
        m_vamo = std::make_unique<VamoManager>(*m_servers);
        m_store = std::make_unique<StoreManager>(*m_servers, *m_config, *m_vamo);
        m_session = std::make_unique<AccountSession>(library().account(), *m_store, *m_vamo, m_sheets);
    }
    void TearDown() override
    {
        m_vamo->writeToken(std::nullopt);
        UserDefaults::remove(QString::fromLatin1(UserDefaults::accountLift));
        BackendFixture::TearDown();
    }

    std::unique_ptr<ServerConfig> m_servers;
    std::unique_ptr<ConfigDictionary> m_config;
    std::unique_ptr<VamoManager> m_vamo;
    std::unique_ptr<StoreManager> m_store;
    Sheets m_sheets;
    std::unique_ptr<AccountSession> m_session;
};

TEST(AccountLift, OneRuleForTheStoredValue)
{
    const struct {
        const char *stored; // nullptr: absent
        bool lifted;
    } cases[] = { { nullptr, false }, { "0", false }, { "1", true }, { "yes", true } };
    for (const auto &c : cases) {
        if (c.stored)
            UserDefaults::setValue(
                QString::fromLatin1(UserDefaults::accountLift), QString::fromLatin1(c.stored));
        else
            UserDefaults::remove(QString::fromLatin1(UserDefaults::accountLift));
        EXPECT_EQ(AccountSession::isLifted(), c.lifted) << (c.stored ? c.stored : "absent");
    }
    AccountSession::setLifted(false);
    EXPECT_EQ(
        UserDefaults::stringForKey(QString::fromLatin1(UserDefaults::accountLift)), QStringLiteral("0"));
    UserDefaults::remove(QString::fromLatin1(UserDefaults::accountLift));
}

TEST_F(AccountSessionTest, TakeTokenWithoutATokenAsksForASignIn)
{
    std::optional<bool> result;
    m_session->takeToken([&](bool ok) { result = ok; });
    EXPECT_EQ(m_sheets.loginSheets, 1);
    EXPECT_TRUE(m_session->hasPendingTokenRequest());
    // The sheet is cancelled.
    m_session->didLoginWindow(false);
    EXPECT_EQ(result, false);
    EXPECT_FALSE(m_session->hasPendingTokenRequest());
}

TEST_F(AccountSessionTest, TakeTokenWithAStoredTokenChecksSilently)
{
    m_vamo->writeToken(accessToken(QStringLiteral("yamada"), QStringLiteral("Yamada-2026")));
    std::optional<bool> result;
    m_session->takeToken([&](bool ok) { result = ok; });
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    EXPECT_TRUE(*result);
    EXPECT_EQ(m_sheets.loginSheets, 0);
    EXPECT_EQ(m_sheets.topRefreshes, 1);

    // A lifted account never uses its stored token: the sheet, at once.
    AccountSession::setLifted(true);
    result.reset();
    m_session->takeToken([&](bool ok) { result = ok; });
    EXPECT_EQ(m_sheets.loginSheets, 1);
    EXPECT_FALSE(m_vamo->token().has_value());
}

TEST_F(AccountSessionTest, StartUpCheckWithoutATokenLiftsTheAccount)
{
    m_session->checkToken();
    EXPECT_TRUE(AccountSession::isLifted());
    EXPECT_EQ(m_sheets.warnings, 1);
}

// The token is in the Secret Service, whose prompt is cancelled at this
// start: the device was not released, so nothing says it was.
TEST_F(AccountSessionTest, StartUpCheckWithAnUnreadableKeyringLiftsNothing)
{
    ASSERT_TRUE(m_vamo->writeToken(accessToken(QStringLiteral("yamada"), QStringLiteral("Yamada-2026"))));
    SecretFileStore().remove(KeyChainStore().identifier(), QStringLiteral("token"));
    KeyChainStore::forgetSessionForTesting();
    KeyChainStore::simulateSecretServiceErrorForTesting(QKeychain::AccessDeniedByUser);
    m_session->checkToken();
    KeyChainStore::simulateSecretServiceErrorForTesting(std::nullopt);
    KeyChainStore::forgetSessionForTesting();
    EXPECT_FALSE(AccountSession::isLifted());
    EXPECT_EQ(m_sheets.warnings, 0);
}

TEST_F(AccountSessionTest, StoreTokenIsFetchedForTheProfileToken)
{
    bool done = false;
    m_session->fetchStoreToken([&] { done = true; });
    settle(100);
    EXPECT_FALSE(done) << "nothing is sent without a profile token";

    m_vamo->writeToken(accessToken(QStringLiteral("sato"), QStringLiteral("Sato-2026")));
    m_session->fetchStoreToken([&] { done = true; });
    ASSERT_TRUE(waitUntil([&] { return done; }));
    EXPECT_TRUE(m_store->token().has_value());
}

} // namespace
