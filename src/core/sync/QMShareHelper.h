// Exchanges bookmarks, highlights and memos with the annotation sync
// server: uploads what changed since the last successful upload, and
// downloads one book's annotations when it is opened.
//
// Nothing local is lost: request bodies are percent-encoded form values; a
// failed upload changes nothing; a deletion leaves the library only after
// the server has received it; a download keeps local highlights and memos
// and every annotation not uploaded yet.
//
// Main thread only; replies are handled on the main thread.
#pragma once

#include <QDateTime>
#include <QNetworkAccessManager>
#include <QString>
#include <QVariantMap>
#include <functional>

class ServerConfig;
class VamoManager;

class QMShareHelper
{
public:
    static constexpr const char *kSyncDone = "SyncDone";

    QMShareHelper(const ServerConfig &servers, VamoManager &vamo);

    static QMShareHelper &shared();
    static void setShared(QMShareHelper *helper);

    // Uploads every change since the last successful upload (deletions
    // always). `done` (optional) learns whether the server took them.
    void syscBookMark(bool isPdf, std::function<void(bool)> done = {});
    // Downloads the book's annotations and merges them; posts "SyncDone"
    // when a reply was stored. `done` (optional) learns whether it was.
    void getMyBookAll(
        const QString &bookId, const QString &user, bool isPdf, std::function<void(bool)> done = {});
    // Reading logs are not uploaded.
    static void syscAccessLog() { }

    // A download "updateDate": milliseconds in the server's local-time
    // convention, as a point in time.
    static QDateTime initNsDateFromUTCLong(qint64 milliseconds);

private:
    bool signInCheck();
    void storeDownload(const QString &bookId, bool isPdf, const QVariantMap &reply);

    const ServerConfig &m_servers;
    VamoManager &m_vamo;
    QNetworkAccessManager m_network;
};
