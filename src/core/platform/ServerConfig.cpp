#include "ServerConfig.h"

#include <QSettings>
#include <QStandardPaths>

#ifndef TAVRO_SERVER_URL
#define TAVRO_SERVER_URL "http://127.0.0.1:8642"
#endif

static constexpr ServerConfig::Endpoint kAll[] = {
    ServerConfig::Endpoint::StoreApi,
    ServerConfig::Endpoint::StoreWeb,
    ServerConfig::Endpoint::Profile,
    ServerConfig::Endpoint::Sync,
    ServerConfig::Endpoint::NewsRpc,
    ServerConfig::Endpoint::Files,
    ServerConfig::Endpoint::Analytics,
};

ServerConfig ServerConfig::installed(const QString &overridesFile)
{
    return ServerConfig(QString::fromUtf8(TAVRO_SERVER_URL),
        overridesFile.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                + QStringLiteral("/Tavro/servers.ini")
                                : overridesFile);
}

QString ServerConfig::key(Endpoint endpoint)
{
    switch (endpoint) {
    case Endpoint::StoreApi:
        return QStringLiteral("storeApi");
    case Endpoint::StoreWeb:
        return QStringLiteral("storeWeb");
    case Endpoint::Profile:
        return QStringLiteral("profile");
    case Endpoint::Sync:
        return QStringLiteral("sync");
    case Endpoint::NewsRpc:
        return QStringLiteral("newsRpc");
    case Endpoint::Files:
        return QStringLiteral("files");
    case Endpoint::Analytics:
        return QStringLiteral("analytics");
    }
    return {};
}

QString ServerConfig::defaultPrefix(Endpoint endpoint)
{
    switch (endpoint) {
    case Endpoint::StoreApi:
        return QStringLiteral("/store-api");
    case Endpoint::StoreWeb:
        return QStringLiteral("/store-web");
    case Endpoint::Profile:
        return QStringLiteral("/profile");
    case Endpoint::Sync:
        return QStringLiteral("/sync");
    case Endpoint::NewsRpc:
        return QStringLiteral("/news-rpc");
    case Endpoint::Files:
        return QStringLiteral("/files");
    case Endpoint::Analytics:
        return QStringLiteral("/analytics");
    }
    return {};
}

static QString withoutTrailingSlash(QString s)
{
    while (s.endsWith(u'/'))
        s.chop(1);
    return s;
}

ServerConfig::ServerConfig(const QString &serverUrl, const QString &overridesFile)
{
    QSettings overrides(overridesFile, QSettings::IniFormat);
    auto credential = [&](const char *key, const char *fallback) {
        return overrides
            .value(QStringLiteral("credentials/") + QLatin1String(key), QString::fromUtf8(fallback))
            .toString();
    };
    // The local backend's seed (src/server/seed.json).
    clientId = credential("clientId", "6f1c2e9a4b7d8e3f0a5c6b7d8e9f0a1b2c3d4e5f6a7b8c9d0e1f2a3b4c5d6e7f");
    clientSecret
        = credential("clientSecret", "9e8d7c6b5a4f3e2d1c0b9a8f7e6d5c4b3a2f1e0d9c8b7a6f5e4d3c2b1a0f9e8d");
    newsCid = credential("newsCid", "tavro_news");
    newsPwd = credential("newsPwd", "N3wsPa55");
    serviceEmail = credential("serviceEmail", "articles@tavro.example");
    servicePassword = credential("servicePassword", "wicread26");
    trackingId = credential("trackingId", "UA-000000-1");
    for (Endpoint e : kAll) {
        const QString fallback = withoutTrailingSlash(serverUrl) + defaultPrefix(e);
        m_base[int(e)]
            = withoutTrailingSlash(overrides.value(QStringLiteral("servers/") + key(e), fallback).toString());
    }
}

QString ServerConfig::baseUrl(Endpoint endpoint) const
{
    return m_base[int(endpoint)];
}

QUrl ServerConfig::url(Endpoint endpoint, const QString &path) const
{
    return QUrl(baseUrl(endpoint) + path);
}
