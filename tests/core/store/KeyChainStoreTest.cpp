// Runs twice under CTest: inside a D-Bus session with the GNOME keyring (the
// real Secret Service), and with no session bus (the owner-only file).
#include "core/store/KeyChainStore.h"
#include "core/store/SecretFileStore.h"

#include <QFileInfo>
#include <QUuid>
#include <gtest/gtest.h>

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

} // namespace
