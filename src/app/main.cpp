// tavro [--config FILE]: the e-book client.
#include "core/library/LibraryStore.h"
#include "core/platform/ServerConfig.h"
#include "ui/app/AppDelegate.h"
#include "ui/reader/EpubScheme.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char *argv[])
{
    // Custom schemes must be known before the application object exists.
    EpubScheme::registerScheme();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavro"));
    QApplication::setApplicationVersion(QStringLiteral(TAVRO_VERSION));
    QApplication::setOrganizationDomain(QStringLiteral("tavro.jp"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tavro, the medical e-book reader"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption config(QStringLiteral("config"),
        QStringLiteral("Server base URLs and credentials (INI, see the README)."), QStringLiteral("FILE"));
    parser.addOption(config);
    parser.process(app);
    if (parser.isSet(config)) {
        const QString file = parser.value(config);
        if (!QFileInfo(file).isReadable()) {
            std::fprintf(stderr, "tavro: cannot read the configuration file %s\n", qPrintable(file));
            return 2;
        }
        ServerConfig::setOverridesFile(file);
    }

    AppDelegate delegate(ServerConfig::shared());
    delegate.applicationDidFinishLaunching();
    const int rc = app.exec();
    delegate.applicationWillTerminate();
    LibraryStore::cleanUp();
    return rc;
}
