#include "SingleInstance.h"

#include "InstanceMessage.h"
#include "core/platform/DataFolder.h"
#include "core/util/Logging.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <unistd.h>

namespace
{
// A client that sends nothing useful is dropped after this long.
constexpr int kClientTimeoutMs = 5000;
} // namespace

SingleInstance::SingleInstance(QObject *parent)
    : QObject(parent)
    , m_server(new QLocalServer(this))
{
    // Only this user's programs may connect.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultServerName()
{
    const QByteArray folder = DataFolder::path().toUtf8();
    const QByteArray hash = QCryptographicHash::hash(folder, QCryptographicHash::Sha256).toHex().left(16);
    return QStringLiteral("tavro-%1-%2").arg(uint(::getuid())).arg(QString::fromLatin1(hash));
}

bool SingleInstance::sendToRunning(const QString &serverName, const QStringList &files, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(InstanceMessage::encode(files));
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    QByteArray answer;
    while (!answer.contains('\n')) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
        answer += socket.readAll();
    }
    return answer == InstanceMessage::kAnswer;
}

bool SingleInstance::listen(const QString &serverName)
{
    // Listening with access options replaces whatever file has the name, so
    // first ask whether somebody answers there.
    QLocalSocket probe;
    probe.connectToServer(serverName);
    if (probe.waitForConnected(1000)) {
        qCWarning(lcApp) << "another instance already listens on" << serverName;
        return false;
    }
    // A socket file left by a program that is gone.
    QLocalServer::removeServer(serverName);
    if (m_server->listen(serverName))
        return true;
    qCWarning(lcApp) << "cannot listen on the local socket" << serverName << m_server->errorString();
    return false;
}

QString SingleInstance::serverName() const
{
    return m_server->serverName();
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A client that never finishes its line is dropped.
        QTimer::singleShot(kClientTimeoutMs, socket, [socket] { socket->abort(); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->bytesAvailable() > InstanceMessage::kMaxSize) {
                qCWarning(lcApp) << "dropped an oversized message on the local socket";
                socket->abort();
                return;
            }
            if (!socket->canReadLine())
                return;
            const std::optional<QStringList> files = InstanceMessage::decode(socket->readLine());
            if (!files) {
                qCWarning(lcApp) << "dropped a malformed message on the local socket";
                socket->abort();
                return;
            }
            socket->write(InstanceMessage::kAnswer);
            socket->flush();
            qCInfo(lcApp) << "a later start asks to open" << *files;
            // Delivered from the event loop: opening a book may ask a
            // question in a modal dialog, which must not run inside this
            // socket's signal.
            QMetaObject::invokeMethod(
                this, [this, list = *files] { emit filesReceived(list); }, Qt::QueuedConnection);
        });
    }
}
