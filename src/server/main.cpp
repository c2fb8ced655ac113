// tavro-backend --port N [--data DIR] [--seed FILE] [--samples DIR] [--files DIR]
// The local publisher backend on 127.0.0.1. Its first line on standard
// output is "listening on http://127.0.0.1:PORT".
#include "Backend.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <httplib.h>

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

// Every answer has been written to SQLite before it was sent, so the
// process can end at once; waiting for idle keep-alive connections would
// hold a stop for seconds.
void stopServer(int)
{
    std::_Exit(0);
}

int usage(const char *message)
{
    std::fprintf(stderr,
        "tavro-backend: %s\nusage: tavro-backend --port N [--data DIR] [--seed FILE] "
        "[--samples DIR] [--files DIR]\n",
        message);
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
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

    const QString seed = options.value(QStringLiteral("seed"), QStringLiteral(TAVRO_BACKEND_SEED));
    QString error;
    auto config = BackendConfig::load(seed, &error);
    if (!config)
        return usage(error.toLocal8Bit().constData());

    Backend backend { *config, {}, {}, {}, {}, {} };
    backend.samplesDir = options.value(QStringLiteral("samples"), QStringLiteral(TAVRO_BACKEND_SAMPLES));
    backend.filesDir = options.value(QStringLiteral("files"), QStringLiteral(TAVRO_BACKEND_FILES));
    const QString data = options.value(QStringLiteral("data"),
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
            + QStringLiteral("/tavro-backend"));
    if (!backend.store.open(data, backend.config))
        return usage(QStringLiteral("cannot open the data folder %1").arg(data).toLocal8Bit().constData());

    httplib::Server server;
    // Small answers go out at once instead of waiting for the client's ACK.
    server.set_tcp_nodelay(true);
    backend.install(server);
    const int bound = port == 0 ? server.bind_to_any_port("127.0.0.1")
                                : (server.bind_to_port("127.0.0.1", port) ? port : -1);
    if (bound <= 0)
        return usage(QStringLiteral("cannot listen on 127.0.0.1:%1").arg(port).toLocal8Bit().constData());
    backend.baseUrl = QStringLiteral("http://127.0.0.1:%1").arg(bound);
    std::printf("listening on %s\n", backend.baseUrl.toUtf8().constData());
    std::fflush(stdout);

    std::signal(SIGTERM, stopServer);
    std::signal(SIGINT, stopServer);
    server.listen_after_bind();
    return 0;
}
