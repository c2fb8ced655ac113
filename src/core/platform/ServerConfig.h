// Base URLs of the servers the client talks to.
//
// Each endpoint kind has its own base URL. The defaults are fixed at build
// time (CMake cache variable TAVRO_SERVER_URL, default
// http://127.0.0.1:8642, the local publisher backend) with one path prefix
// per kind. A deployment overrides any of them in
// "$XDG_CONFIG_HOME/Tavro/servers.ini" (~/.config/Tavro/servers.ini):
//
//   [servers]
//   storeApi=https://store.example.com
//   storeWeb=https://www.example.com
//
// The fixed client credentials (profile client id and secret, news login,
// news service account, analytics tracking id) default to those of the local
// backend's seed and are overridden the same way under [credentials]
// (clientId, clientSecret, newsCid, newsPwd, serviceEmail,
// servicePassword, trackingId).
//
// Made once by the start-up (installed()) and handed down by const
// reference; a const object may be read from any thread.
#pragma once

#include <QString>
#include <QUrl>

class ServerConfig
{
public:
    enum class Endpoint { StoreApi, StoreWeb, Profile, Sync, NewsRpc, Files, Analytics };

    // The configuration of this build: the built-in server URL with the
    // overrides of `overridesFile` (`tavro --config FILE`), or of
    // "$XDG_CONFIG_HOME/Tavro/servers.ini" when that is empty. A missing or
    // unreadable file leaves the defaults.
    static ServerConfig installed(const QString &overridesFile = QString());

    // The base URL of an endpoint kind, without a trailing "/".
    QString baseUrl(Endpoint endpoint) const;
    // baseUrl(endpoint) + path; `path` starts with "/".
    QUrl url(Endpoint endpoint, const QString &path) const;

    // The key of an endpoint in servers.ini and its default path prefix.
    static QString key(Endpoint endpoint);
    static QString defaultPrefix(Endpoint endpoint);

    // Loads the defaults for `serverUrl` and the overrides of the INI file at
    // `overridesFile` (which may be missing).
    ServerConfig(const QString &serverUrl, const QString &overridesFile);

    QString clientId;
    QString clientSecret;
    QString newsCid;
    QString newsPwd;
    QString serviceEmail;
    QString servicePassword;
    QString trackingId;

    // The update manifest, the information file and the coffee-break page.
    QUrl updateManifestUrl() const
    {
        return url(Endpoint::Files, QStringLiteral("/tavro/update/mac/update.json"));
    }
    QUrl informationFileUrl() const
    {
        return url(Endpoint::Files, QStringLiteral("/medicalInformation.json"));
    }
    QUrl coffeeBreakUrl() const { return url(Endpoint::Files, QStringLiteral("/coffee.html")); }
    QUrl analyticsCollectUrl() const { return url(Endpoint::Analytics, QStringLiteral("/collect")); }

private:
    QString m_base[7];
};
