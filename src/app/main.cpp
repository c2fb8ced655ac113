// tavro [--config FILE] [--verbose] [FILE.epub|FILE.pdf...]: the e-book client.
#include "app/AppDelegate.h"
#include "core/app/LaunchArguments.h"
#include "core/app/QtTranslations.h"
#include "core/app/SingleInstance.h"
#include "core/library/LibraryStore.h"
#include "core/platform/ServerConfig.h"
#include "core/util/LogRules.h"
#include "ui/app/BookFileOpener.h"
#include "ui/app/MsgBox.h"
#include "ui/reader/EpubScheme.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>
#include <cstdio>

int main(int argc, char *argv[])
{
    // Custom schemes must be known before the application object exists.
    EpubScheme::registerScheme();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavro"));
    QApplication::setApplicationVersion(QStringLiteral(TAVRO_VERSION));
    QApplication::setOrganizationDomain(QStringLiteral("tavro.jp"));
    // Qt's own dialogs and buttons speak the interface's language.
    QtTranslations::install(app);
    // The desktop entry's name: the desktop finds the icon and groups the
    // windows by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("jp.tavro.Tavro"));
    QApplication::setWindowIcon(QIcon::fromTheme(
        QStringLiteral("jp.tavro.Tavro"), QIcon(QStringLiteral(":/icons/jp.tavro.Tavro.png"))));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tavro, the medical e-book reader"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption config(QStringLiteral("config"),
        QStringLiteral("Server base URLs and credentials (INI, see the README)."), QStringLiteral("FILE"));
    parser.addOption(config);
    const QCommandLineOption verbose(QStringLiteral("verbose"),
        QStringLiteral("Log the program's info and debug messages too (QT_LOGGING_RULES still wins)."));
    parser.addOption(verbose);
    parser.addPositionalArgument(QStringLiteral("files"),
        QStringLiteral("EPUB or PDF files to put into the library and open."), QStringLiteral("[FILE...]"));
    parser.process(app);
    LogRules::install(parser.isSet(verbose));
    const QString overrides = parser.isSet(config) ? parser.value(config) : QString();
    if (!overrides.isEmpty() && !QFileInfo(overrides).isReadable()) {
        std::fprintf(stderr, "tavro: cannot read the configuration file %s\n", qPrintable(overrides));
        return 2;
    }
    const ServerConfig servers = ServerConfig::installed(overrides);

    const LaunchArguments::Result launch
        = LaunchArguments::parse(parser.positionalArguments(), QDir::currentPath());
    QStringList problems;
    for (const LaunchArguments::Rejected &r : launch.rejected) {
        std::fprintf(stderr, "tavro: cannot open %s: %s\n", qPrintable(r.argument), qPrintable(r.reason));
        problems << QStringLiteral("%1: %2").arg(r.argument, r.reason);
    }

    // One program per library: a running one takes the files and comes to
    // the front instead.
    const QString instanceName = SingleInstance::defaultServerName();
    if (SingleInstance::sendToRunning(instanceName, launch.files))
        return problems.isEmpty() ? 0 : 1;
    SingleInstance instance;
    instance.listen(instanceName);

    // The library store lives as long as the program; the delegate opens it.
    LibraryStore library;
    AppDelegate delegate(library, servers);
    BookFileOpener opener(delegate);
    QObject::connect(&instance, &SingleInstance::filesReceived, &opener, &BookFileOpener::open);
    delegate.applicationDidFinishLaunching();
    if (!problems.isEmpty() || !launch.files.isEmpty()) {
        QTimer::singleShot(0, &opener, [&opener, &launch, problems] {
            if (!problems.isEmpty())
                MsgBox::errorMessage(problems.join(u'\n'));
            opener.open(launch.files);
        });
    }
    const int rc = app.exec();
    delegate.applicationWillTerminate();
    return rc;
}
