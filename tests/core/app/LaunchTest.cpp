// Book files on the command line and the message a later start sends to the
// running program over the local socket.
#include "core/app/InstanceMessage.h"
#include "core/app/LaunchArguments.h"
#include "core/app/SingleInstance.h"
#include "core/platform/DataFolder.h"
#include "support/Wait.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QUrl>
#include <cstring>
#include <future>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{

void touch(const QString &path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
}

TEST(LaunchArguments, SortsBooksFromTheRest)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString d = dir.path();
    touch(d + QStringLiteral("/a.epub"));
    touch(d + QStringLiteral("/B.PDF"));
    touch(d + QStringLiteral("/notes.txt"));
    touch(d + QStringLiteral("/スペース 本.epub"));
    QDir(d).mkdir(QStringLiteral("folder.epub"));

    struct Row {
        QString argument;
        QString expectedFile; // empty: rejected with `reason`
        QString reason;
    };
    const QList<Row> rows {
        { QStringLiteral("a.epub"), d + QStringLiteral("/a.epub"), {} },
        { QStringLiteral("./sub/../B.PDF"), d + QStringLiteral("/B.PDF"), {} },
        { d + QStringLiteral("/a.epub"), d + QStringLiteral("/a.epub"), {} },
        { QUrl::fromLocalFile(d + QStringLiteral("/スペース 本.epub")).toString(QUrl::FullyEncoded),
            d + QStringLiteral("/スペース 本.epub"), {} },
        { QStringLiteral("notes.txt"), {}, QStringLiteral("not an EPUB or PDF file") },
        { QStringLiteral("missing.pdf"), {}, QStringLiteral("no such file") },
        { QStringLiteral("folder.epub"), {}, QStringLiteral("not a readable file") },
        { QStringLiteral("https://example.com/x.epub"), {},
            QStringLiteral("only local files can be opened") },
        { QStringLiteral("file://remote-host/x.epub"), {}, QStringLiteral("not a local file URL") },
        { QString(), {}, QStringLiteral("empty file name") },
    };
    QDir(d).mkdir(QStringLiteral("sub"));
    for (const Row &row : rows) {
        const LaunchArguments::Result r = LaunchArguments::parse({ row.argument }, d);
        if (row.expectedFile.isEmpty()) {
            EXPECT_TRUE(r.files.isEmpty()) << row.argument.toStdString();
            ASSERT_EQ(r.rejected.size(), 1) << row.argument.toStdString();
            EXPECT_EQ(r.rejected.first().reason, row.reason) << row.argument.toStdString();
        } else {
            EXPECT_EQ(r.files, QStringList { row.expectedFile }) << row.argument.toStdString();
            EXPECT_TRUE(r.rejected.isEmpty()) << row.argument.toStdString();
        }
    }
    // Order kept, repeats dropped.
    const auto both = LaunchArguments::parse(
        { QStringLiteral("B.PDF"), QStringLiteral("a.epub"), d + QStringLiteral("/B.PDF") }, d);
    EXPECT_EQ(both.files, (QStringList { d + QStringLiteral("/B.PDF"), d + QStringLiteral("/a.epub") }));
}

TEST(InstanceMessage, RoundTripAndRefusals)
{
    const QStringList files { QStringLiteral("/home/u/本.epub"), QStringLiteral("/tmp/a b.pdf") };
    const QByteArray line = InstanceMessage::encode(files);
    EXPECT_TRUE(line.endsWith('\n'));
    EXPECT_EQ(line.count('\n'), 1) << "one line, whatever the names hold";
    EXPECT_EQ(InstanceMessage::decode(line), files);
    EXPECT_EQ(InstanceMessage::decode(InstanceMessage::encode({})), QStringList());

    const QList<QByteArray> refused {
        "",
        "not json\n",
        "[]\n",
        R"({"open":["/a.epub"]})",
        R"({"v":2,"open":["/a.epub"]})",
        R"({"v":1})",
        R"({"v":1,"open":"/a.epub"})",
        R"({"v":1,"open":["relative.epub"]})",
        R"({"v":1,"open":[3]})",
        "{\"v\":1,\"open\":[\"/" + QByteArray(InstanceMessage::kMaxSize, 'a') + "\"]}",
    };
    for (const QByteArray &bad : refused)
        EXPECT_FALSE(InstanceMessage::decode(bad).has_value()) << bad.left(60).toStdString();
}

