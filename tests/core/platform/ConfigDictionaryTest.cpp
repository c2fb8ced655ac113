#include "core/platform/ConfigDictionary.h"
#include "core/platform/DataFolder.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace
{

TEST(ConfigDictionary, LivesInTheDataFolderUnderHome)
{
    EXPECT_EQ(DataFolder::path(), QDir::homePath() + QStringLiteral("/.data"));
    EXPECT_EQ(DataFolder::configFile(), QDir::homePath() + QStringLiteral("/.data/config.plist"));
    EXPECT_EQ(ConfigDictionary(DataFolder::configFile()).file(), DataFolder::configFile());
    ASSERT_TRUE(DataFolder::createContentsFolder());
    EXPECT_TRUE(QDir(DataFolder::contentsFolder()).exists());
}

TEST(ConfigDictionary, MissingOrUnreadableFileGivesEmptyDictionary)
{
    const QString path = QDir::homePath() + QStringLiteral("/cfg-test/config.plist");
    ConfigDictionary missing(path);
    EXPECT_TRUE(missing.values().isEmpty());

    QDir().mkpath(QDir::homePath() + QStringLiteral("/cfg-test"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\x89garbage<plist");
    f.close();
    ConfigDictionary garbage(path);
    EXPECT_TRUE(garbage.values().isEmpty());
}

TEST(ConfigDictionary, SavedWholeAndReadBack)
{
    const QString path = QDir::homePath() + QStringLiteral("/cfg-new/sub/config.plist");
    ConfigDictionary config(path);
    config.setValue(QStringLiteral("uuid"), QStringLiteral("ABC"));
    config.setValue(QStringLiteral("r_split"), 0.4);
    ASSERT_TRUE(config.save()) << "missing folders are created";

    ConfigDictionary again(path);
    EXPECT_EQ(again.value(QStringLiteral("uuid")).toString(), QStringLiteral("ABC"));
    EXPECT_DOUBLE_EQ(again.value(QStringLiteral("r_split")).toDouble(), 0.4);

    again.remove(QStringLiteral("r_split"));
    ASSERT_TRUE(again.save());
    config.load();
    EXPECT_FALSE(config.value(QStringLiteral("r_split")).isValid()) << "written back whole";
}

} // namespace

#include "core/platform/ServerConfig.h"

#include <QSettings>

namespace
{

TEST(ServerConfig, DefaultsAndOverrides)
{
    const QString ini = QDir::homePath() + QStringLiteral("/servers-test.ini");
    {
        QSettings s(ini, QSettings::IniFormat);
        s.setValue(QStringLiteral("servers/storeApi"), QStringLiteral("https://store.example.com/"));
    }
    const ServerConfig config(QStringLiteral("http://127.0.0.1:9000/"), ini);
    EXPECT_EQ(config.baseUrl(ServerConfig::Endpoint::StoreApi), QStringLiteral("https://store.example.com"));
    EXPECT_EQ(config.baseUrl(ServerConfig::Endpoint::Sync), QStringLiteral("http://127.0.0.1:9000/sync"));
    EXPECT_EQ(config.url(ServerConfig::Endpoint::Files, QStringLiteral("/coffee.html")).toString(),
        QStringLiteral("http://127.0.0.1:9000/files/coffee.html"));
    EXPECT_EQ(ServerConfig::installed().baseUrl(ServerConfig::Endpoint::NewsRpc),
        QStringLiteral("http://127.0.0.1:8642/news-rpc"));
    EXPECT_EQ(ServerConfig::installed(ini).baseUrl(ServerConfig::Endpoint::StoreApi),
        QStringLiteral("https://store.example.com"));
}

} // namespace

#include <QJsonDocument>

namespace
{

// The client's built-in credentials are those the local backend is seeded
// with, so `make run` works with no configuration.
TEST(ServerConfig, DefaultsMatchTheBackendSeed)
{
    QFile seed(QStringLiteral(TAVRO_BACKEND_SEED_FILE));
    ASSERT_TRUE(seed.open(QIODevice::ReadOnly));
    const QVariantMap m = QJsonDocument::fromJson(seed.readAll()).toVariant().toMap();
    const ServerConfig c(QStringLiteral("http://127.0.0.1:8642"), QStringLiteral("/nonexistent.ini"));
    const std::pair<QString, const char *> cases[] = {
        { c.clientId, "clientId" },
        { c.clientSecret, "clientSecret" },
        { c.newsCid, "newsCid" },
        { c.newsPwd, "newsPwd" },
        { c.serviceEmail, "serviceEmail" },
        { c.servicePassword, "servicePassword" },
        { c.trackingId, "trackingId" },
    };
    for (const auto &[value, key] : cases)
        EXPECT_EQ(value, m.value(QLatin1String(key)).toString()) << key;
}

} // namespace
