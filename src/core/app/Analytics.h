// Screen views sent to the analytics collector; views that cannot be
// delivered are kept in "lostGAData" (one per second) and resent with their
// queue time when the collector becomes reachable. Every value of a hit is
// percent-encoded, so Japanese screen names arrive intact.
//
// Main thread only; replies arrive on the main thread.
#pragma once

#include <QDateTime>
#include <QNetworkAccessManager>
#include <QString>
#include <QTimer>
#include <functional>

class ServerConfig;

class Analytics
{
public:
    explicit Analytics(const ServerConfig &servers);

    static Analytics &shared();
    static void setShared(Analytics *analytics);

    void sendGoogleAnalyticsWithScreenName(const QString &name) { sendGoogleAnalyticsWithScreenName(name, 0); }
    void sendGoogleAnalyticsWithScreenName(const QString &name, qint64 qt);
    void setLostGADataWithScreenName(const QString &name, const QDateTime &date);
    void sendLostGAData();
    // Whether the collector's host answers now.
    bool isReachable();
    // Watches the collector's host and resends the queue when it answers.
    void setReachableBlock();
    QString googleAnalyticsHost() const;

    // The hit's body.
    QString hitBody(const QString &name, qint64 qt) const;

    // Injected for tests: the clock and the reachability check.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    std::function<bool()> reachable;

private:
    const ServerConfig &m_servers;
    QNetworkAccessManager m_network;
    QTimer m_watch;
    bool m_wasReachable = false;
};
