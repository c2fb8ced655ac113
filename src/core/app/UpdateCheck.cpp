#include "UpdateCheck.h"

#include "core/platform/ServerConfig.h"
#include "core/platform/UserDefaults.h"
#include "core/util/DictionaryHelpers.h"
#include "core/util/Logging.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>

UpdateCheck::UpdateCheck(const ServerConfig &servers)
    : m_servers(servers)
{
}

void UpdateCheck::checkUpdate(std::function<void(std::optional<QVariantMap>, bool)> done)
{
    QNetworkRequest request(m_servers.updateManifestUrl());
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(30000);
    QNetworkReply *reply = m_network.get(request);
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, done = std::move(done)] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QByteArray body = reply->readAll();
        if (reply->error() != QNetworkReply::NoError || status != 200)
            return done(std::nullopt, false);
        QJsonParseError error {};
        const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
        if (error.error != QJsonParseError::NoError) {
            qCInfo(lcApp) << "JSON_PerseError:" << error.errorString();
            return done(std::nullopt, false);
        }
        if (!doc.isObject())
            return done(std::nullopt, true);
        done(doc.object().toVariantMap(), false);
    });
}

int UpdateCheck::compareVersions(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a.at(ei).isDigit())
                ++ei;
            while (ej < b.size() && b.at(ej).isDigit())
                ++ej;
            // Compare without leading zeros, by length first.
            QString na = a.mid(i, ei - i), nb = b.mid(j, ej - j);
            while (na.size() > 1 && na.startsWith(u'0'))
                na.remove(0, 1);
            while (nb.size() > 1 && nb.startsWith(u'0'))
                nb.remove(0, 1);
            if (na.size() != nb.size())
                return na.size() < nb.size() ? -1 : 1;
            if (const int c = na.compare(nb); c != 0)
                return c < 0 ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        if (a.at(i) != b.at(j))
            return a.at(i) < b.at(j) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

std::optional<QVariantMap> UpdateCheck::updateToShow(const QVariantMap &manifest, const QString &appVersion)
{
    const auto update = dictionaryForKey(manifest, QStringLiteral("update"));
    const QString version
        = update ? stringForKey(*update, QStringLiteral("version")).value_or(QString()) : QString();
    if (update && !version.isEmpty() && compareVersions(appVersion, version) < 0) {
        qCInfo(lcApp) << "アップデートあり";
        return update;
    }
    qCInfo(lcApp) << "アップデートなし";
    return std::nullopt;
}

bool UpdateCheck::validateWithStartTime(const QString &start, const QString &end, const QDateTime &now)
{
    const QString format = QStringLiteral("yyyy/MM/dd HH:mm");
    const QDateTime s = QDateTime::fromString(start, format);
    const QDateTime e = QDateTime::fromString(end, format);
    if (!s.isValid() || !e.isValid())
        return false;
    return now > s && now < e;
}

qint64 UpdateCheck::storedNoticeVersion()
{
    const QVariant v = UserDefaults::value(QString::fromLatin1(UserDefaults::macNotification));
    return v.isValid() ? v.toLongLong() : -1;
}

void UpdateCheck::noticeClosed(qint64 version)
{
    UserDefaults::setValue(QString::fromLatin1(UserDefaults::macNotification), version);
    UserDefaults::synchronize();
}

std::optional<QVariantMap> UpdateCheck::noticeToShow(const QVariantMap &manifest, const QDateTime &now)
{
    const auto notice = dictionaryForKey(manifest, QStringLiteral("notification"));
    if (!notice)
        return std::nullopt;
    const qint64 remote = stringForKey(*notice, QStringLiteral("version")).value_or(QString()).toLongLong();
    if (validateWithStartTime(stringForKey(*notice, QStringLiteral("startDate")).value_or(QString()),
            stringForKey(*notice, QStringLiteral("endDate")).value_or(QString()), now)
        && storedNoticeVersion() < remote) {
        qCInfo(lcApp) << "通知あり";
        return notice;
    }
    qCInfo(lcApp) << "通知なし";
    return std::nullopt;
}
