#include "EntryLogic.h"

#include "SyncRequest.h"
#include "app/ServerConfig.h"
#include "util/DataHelpers.h"
#include "util/DictionaryHelpers.h"
#include "util/Logging.h"
#include "util/StringHelpers.h"

const QString EntryLogic::kFailed = QStringLiteral("エントリー失敗しました。");

EntryLogic::EntryLogic(const ServerConfig &servers)
    : m_servers(servers)
{
}

QByteArray EntryLogic::entryBody(const QString &token, const QVariantMap &query, const QString &name,
                                 const QString &mail)
{
    QString body = QStringLiteral("token=%1&provider=%2&item=%3")
                       .arg(encodeURI(token), encodeURI(query.value(QStringLiteral("provider")).toString()),
                            encodeURI(query.value(QStringLiteral("item")).toString()));
    if (!name.isEmpty())
        body += QStringLiteral("&name=") + encodeURI(name);
    if (!mail.isEmpty())
        body += QStringLiteral("&email=") + encodeURI(mail);
    return body.toUtf8();
}

QString EntryLogic::entry(const QString &token, const QVariantMap &query, const QString &name, const QString &mail)
{
    QNetworkRequest request(m_servers.url(ServerConfig::Endpoint::StoreApi, QStringLiteral("/api/entry")));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    const SyncAnswer answer = sendSynchronously(m_network, request, "POST", entryBody(token, query, name, mail), 60000);
    qCInfo(lcTop) << "error:" << answer.error.value_or(QString());
    qCInfo(lcTop) << "jsonString ==" << QString::fromUtf8(answer.body);
    const auto json = jsonDictonary(answer.body);
    if (json && json->contains(QStringLiteral("messages"))) {
        if (const auto text = stringForKey(*json, QStringLiteral("messages"))) {
            qCInfo(lcTop) << "entry 成功";
            return *text;
        }
    }
    qCInfo(lcTop) << "entry失敗";
    return kFailed;
}
