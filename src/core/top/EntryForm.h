// The entry sheet's request: POST "/api/entry" on the store API server
// with the profile token, the link's "provider" and "item", and the name and
// e-mail when given, every value percent-encoded. Main thread only (waits
// in a local event loop, 60 s at most).
#pragma once

#include <QNetworkAccessManager>
#include <QString>
#include <QVariantMap>

class ServerConfig;

class EntryForm
{
public:
    static const QString kFailed; // "エントリー失敗しました。"

    explicit EntryForm(const ServerConfig &servers);

    // The form body.
    static QByteArray entryBody(
        const QString &token, const QVariantMap &query, const QString &name, const QString &mail);
    // Sends the entry; the message to show (the answer's "messages", or
    // kFailed).
    QString entry(const QString &token, const QVariantMap &query, const QString &name, const QString &mail);

private:
    const ServerConfig &m_servers;
    QNetworkAccessManager m_network;
};
