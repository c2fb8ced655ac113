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
#include <optional>

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

    // Starts the backend (with `arguments` added to its command line);
    // false (with the reason in error()) when it does not print its
    // listening line within 10 seconds. The backend is killed when the
    // thread that started it ends, so a test that dies leaves none behind.
    // A restart keeps the data folder.
    bool start(const QStringList &arguments = {});
    // SIGTERM, then SIGKILL after 5 seconds.
    void stop();
    // `signal` (SIGTERM, SIGINT) and a wait of up to `timeoutMs`: the exit
    // code when the backend ended by itself, else absent (and it is killed).
    std::optional<int> terminate(int signal, int timeoutMs = 10000);
    // The time a request may wait for its answer (20 s unless set).
    void setRequestTimeout(int ms) { m_requestTimeoutMs = ms; }
    qint64 pid() const { return m_process ? m_process->processId() : 0; }
    QString dataPath() const { return m_data.path(); }
    // Everything the backend wrote to standard error, over all its starts.
    QByteArray errorOutput() const;
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

    // A profile access token from the password grant, taken over HTTP;
    // empty when the sign-in is refused.
    QString accessToken(const QString &login, const QString &password);

private:
    std::unique_ptr<QProcess> m_process;
    QTemporaryDir m_data;
    QString m_baseUrl;
    QString m_error;
    int m_requestTimeoutMs = 20000;
    QNetworkAccessManager m_network;
};
