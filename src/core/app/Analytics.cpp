#include "Analytics.h"

#include "core/platform/ConfigDictionary.h"
#include "core/platform/ServerConfig.h"
#include "core/platform/UserDefaults.h"
#include "core/store/ApiRequest.h"
#include "core/util/Logging.h"
#include "core/util/StringHelpers.h"

#include <QCoreApplication>
#include <QNetworkReply>
#include <QTcpSocket>

namespace
{
const QString kLost = QStringLiteral("lostGAData");
const QString kFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
} // namespace

Analytics::Analytics(const ServerConfig &servers, const ConfigDictionary &config)
    : m_servers(servers)
    , m_config(config)
{
    m_probeTimer.setSingleShot(true);
    QObject::connect(&m_probeTimer, &QTimer::timeout, &m_probeTimer, [this] { probeFinished(false); });
}

Analytics::~Analytics()
{
    delete m_probe.data();
}

QString Analytics::googleAnalyticsHost() const
{
    return m_servers.analyticsCollectUrl().host();
}

bool Analytics::isReachable()
{
    if (reachable)
        return reachable();
    if (m_state != Reachability::Reachable)
        probe();
    return m_state == Reachability::Reachable;
}

// A connection attempt that never blocks: its outcome (or the time-out)
// arrives through the event loop. One at a time.
void Analytics::probe()
{
    if (reachable) {
        learn(reachable());
        return;
    }
    if (m_probe)
        return;
    const QUrl url = m_servers.analyticsCollectUrl();
    ++m_probes;
    auto *socket = new QTcpSocket;
    m_probe = socket;
    QObject::connect(socket, &QTcpSocket::connected, socket, [this] { probeFinished(true); });
    QObject::connect(socket, &QTcpSocket::errorOccurred, socket, [this] { probeFinished(false); });
    m_probeTimer.start(std::max(1, int(3000 * apiTimeoutScale())));
    socket->connectToHost(url.host(), quint16(url.port(url.scheme() == u"https" ? 443 : 80)));
}

void Analytics::probeFinished(bool up)
{
    m_probeTimer.stop();
    if (QTcpSocket *socket = m_probe.data()) {
        m_probe = nullptr;
        // Called from the socket's own signals: it goes later.
        socket->disconnect();
        socket->abort();
        socket->deleteLater();
    }
    learn(up);
}

void Analytics::learn(bool up)
{
    const bool found = up && m_state != Reachability::Reachable;
    m_state = up ? Reachability::Reachable : Reachability::Unreachable;
    if (found)
        sendLostGAData();
}

QString Analytics::hitBody(const QString &name, qint64 qt) const
{
    const QString uuid = m_config.value(QStringLiteral("uuid")).toString();
    return QStringLiteral("v=1&tid=%1&cid=%2&t=screenview&cd=%3&av=%4&an=Tavro_mac&qt=%5")
        .arg(encodeURI(m_servers.trackingId), encodeURI(uuid), encodeURI(name),
            encodeURI(QCoreApplication::applicationVersion()))
        .arg(qt);
}

void Analytics::sendGoogleAnalyticsWithScreenName(const QString &name, qint64 qt)
{
    const QDateTime at = now();
    // Only a collector known to be unreachable keeps the hit back; when
    // nothing is known the hit itself finds out.
    const bool knownDown = reachable ? !reachable() : m_state == Reachability::Unreachable;
    if (knownDown) {
        setLostGADataWithScreenName(name, at);
        probe();
        return;
    }
    QNetworkRequest request(m_servers.analyticsCollectUrl());
    request.setHeader(
        QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    request.setTransferTimeout(std::max(1, int(30000 * apiTimeoutScale())));
    QNetworkReply *reply = m_network.post(request, hitBody(name, qt).toUtf8());
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, name, at] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        // Any HTTP answer means the collector is there. Learnt before this
        // view is remembered, so a resend it triggers does not repeat it.
        if (!reachable)
            learn(status != 0);
        if (status != 200)
            setLostGADataWithScreenName(name, at);
    });
}

void Analytics::setLostGADataWithScreenName(const QString &name, const QDateTime &date)
{
    QVariantMap lost = UserDefaults::value(kLost).toMap();
    lost.insert(date.toString(kFormat), name);
    UserDefaults::setValue(kLost, lost);
    UserDefaults::synchronize();
}

void Analytics::sendLostGAData()
{
    const QVariant stored = UserDefaults::value(kLost);
    if (!stored.isValid() || !isReachable())
        return;
    const QVariantMap lost = stored.toMap();
    QVariantMap working = lost;
    for (auto it = lost.cbegin(); it != lost.cend(); ++it) {
        working.remove(it.key());
        const QDateTime at = QDateTime::fromString(it.key(), kFormat);
        const qint64 seconds = at.isValid() ? at.secsTo(now()) : 0;
        qCInfo(lcApp) << "since time" << seconds;
        // Written before sending, so a resend that fails again is kept under
        // the time of the new attempt.
        UserDefaults::setValue(kLost, working);
        sendGoogleAnalyticsWithScreenName(it.value().toString(), seconds * 1000);
    }
    UserDefaults::synchronize();
}

void Analytics::setReachableBlock()
{
    // Probed now and then: when the collector turns reachable the queue goes.
    QObject::connect(&m_watch, &QTimer::timeout, &m_watch, [this] { probe(); });
    m_watch.start(watchIntervalMs);
    probe();
}
