// The update manifest ("update", "notification") and the decisions of the
// update and notice windows. The windows only show what these say.
// Main thread only.
#pragma once

#include <QDateTime>
#include <QNetworkAccessManager>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <optional>

class ServerConfig;

class UpdateCheck
{
public:
    explicit UpdateCheck(const ServerConfig &servers);

    // Fetches the manifest, bypassing any cache. `done` gets the manifest
    // object, or absent on an error, a status other than 200 or bad JSON
    // (logged as "JSON_PerseError:…"); `notAnObject` is set for JSON that is
    // not an object (the window then stays invisible).
    void checkUpdate(std::function<void(std::optional<QVariantMap> manifest, bool notAnObject)> done);

    // <0, 0, >0 as `a` is older than, equal to, newer than `b`; runs of
    // digits compare as numbers (1.10 is newer than 1.9).
    static int compareVersions(const QString &a, const QString &b);
    // The "update" object when it is newer than `appVersion`.
    static std::optional<QVariantMap> updateToShow(const QVariantMap &manifest, const QString &appVersion);
    // True strictly after `start` and strictly before `end` ("yyyy/MM/dd
    // HH:mm", local time); false when either does not parse.
    static bool validateWithStartTime(const QString &start, const QString &end, const QDateTime &now);
    // The "notification" object when it is due and newer than the version
    // the user closed ("mac_notification", -1 when absent).
    static std::optional<QVariantMap> noticeToShow(const QVariantMap &manifest, const QDateTime &now);
    static qint64 storedNoticeVersion();
    // The user closed notice `version`: it is not shown again.
    static void noticeClosed(qint64 version);

private:
    const ServerConfig &m_servers;
    QNetworkAccessManager m_network;
};
