// tavro-backend --port N [--data DIR] [--seed FILE] [--samples DIR] [--files DIR] [--secret-file FILE]
//               [--max-connections N] [--max-connections-per-client N] [--idle-timeout-ms N]
//               [--read-timeout-ms N] [--request-timeout-ms N]
// The local publisher backend on 127.0.0.1. Its first line on standard
// output is "listening on http://127.0.0.1:PORT"; its log goes to standard
// error. SIGTERM or SIGINT stops it: it stops accepting, lets the requests
// in progress finish and exits with 0.
#include "Backend.h"
#include "BackendLog.h"
#include "BackendServer.h"
#include "ServerSecret.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <pthread.h>
#include <sys/resource.h>
#include <thread>

#ifndef TAVRO_BACKEND_SEED
#define TAVRO_BACKEND_SEED ""
#endif
#ifndef TAVRO_BACKEND_FILES
#define TAVRO_BACKEND_FILES ""
#endif
#ifndef TAVRO_BACKEND_SAMPLES
#define TAVRO_BACKEND_SAMPLES ""
#endif

namespace
{

int usage(const char *message)
{
    std::fprintf(stderr,
        "tavro-backend: %s\nusage: tavro-backend --port N [--data DIR] [--seed FILE] "
        "[--samples DIR] [--files DIR] [--secret-file FILE] [--max-connections N] "
        "[--max-connections-per-client N] [--idle-timeout-ms N] [--read-timeout-ms N] "
        "[--request-timeout-ms N]\n",
        message);
    return 2;
}

// Each connection takes a descriptor: the soft limit goes up to the hard
// one, and the connection cap stays below what is left.
int descriptorBudget()
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 1024;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
        ::getrlimit(RLIMIT_NOFILE, &limit);
    }
    return int(std::min<rlim_t>(limit.rlim_cur, 1 << 20));
}

} // namespace

int main(int argc, char *argv[])
{
    // The stop signals are taken by one thread with sigwait(); every thread
    // started from here on inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGUSR1); // ends the signal thread after a failed listen
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    if (qEnvironmentVariableIsEmpty("QT_MESSAGE_PATTERN"))
        qSetMessagePattern(QStringLiteral("%{time yyyy-MM-ddThh:mm:ss.zzz} %{category} %{type}: %{message}"));

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavro-backend"));
    const QStringList args = app.arguments().mid(1);
    QHash<QString, QString> options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (!args.at(i).startsWith(QStringLiteral("--")) || i + 1 >= args.size())
            return usage("options take a value");
        options.insert(args.at(i).mid(2), args.at(i + 1));
        ++i;
    }
    bool portOk = false;
    const int port = options.value(QStringLiteral("port")).toInt(&portOk);
    if (!portOk || port < 0 || port > 65535)
        return usage("--port takes 0 (any free port) to 65535");

    ServerLimits limits;
    struct NumberOption {
        const char *name;
        int minimum;
        std::function<void(int)> set;
    };
    const NumberOption numbers[] = {
        { "max-connections", 1, [&](int v) { limits.connections = v; } },
        { "max-connections-per-client", 1, [&](int v) { limits.connectionsPerClient = v; } },
        { "idle-timeout-ms", 1, [&](int v) { limits.idleTimeout = std::chrono::milliseconds(v); } },
        { "read-timeout-ms", 1, [&](int v) { limits.readTimeout = std::chrono::milliseconds(v); } },
        { "request-timeout-ms", 1, [&](int v) { limits.requestTimeout = std::chrono::milliseconds(v); } },
    };
    for (const NumberOption &o : numbers) {
        const QString name = QString::fromLatin1(o.name);
        if (!options.contains(name))
            continue;
        bool ok = false;
        const int value = options.value(name).toInt(&ok);
        if (!ok || value < o.minimum)
            return usage(QStringLiteral("--%1 takes a positive number").arg(name).toLocal8Bit().constData());
        o.set(value);
    }
    limits.connections = std::min(limits.connections, descriptorBudget() - 64);
    if (limits.connections < 1)
        return usage("too few file descriptors for any connection");

    const QString seed = options.value(QStringLiteral("seed"), QStringLiteral(TAVRO_BACKEND_SEED));
    QString error;
    auto config = BackendConfig::load(seed, &error);
    if (!config)
        return usage(error.toLocal8Bit().constData());

    Backend backend { *config, {}, {}, {}, {}, {}, {} };
    backend.samplesDir = options.value(QStringLiteral("samples"), QStringLiteral(TAVRO_BACKEND_SAMPLES));
    backend.filesDir = options.value(QStringLiteral("files"), QStringLiteral(TAVRO_BACKEND_FILES));
    const QString data = options.value(QStringLiteral("data"),
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
            + QStringLiteral("/tavro-backend"));
    if (!backend.store.open(data, backend.config))
        return usage(QStringLiteral("cannot open the data folder %1").arg(data).toLocal8Bit().constData());
    const auto secret = loadServerSecret(data, options.value(QStringLiteral("secret-file")), &error);
    if (!secret)
        return usage(error.toLocal8Bit().constData());
    backend.secret = *secret;

    BackendServer server(limits);
    // Small answers go out at once instead of waiting for the client's ACK.
    server.set_tcp_nodelay(true);
    backend.install(server);
    const int bound = server.bindLoopback(port);
    if (bound <= 0)
        return usage(QStringLiteral("cannot listen on 127.0.0.1:%1").arg(port).toLocal8Bit().constData());
    backend.baseUrl = QStringLiteral("http://127.0.0.1:%1").arg(bound);
    std::printf("listening on %s\n", backend.baseUrl.toUtf8().constData());
    std::fflush(stdout);
    qCInfo(lcBackend).noquote() << QStringLiteral(
        "started on %1 (pid %2, data %3; %4 workers, at most %5 connections, "
        "%6 per client)")
                                       .arg(backend.baseUrl)
                                       .arg(QCoreApplication::applicationPid())
                                       .arg(QDir::toNativeSeparators(data))
                                       .arg(limits.workers)
                                       .arg(limits.connections)
                                       .arg(limits.connectionsPerClient);

    std::thread signalThread([&server, &stopSignals] {
        int signal = 0;
        while (sigwait(&stopSignals, &signal) != 0) { }
        if (signal == SIGUSR1)
            return;
        qCInfo(lcBackend).noquote() << QStringLiteral("stopping on %1")
                                           .arg(signal == SIGTERM ? QStringLiteral("SIGTERM")
                                                                  : QStringLiteral("SIGINT"));
        server.stopServing();
    });
    const bool served = server.serve();
    pthread_kill(signalThread.native_handle(), SIGUSR1);
    signalThread.join();
    if (!served) {
        qCCritical(lcBackend).noquote() << QStringLiteral("the listening socket failed; stopped");
        return 1;
    }
    qCInfo(lcBackend).noquote() << QStringLiteral("stopped");
    return 0;
}
