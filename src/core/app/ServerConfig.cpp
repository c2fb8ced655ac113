#include "ServerConfig.h"

#include <QSettings>
#include <QStandardPaths>

#ifndef TAVRO_SERVER_URL
#define TAVRO_SERVER_URL "http://127.0.0.1:8642"
#endif

static constexpr ServerConfig::Endpoint kAll[] = {
    ServerConfig::Endpoint::StoreApi, ServerConfig::Endpoint::StoreWeb, ServerConfig::Endpoint::Profile,
    ServerConfig::Endpoint::Sync,     ServerConfig::Endpoint::NewsRpc,  ServerConfig::Endpoint::Files,
    ServerConfig::Endpoint::Analytics,
};

const ServerConfig &ServerConfig::shared()
{
    static const ServerConfig config(
        QString::fromUtf8(TAVRO_SERVER_URL),
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
            + QStringLiteral("/Tavro/servers.ini"));
    return config;
}

QString ServerConfig::key(Endpoint endpoint)
{
    switch (endpoint) {
    case Endpoint::StoreApi: return QStringLiteral("storeApi");
    case Endpoint::StoreWeb: return QStringLiteral("storeWeb");
    case Endpoint::Profile: return QStringLiteral("profile");
    case Endpoint::Sync: return QStringLiteral("sync");
    case Endpoint::NewsRpc: return QStringLiteral("newsRpc");
    case Endpoint::Files: return QStringLiteral("files");
    case Endpoint::Analytics: return QStringLiteral("analytics");
    }
    return {};
}

QString ServerConfig::defaultPrefix(Endpoint endpoint)
{
    switch (endpoint) {
    case Endpoint::StoreApi: return QStringLiteral("/store-api");
    case Endpoint::StoreWeb: return QStringLiteral("/store-web");
    case Endpoint::Profile: return QStringLiteral("/profile");
    case Endpoint::Sync: return QStringLiteral("/sync");
    case Endpoint::NewsRpc: return QStringLiteral("/news-rpc");
    case Endpoint::Files: return QStringLiteral("/files");
    case Endpoint::Analytics: return QStringLiteral("/analytics");
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
    for (Endpoint e : kAll) {
        const QString fallback = withoutTrailingSlash(serverUrl) + defaultPrefix(e);
        m_base[int(e)] = withoutTrailingSlash(
            overrides.value(QStringLiteral("servers/") + key(e), fallback).toString());
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
