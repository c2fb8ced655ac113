#include "EntryForm.h"

#include "BlockingRequest.h"
#include "core/platform/ServerConfig.h"
#include "core/util/DataHelpers.h"
#include "core/util/DictionaryHelpers.h"
#include "core/util/Logging.h"
#include "core/util/StringHelpers.h"

const QString EntryForm::kFailed = QStringLiteral("エントリー失敗しました。");

EntryForm::EntryForm(const ServerConfig &servers)
    : m_servers(servers)
{
}

QByteArray EntryForm::entryBody(
    const QString &token, const QVariantMap &query, const QString &name, const QString &mail)
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

QString EntryForm::entry(
    const QString &token, const QVariantMap &query, const QString &name, const QString &mail)
{
    QNetworkRequest request(m_servers.url(ServerConfig::Endpoint::StoreApi, QStringLiteral("/api/entry")));
    request.setHeader(
        QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    const BlockingAnswer answer
        = sendSynchronously(m_network, request, "POST", entryBody(token, query, name, mail), 60000);
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