// The socket names of these tests: unique to the process.
QString testServerName(const char *what)
{
    return QStringLiteral("tavro-test-%1-%2").arg(::getpid()).arg(QLatin1String(what));
}

// Sends from another thread while this one runs the event loop the
// listening side needs.
bool sendWhileServing(const QString &name, const QStringList &files)
{
    auto sent
        = std::async(std::launch::async, [&] { return SingleInstance::sendToRunning(name, files, 5000); });
    waitUntil([&] { return sent.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    return sent.get();
}

TEST(SingleInstance, HandsFilesToTheRunningOne)
{
    const QString name = testServerName("handover");
    EXPECT_FALSE(SingleInstance::sendToRunning(name, {}, 500)) << "nobody runs yet";

    SingleInstance first;
    ASSERT_TRUE(first.listen(name));
    QList<QStringList> received;
    QObject::connect(
        &first, &SingleInstance::filesReceived, [&](const QStringList &f) { received.append(f); });

    SingleInstance second;
    EXPECT_FALSE(second.listen(name)) << "a running instance keeps its socket";

    const QStringList files { QStringLiteral("/books/a.epub") };
    EXPECT_TRUE(sendWhileServing(name, files));
    EXPECT_TRUE(sendWhileServing(name, {})) << "a start without files only brings the window up";
    ASSERT_TRUE(waitUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(received.at(0), files);
    EXPECT_EQ(received.at(1), QStringList());
}

TEST(SingleInstance, DropsMalformedMessages)
{
    const QString name = testServerName("malformed");
    SingleInstance running;
    ASSERT_TRUE(running.listen(name));
    int received = 0;
    QObject::connect(&running, &SingleInstance::filesReceived, [&] { ++received; });

    auto answer = std::async(std::launch::async, [&] {
        QLocalSocket socket;
        socket.connectToServer(name);
        if (!socket.waitForConnected(5000))
            return QByteArray("no connection");
        socket.write("{\"v\":1,\"open\":[\"relative.epub\"]}\n");
        socket.waitForBytesWritten(5000);
        // The running side closes the connection without an answer.
        socket.waitForDisconnected(5000);
        return socket.readAll();
    });
    waitUntil([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    EXPECT_EQ(answer.get(), QByteArray());
    settle(100);
    EXPECT_EQ(received, 0);
}

TEST(SingleInstance, TakesOverASocketLeftByAProgramThatIsGone)
{
    const QString name = testServerName("stale");
    // What a crashed instance leaves: a socket file nobody listens on.
    const QString path = QDir::tempPath() + u'/' + name;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(path);
    ASSERT_LT(size_t(encoded.size()), sizeof(addr.sun_path));
    std::memcpy(addr.sun_path, encoded.constData(), size_t(encoded.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof(addr)), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(path));

    EXPECT_FALSE(SingleInstance::sendToRunning(name, {}, 500));
    SingleInstance instance;
    EXPECT_TRUE(instance.listen(name));
    EXPECT_TRUE(sendWhileServing(name, {}));
}

TEST(SingleInstance, NameFollowsTheDataFolder)
{
    const QString before = SingleInstance::defaultServerName();
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", home + "/other");
    const QString other = SingleInstance::defaultServerName();
    qputenv("HOME", home);
    EXPECT_NE(before, other);
    EXPECT_EQ(SingleInstance::defaultServerName(), before);
    EXPECT_LT(size_t(QFile::encodeName(before).size()), sizeof(sockaddr_un::sun_path))
        << "fits a Unix socket path";
}

TEST(SingleInstance, SocketLivesInTheUsersPrivateRuntimeFolder)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    ASSERT_FALSE(runtime.isEmpty());
    const QString name = SingleInstance::defaultServerName();
    EXPECT_EQ(QFileInfo(name).absolutePath(), QDir(runtime).absolutePath()) << name.toStdString();
    struct stat folder {
    };
    ASSERT_EQ(::lstat(QFile::encodeName(runtime).constData(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);

    // The name older versions used: a bare name Qt puts in the shared
    // temporary folder, where any local user may listen first. Such a
    // listener is never reached, and the real program listens on its own.
    const QByteArray hash
        = QCryptographicHash::hash(DataFolder::path().toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    const QString predictable
        = QStringLiteral("tavro-%1-%2").arg(uint(::getuid())).arg(QString::fromLatin1(hash));
    QLocalServer::removeServer(predictable);
    QLocalServer squatter;
    ASSERT_TRUE(squatter.listen(predictable));
    int reached = 0;
    QObject::connect(&squatter, &QLocalServer::newConnection, [&] { ++reached; });
    EXPECT_FALSE(SingleInstance::sendToRunning(name, { QStringLiteral("/books/secret.epub") }, 500));
    SingleInstance real;
    EXPECT_TRUE(real.listen(name));
    EXPECT_TRUE(sendWhileServing(name, {}));
    settle(100);
    EXPECT_EQ(reached, 0);
    EXPECT_FALSE(squatter.hasPendingConnections());
}

TEST(SingleInstance, RuntimeFolderFallsBackToAPrivateFolderOfTheUsersOwn)
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir open;
    ASSERT_TRUE(QFile::setPermissions(open.path(),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
            | QFileDevice::WriteOther | QFileDevice::ExeOther));
    struct Case {
        const char *what;
        QByteArray value;
    };
    const Case cases[] = {
        { "unset", QByteArray() },
        { "relative", QByteArray("relative/run") },
        { "open to others", open.path().toUtf8() },
        { "missing", open.path().toUtf8() + "/none" },
    };
    for (const Case &c : cases) {
        if (c.value.isNull())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", c.value);
        const QString folder = SingleInstance::runtimeFolder();
        const QString name = SingleInstance::defaultServerName();
        qputenv("XDG_RUNTIME_DIR", runtime);
        SCOPED_TRACE(c.what);
        EXPECT_EQ(folder, QDir::tempPath() + QStringLiteral("/tavro-runtime-%1").arg(uint(::getuid())));
        struct stat info {
        };
        ASSERT_EQ(::lstat(QFile::encodeName(folder).constData(), &info), 0);
        EXPECT_TRUE(S_ISDIR(info.st_mode));
        EXPECT_EQ(info.st_uid, ::getuid());
        EXPECT_EQ(info.st_mode & 0777, 0700u);
        EXPECT_TRUE(name.startsWith(folder + u'/')) << name.toStdString();
    }
}

TEST(SingleInstance, OnlyTheSameUserIsATrustedPeer)
{
    const uint self = uint(::getuid());
    struct Case {
        std::optional<uint> peer;
        bool trusted;
    };
    const Case cases[] = {
        { self, true },
        { self + 1, false },
        { 0u, self == 0 },
        { std::nullopt, false },
    };
    for (const Case &c : cases)
        EXPECT_EQ(SingleInstance::isTrustedPeer(c.peer, self), c.trusted)
            << (c.peer ? std::to_string(*c.peer) : std::string("unknown"));

    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    EXPECT_EQ(SingleInstance::peerUserId(pair[0]), std::optional<uint>(self));
    ::close(pair[0]);
    ::close(pair[1]);
    EXPECT_EQ(SingleInstance::peerUserId(-1), std::nullopt);
}

} // namespace
