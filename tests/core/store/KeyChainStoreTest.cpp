// Runs twice under CTest: inside a D-Bus session with the GNOME keyring (the
// real Secret Service), and with no session bus (the owner-only file).
#include "core/store/KeyChainStore.h"
#include "core/store/SecretFileStore.h"

#include <QFileInfo>
#include <QUuid>
#include <gtest/gtest.h>
#include <qt6keychain/keychain.h>

namespace
{

QString freshService()
{
    return QStringLiteral("jp.tavro.test.") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

TEST(KeyChainStore, UsesTheExpectedBackend)
{
    KeyChainStore store(freshService());
    ASSERT_TRUE(store.writeToken(QStringLiteral("probe")));
    const bool expectSecretService = qEnvironmentVariableIsSet("TAVRO_EXPECT_SECRET_SERVICE");
    EXPECT_EQ(KeyChainStore::usingFallback(), !expectSecretService);
    if (KeyChainStore::usingFallback()) {
        const QFileInfo file(SecretFileStore().path());
        ASSERT_TRUE(file.exists());
        EXPECT_EQ(file.permissions()
                & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup
                    | QFileDevice::WriteOther),
            QFileDevice::Permissions())
            << "readable by its owner only";
    }
    store.removeAllItems();
}

TEST(KeyChainStore, TokenLifecycle)
{
    const QString service = freshService();
    KeyChainStore a(service);
    EXPECT_FALSE(a.token().has_value());
    ASSERT_TRUE(a.writeToken(QStringLiteral("トークン-ü-1")));
    EXPECT_EQ(KeyChainStore(service).stringForKey(QStringLiteral("token")), QStringLiteral("トークン-ü-1"))
        << "stored as UTF-8 and read back unchanged";
    ASSERT_TRUE(a.writeToken(QStringLiteral("second")));
    EXPECT_EQ(KeyChainStore(service).dataForKey(QStringLiteral("token")), QByteArray("second"))
        << "updated in place";

    // One instance removes the token: every other instance sees it gone.
    KeyChainStore b(service);
    EXPECT_EQ(b.token(), QStringLiteral("second"));
    ASSERT_TRUE(a.writeToken(std::nullopt));
    EXPECT_FALSE(b.token().has_value());
    EXPECT_FALSE(KeyChainStore(service).dataForKey(QStringLiteral("token")).has_value());
}

TEST(KeyChainStore, KeysAndRemoval)
{
    KeyChainStore store(freshService());
    EXPECT_TRUE(store.removeItemForKey(QStringLiteral("never-stored")));
    EXPECT_FALSE(store.removeItemForKey(QString()));
    EXPECT_FALSE(store.setData(QByteArray("x"), QString()));
    EXPECT_FALSE(store.dataForKey(QString()).has_value());
    ASSERT_TRUE(store.setString(QStringLiteral("1"), QStringLiteral("a")));
    ASSERT_TRUE(store.setData(QByteArray("\x00\xff", 2), QStringLiteral("b")));
    EXPECT_EQ(store.dataForKey(QStringLiteral("b")), QByteArray("\x00\xff", 2));
    ASSERT_TRUE(store.setString(std::nullopt, QStringLiteral("a")));
    EXPECT_FALSE(store.stringForKey(QStringLiteral("a")).has_value());
    ASSERT_TRUE(store.removeAllItems());
    EXPECT_FALSE(store.dataForKey(QStringLiteral("b")).has_value());

    KeyChainStore app;
    EXPECT_EQ(app.identifier(), QStringLiteral("jp.tavro.Tavro"))
        << "the application's identifier by default";
}

// The keyring out of reach for one step (a write or a look-up) and back for
// the other, with a new start of the program in between.
struct KeyringOutage {
    const char *name;
    QKeychain::Error error;
};
const KeyringOutage kOutages[] = {
    { "no Secret Service", QKeychain::NoBackendAvailable },
    { "prompt cancelled", QKeychain::AccessDeniedByUser },
    { "keyring locked", QKeychain::AccessDenied },
};

class KeyringOutageTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        KeyChainStore::simulateSecretServiceErrorForTesting(std::nullopt);
        KeyChainStore::forgetSessionForTesting();
    }
    static void newStart(std::optional<QKeychain::Error> outage)
    {
        KeyChainStore::forgetSessionForTesting();
        KeyChainStore::simulateSecretServiceErrorForTesting(
            outage ? std::optional<int>(*outage) : std::nullopt);
    }
};

TEST_F(KeyringOutageTest, ATokenWrittenToTheFileIsReadAtTheNextStart)
{
    for (const KeyringOutage &o : kOutages) {
        const QString service = freshService();
        newStart(o.error);
        ASSERT_TRUE(KeyChainStore(service).writeToken(QStringLiteral("from-the-file"))) << o.name;
        for (const bool keyringBack : { true, false }) {
            newStart(keyringBack ? std::nullopt : std::optional(o.error));
            KeyChainStore store(service);
            EXPECT_EQ(store.token(), QStringLiteral("from-the-file"))
                << o.name << ", keyring back " << keyringBack;
            EXPECT_FALSE(store.tokenUnreadable()) << o.name;
        }

        // A new token once the keyring is back replaces the file's copy.
        newStart(std::nullopt);
        ASSERT_TRUE(KeyChainStore(service).writeToken(QStringLiteral("newer")));
        newStart(std::nullopt);
        EXPECT_EQ(KeyChainStore(service).token(), QStringLiteral("newer")) << o.name;

        // Signing out while the keyring is away is final all the same.
        newStart(o.error);
        ASSERT_TRUE(KeyChainStore(service).writeToken(std::nullopt)) << o.name;
        newStart(std::nullopt);
        KeyChainStore after(service);
        EXPECT_FALSE(after.token().has_value()) << o.name << ": signed out stays signed out";
        EXPECT_FALSE(after.tokenUnreadable()) << o.name;
    }
}

TEST_F(KeyringOutageTest, ATokenInTheKeyringIsNotTakenForSignedOutWhileTheKeyringIsAway)
{
    if (!qEnvironmentVariableIsSet("TAVRO_EXPECT_SECRET_SERVICE"))
        GTEST_SKIP() << "needs the Secret Service";
    for (const KeyringOutage &o : kOutages) {
        const QString service = freshService();
        newStart(std::nullopt);
        ASSERT_TRUE(KeyChainStore(service).writeToken(QStringLiteral("in-the-keyring"))) << o.name;
        ASSERT_FALSE(SecretFileStore().read(service, QStringLiteral("token")).has_value())
            << o.name << ": the file holds no copy while the keyring takes it";

        newStart(o.error);
        KeyChainStore away(service);
        EXPECT_FALSE(away.token().has_value()) << o.name;
        EXPECT_TRUE(away.tokenUnreadable()) << o.name << ": not found is not the same as signed out";

        newStart(std::nullopt);
        KeyChainStore back(service);
        EXPECT_EQ(back.token(), QStringLiteral("in-the-keyring")) << o.name;
        EXPECT_FALSE(back.tokenUnreadable()) << o.name;
        back.removeAllItems();
    }
    // Never stored: absent, and nothing to read.
    newStart(QKeychain::AccessDeniedByUser);
    EXPECT_FALSE(KeyChainStore(freshService()).tokenUnreadable());
}

} // namespace
