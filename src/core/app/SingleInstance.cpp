#include "SingleInstance.h"

#include "InstanceMessage.h"
#include "core/platform/DataFolder.h"
#include "core/util/Logging.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
// A client that sends nothing useful is dropped after this long.
constexpr int kClientTimeoutMs = 5000;

// Whether `path` is a directory (not a link) of the current user's own that
// nobody else may enter.
bool isPrivateFolder(const QString &path)
{
    struct stat info {
    };
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

// Room for the socket's path in a Unix socket address.
bool fitsSocketAddress(const QString &path)
{
    return size_t(QFile::encodeName(path).size()) < sizeof(sockaddr_un::sun_path);
}

// The other end of `socket` runs as this user.
bool peerIsThisUser(const QLocalSocket &socket)
{
    const std::optional<uint> peer = SingleInstance::peerUserId(socket.socketDescriptor());
    if (SingleInstance::isTrustedPeer(peer, uint(::getuid())))
        return true;
    qCWarning(lcApp) << "the other end of the local socket runs as another user:"
                     << (peer ? QString::number(*peer) : QStringLiteral("unknown"));
    return false;
}
} // namespace

QString SingleInstance::runtimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && isPrivateFolder(runtime))
        return QDir::cleanPath(runtime);
    if (!runtime.isEmpty())
        qCWarning(lcApp) << "XDG_RUNTIME_DIR is not a private folder of this user:" << runtime;
    // mkdir never widens an existing folder's mode, nor follows a link
    // somebody else put there: the folder is checked after it is made.
    const QString own = QDir::tempPath() + QStringLiteral("/tavro-runtime-%1").arg(uint(::getuid()));
    const QByteArray encoded = QFile::encodeName(own);
    if (::mkdir(encoded.constData(), 0700) != 0 && errno != EEXIST) {
        qCWarning(lcApp) << "cannot make a private runtime folder" << own;
        return {};
    }
    struct stat info {
    };
    if (::lstat(encoded.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid()
        && (info.st_mode & 077) != 0)
        ::chmod(encoded.constData(), 0700);
    if (isPrivateFolder(own))
        return own;
    qCWarning(lcApp) << "the runtime folder is not a private folder of this user:" << own;
    return {};
}

std::optional<uint> SingleInstance::peerUserId(qintptr descriptor)
{
    if (descriptor < 0)
        return std::nullopt;
    ucred credentials {};
    socklen_t size = sizeof(credentials);
    if (::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0
        || size != sizeof(credentials))
        return std::nullopt;
    return uint(credentials.uid);
}

bool SingleInstance::isTrustedPeer(std::optional<uint> peer, uint self)
{
    return peer.has_value() && *peer == self;
}

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
    // Never a bare name: Qt would put that in the shared temporary folder,
    // where another user could listen first and take the files.
    const QString runtime = runtimeFolder();
    if (runtime.isEmpty())
        return {};
    const QString path = runtime + QStringLiteral("/tavro-") + QString::fromLatin1(hash);
    if (!fitsSocketAddress(path)) {
        qCWarning(lcApp) << "the runtime folder's path is too long for a local socket:" << runtime;
        return {};
    }
    return path;
}

bool SingleInstance::sendToRunning(const QString &serverName, const QStringList &files, int timeoutMs)
{
    if (serverName.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    // The file list goes to nobody but this user's own program.
    if (!peerIsThisUser(socket))
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
    if (serverName.isEmpty()) {
        qCWarning(lcApp) << "no private folder for the local socket: later starts open a window of their own";
        return false;
    }
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
        // Only this user's own programs may hand files over.
        if (!peerIsThisUser(*socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
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
