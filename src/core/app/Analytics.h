// Screen views sent to the analytics collector; views that cannot be
// delivered are kept in "lostGAData" (one per second) and resent with their
// queue time when the collector becomes reachable. Every value of a hit is
// percent-encoded, so Japanese screen names arrive intact.
//
// Nothing here waits for the network. Whether the collector is reachable is
// a remembered state, learnt from short non-blocking connection probes and
// from the outcome of each hit: a hit goes out unless the collector is known
// to be unreachable, and is remembered when it fails; while the collector is
// known to be unreachable a hit is remembered at once and a probe goes out,
// and the queue is resent as soon as a probe or a hit finds the collector
// again.
//
// Main thread only; replies and probe results arrive on the main thread.
#pragma once

#include <QDateTime>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>

class ConfigDictionary;
class QTcpSocket;
class ServerConfig;

class Analytics
{
public:
    // `servers` and `config` (whose "uuid" is the client id of every hit,
    // read when the hit is made) must outlive this object.
    Analytics(const ServerConfig &servers, const ConfigDictionary &config);
    ~Analytics();

    void sendGoogleAnalyticsWithScreenName(const QString &name)
    {
        sendGoogleAnalyticsWithScreenName(name, 0);
    }
    void sendGoogleAnalyticsWithScreenName(const QString &name, qint64 qt);
    void setLostGADataWithScreenName(const QString &name, const QDateTime &date);
    // Resends the remembered views when the collector is known to be
    // reachable; otherwise leaves them for the next time it is found.
    void sendLostGAData();
    // Whether the collector was reachable when last seen (false before
    // anything is known). Returns at once; when nothing is known yet or the
    // collector was unreachable, a probe goes out and its result updates the
    // state (and resends the queue when the collector is found).
    bool isReachable();
    // Watches the collector's host: a probe at once and every
    // watchIntervalMs; the queue is resent whenever the collector turns
    // reachable.
    void setReachableBlock();
    QString googleAnalyticsHost() const;

    // The hit's body.
    QString hitBody(const QString &name, qint64 qt) const;

    // Injected for tests: the clock and the reachability check (which then
    // replaces the remembered state and the probes).
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    std::function<bool()> reachable;
    // How often setReachableBlock() probes. A probe gives up after 3 s and a
    // hit after 30 s (both scaled by apiTimeoutScale()).
    int watchIntervalMs = 30000;

    // Probes started so far (for tests).
    int probes() const { return m_probes; }

private:
    enum class Reachability { Unknown, Reachable, Unreachable };
    void probe();
    void probeFinished(bool up);
    void learn(bool up);

    const ServerConfig &m_servers;
    const ConfigDictionary &m_config;
    QNetworkAccessManager m_network;
    QTimer m_watch;
    QTimer m_probeTimer;
    QPointer<QTcpSocket> m_probe;
    Reachability m_state = Reachability::Unknown;
    int m_probes = 0;
};
