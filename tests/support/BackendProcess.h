// Runs tavro-backend on a free loopback port for a test, with its own data
// folder, and talks HTTP to it synchronously.
#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>
#include <QVariant>
#include <memory>

struct HttpReply {
    int status = 0; // 0 when no HTTP answer came
    int networkError = 0; // QNetworkReply::NetworkError
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;

    QByteArray header(const QByteArray &name) const;
    QVariant json() const;
};

class BackendProcess
{
public:
    BackendProcess();
    ~BackendProcess();

    // Starts the backend; false (with the reason in error()) when it does
    // not print its listening line within 10 seconds.
    bool start();
    void stop();
    const QString &baseUrl() const { return m_baseUrl; }
    const QString &error() const { return m_error; }
    QUrl url(const QString &path) const { return QUrl(m_baseUrl + path); }

    HttpReply get(const QString &path, const QList<QPair<QByteArray, QByteArray>> &headers = {});
    HttpReply post(const QString &path, const QByteArray &body,
        const QList<QPair<QByteArray, QByteArray>> &headers = {});
    HttpReply send(const QByteArray &method, const QString &path, const QByteArray &body = {},
        const QList<QPair<QByteArray, QByteArray>> &headers = {});

    // A fault for the next `times` requests to `path` (see FaultInjector).
    bool setFault(const QVariantMap &fault);
    void resetFaults();

    // The seeded client credentials and the first seeded account.
    static QString clientId();
    static QString clientSecret();

private:
    std::unique_ptr<QProcess> m_process;
    QTemporaryDir m_data;
    QString m_baseUrl;
    QString m_error;
    QNetworkAccessManager m_network;
};
