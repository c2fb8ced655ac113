#include "Analytics.h"

#include "ConfigDictionary.h"
#include "ServerConfig.h"
#include "UserDefaults.h"
#include "util/Logging.h"
#include "util/StringHelpers.h"

#include <QCoreApplication>
#include <QNetworkReply>
#include <QTcpSocket>

namespace {
Analytics *sharedInstance = nullptr;
const QString kLost = QStringLiteral("lostGAData");
const QString kFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
} // namespace

Analytics::Analytics(const ServerConfig &servers)
    : m_servers(servers)
{
}

Analytics &Analytics::shared()
{
    Q_ASSERT(sharedInstance);
    return *sharedInstance;
}

void Analytics::setShared(Analytics *analytics)
{
    sharedInstance = analytics;
}

QString Analytics::googleAnalyticsHost() const
{
    return m_servers.analyticsCollectUrl().host();
}

bool Analytics::isReachable()
{
    if (reachable)
        return reachable();
    const QUrl url = m_servers.analyticsCollectUrl();
    QTcpSocket socket;
    socket.connectToHost(url.host(), quint16(url.port(url.scheme() == u"https" ? 443 : 80)));
    return socket.waitForConnected(300);
}

QString Analytics::hitBody(const QString &name, qint64 qt) const
{
    const QString uuid = ConfigDictionary::shared().value(QStringLiteral("uuid")).toString();
    return QStringLiteral("v=1&tid=%1&cid=%2&t=screenview&cd=%3&av=%4&an=Tavro_mac&qt=%5")
        .arg(encodeURI(m_servers.trackingId), encodeURI(uuid), encodeURI(name),
             encodeURI(QCoreApplication::applicationVersion()))
        .arg(qt);
}

void Analytics::sendGoogleAnalyticsWithScreenName(const QString &name, qint64 qt)
{
    const QDateTime at = now();
    if (!isReachable()) {
        setLostGADataWithScreenName(name, at);
        return;
    }
    QNetworkRequest request(m_servers.analyticsCollectUrl());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    request.setTransferTimeout(30000);
    QNetworkReply *reply = m_network.post(request, hitBody(name, qt).toUtf8());
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, name, at] {
        reply->deleteLater();
        if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200)
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
    // Checked now and then: when the collector turns reachable the queue goes.
    QObject::connect(&m_watch, &QTimer::timeout, &m_watch, [this] {
        const bool up = isReachable();
        if (up && !m_wasReachable)
            sendLostGAData();
        m_wasReachable = up;
    });
    m_wasReachable = isReachable();
    m_watch.start(30000);
}
