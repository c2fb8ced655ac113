#include "BackendProcess.h"

#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QTimer>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

QByteArray HttpReply::header(const QByteArray &name) const
{
    for (const auto &[k, v] : headers)
        if (k.compare(name, Qt::CaseInsensitive) == 0)
            return v;
    return {};
}

QVariant HttpReply::json() const
{
    return QJsonDocument::fromJson(body).toVariant();
}

namespace
{
// Tests pass cookies explicitly; a jar would sign requests in behind their
// back.
class NoCookieJar : public QNetworkCookieJar
{
public:
    bool setCookiesFromUrl(const QList<QNetworkCookie> &, const QUrl &) override { return false; }
};
} // namespace

BackendProcess::BackendProcess()
{
    m_network.setCookieJar(new NoCookieJar);
}

BackendProcess::~BackendProcess()
{
    stop();
}

bool BackendProcess::start(const QStringList &arguments)
{
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    // A file, not a pipe: a test that does not read the log must not block
    // a backend that writes a lot of it.
    m_process->setStandardErrorFile(m_data.filePath(QStringLiteral("backend-stderr.log")), QIODevice::Append);
    const pid_t parent = ::getpid();
    m_process->setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        // The test may have died between fork() and prctl().
        if (::getppid() != parent)
            ::_exit(127);
    });
    m_process->start(QStringLiteral(TAVRO_BACKEND),
        QStringList { QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--data"), m_data.path() }
            + arguments);
    if (!m_process->waitForStarted(10000)) {
        m_error = QStringLiteral("cannot start: ") + m_process->errorString();
        return false;
    }
    QByteArray line;
    for (int waited = 0; waited < 10000 && !line.contains('\n'); waited += 50) {
        m_process->waitForReadyRead(50);
        line += m_process->readAllStandardOutput();
        if (m_process->state() != QProcess::Running)
            break;
    }
    const QByteArray first = line.left(line.indexOf('\n'));
    if (!first.startsWith("listening on http://127.0.0.1:")) {
        m_error = QStringLiteral("no listening line: ") + QString::fromUtf8(first + errorOutput());
        return false;
    }
    m_baseUrl = QString::fromUtf8(first.mid(int(strlen("listening on "))));
    return true;
}

void BackendProcess::stop()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000))
            m_process->kill();
        m_process->waitForFinished(2000);
    }
    m_process.reset();
}

std::optional<int> BackendProcess::terminate(int signal, int timeoutMs)
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return std::nullopt;
    ::kill(pid_t(m_process->processId()), signal);
    std::optional<int> code;
    if (m_process->waitForFinished(timeoutMs) && m_process->exitStatus() == QProcess::NormalExit)
        code = m_process->exitCode();
    stop();
    return code;
}

QByteArray BackendProcess::errorOutput() const
{
    QFile log(m_data.filePath(QStringLiteral("backend-stderr.log")));
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

HttpReply BackendProcess::send(const QByteArray &method, const QString &path, const QByteArray &body,
    const QList<QPair<QByteArray, QByteArray>> &headers)
{
    QNetworkRequest request(path.startsWith(QStringLiteral("http")) ? QUrl(path) : url(path));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(m_requestTimeoutMs);
    bool hasType = false;
    for (const auto &[k, v] : headers) {
        request.setRawHeader(k, v);
        hasType = hasType || k.compare("Content-Type", Qt::CaseInsensitive) == 0;
    }
    if (!hasType && !body.isNull())
        request.setHeader(
            QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    QNetworkReply *reply = m_network.sendCustomRequest(request, method, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    HttpReply out;
    out.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    out.networkError = reply->error();
    out.body = reply->readAll();
    out.headers = reply->rawHeaderPairs();
    reply->deleteLater();
    return out;
}

HttpReply BackendProcess::get(const QString &path, const QList<QPair<QByteArray, QByteArray>> &headers)
{
    return send("GET", path, QByteArray(), headers);
}

HttpReply BackendProcess::post(
    const QString &path, const QByteArray &body, const QList<QPair<QByteArray, QByteArray>> &headers)
{
    return send("POST", path, body.isNull() ? QByteArray("") : body, headers);
}

bool BackendProcess::setFault(const QVariantMap &fault)
{
    return post(QStringLiteral("/_control/fault"), QJsonDocument::fromVariant(fault).toJson(),
               { { "Content-Type", "application/json" } })
               .status
        == 200;
}

void BackendProcess::resetFaults()
{
    post(QStringLiteral("/_control/reset"), QByteArray(""));
}

static QString seedValue(const char *key)
{
    QFile f(QStringLiteral(TAVRO_BACKEND_SEED_FILE));
    f.open(QIODevice::ReadOnly);
    return QJsonDocument::fromJson(f.readAll())
        .toVariant()
        .toMap()
        .value(QString::fromLatin1(key))
        .toString();
}

QString BackendProcess::clientId()
{
    return seedValue("clientId");
}

QString BackendProcess::clientSecret()
{
    return seedValue("clientSecret");
}

QString BackendProcess::accessToken(const QString &login, const QString &password)
{
    return post(QStringLiteral("/profile/oauth/token"),
        QStringLiteral("grant_type=password&username=%1&password=%2&client_id=%3&client_secret=%4")
            .arg(login, password, clientId(), clientSecret())
            .toUtf8())
        .json()
        .toMap()
        .value(QStringLiteral("access_token"))
        .toString();
}
