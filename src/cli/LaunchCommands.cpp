// tavro-inspect resources / open FILE... --home DIR [--overwrite yes|no] /
// instance-message FILE... / shortcuts
#include "InspectCommand.h"

#include "CliOptions.h"
#include "core/app/InstanceMessage.h"
#include "core/app/LaunchArguments.h"
#include "core/app/QtTranslations.h"
#include "core/app/ShortcutCatalog.h"
#include "core/library/LibraryStore.h"
#include "core/platform/AppResources.h"
#include "core/reader/BookOpening.h"
#include "core/store/BookFileImport.h"
#include "core/store/PackageInstaller.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace
{

class CliImportUi : public InstallerUi
{
public:
    bool overwrite = false;
    QStringList errors;
    bool askOverwrite() override { return overwrite; }
    void error(const QString &message) override { errors << message; }
    void showShelf() override { }
};

QVariantList rejectedList(const QList<LaunchArguments::Rejected> &rejected)
{
    QVariantList list;
    for (const LaunchArguments::Rejected &r : rejected)
        list.append(QVariantMap {
            { QStringLiteral("argument"), r.argument }, { QStringLiteral("reason"), r.reason } });
    return list;
}

int resourcesCommand(const QStringList &args)
{
    if (!args.isEmpty())
        return fail(QStringLiteral("usage: tavro-inspect resources"), 2);
    const QString dir = AppResources::directory();
    return printJson(QVariantMap { { QStringLiteral("directory"), dir },
        { QStringLiteral("found"), !dir.isEmpty() && QFileInfo(dir).isDir() },
        { QStringLiteral("sampleFolder"), AppResources::sampleFolder() },
        // Qt's Japanese catalogues, as the program loads them at start.
        { QStringLiteral("qtTranslations"), QtTranslations::install(*QCoreApplication::instance()) },
        { QStringLiteral("qtTranslationsFolder"), QtTranslations::defaultFolder() } });
}

// What `tavro FILE...` does before the window opens: which arguments are
// books, each installed into the library and described for the reader.
int openCommand(const QStringList &args)
{
    QStringList positional;
    QVariantMap o;
    const QStringList known { QStringLiteral("home"), QStringLiteral("overwrite") };
    if (!splitOptions(args, known, &positional, &o) || positional.isEmpty()
        || !o.contains(QStringLiteral("home")))
        return fail(QStringLiteral("usage: tavro-inspect open FILE... --home DIR [--overwrite yes|no]"), 2);
    const QString overwrite = o.value(QStringLiteral("overwrite"), QStringLiteral("no")).toString();
    if (overwrite != u"yes" && overwrite != u"no")
        return fail(QStringLiteral("--overwrite takes yes or no"), 2);
    const LaunchArguments::Result launch = LaunchArguments::parse(positional, QDir::currentPath());
    LibraryStore store;
    if (!useHome(o.value(QStringLiteral("home")).toString()) || !store.open(LibraryStore::defaultPath()))
        return fail(QStringLiteral("cannot open the library under %1")
                        .arg(o.value(QStringLiteral("home")).toString()));
    CliImportUi ui;
    ui.overwrite = overwrite == u"yes";
    QVariantList opened;
    bool allOpened = launch.rejected.isEmpty();
    for (const QString &file : launch.files) {
        const BookFileImport::Result r = BookFileImport::importFile(BookRepository(store), file, ui);
        QVariantMap row { { QStringLiteral("file"), file }, { QStringLiteral("fileName"), r.fileName },
            { QStringLiteral("installed"), r.installed }, { QStringLiteral("error"), r.error } };
        if (!r.fileName.isEmpty())
            row.insert(QStringLiteral("reader"),
                BookOpening::infoForBook(BookRepository(store), r.fileName).toMap());
        else
            allOpened = false;
        opened.append(row);
    }
    const int printed = printJson(QVariantMap { { QStringLiteral("opened"), opened },
        { QStringLiteral("rejected"), rejectedList(launch.rejected) },
        { QStringLiteral("errors"), ui.errors } });
    return printed != 0 || !allOpened ? 1 : 0;
}

// The line a later start would send to the running program.
int instanceMessageCommand(const QStringList &args)
{
    const LaunchArguments::Result launch = LaunchArguments::parse(args, QDir::currentPath());
    const QByteArray line = InstanceMessage::encode(launch.files);
    return printJson(QVariantMap { { QStringLiteral("message"), QString::fromUtf8(line) },
        { QStringLiteral("files"), launch.files },
        { QStringLiteral("rejected"), rejectedList(launch.rejected) } });
}

// Every keyboard shortcut, as the shortcuts window lists it.
int shortcutsCommand(const QStringList &args)
{
    if (!args.isEmpty())
        return fail(QStringLiteral("usage: tavro-inspect shortcuts"), 2);
    QVariantList list;
    for (const ShortcutEntry &e : ShortcutCatalog::all())
        list.append(
            QVariantMap { { QStringLiteral("screen"), e.screen }, { QStringLiteral("action"), e.action },
                { QStringLiteral("keys"), e.keys.toString(QKeySequence::PortableText) } });
    return printJson(list);
}

} // namespace

QList<InspectCommand> launchCommands()
{
    return {
        { QStringLiteral("resources"), QStringLiteral("resources   the resource folder the program uses"),
            resourcesCommand },
        { QStringLiteral("open"),
            QStringLiteral("open FILE... --home DIR [--overwrite yes|no]   put book files into the library "
                           "for the reader"),
            openCommand },
        { QStringLiteral("instance-message"),
            QStringLiteral(
                "instance-message FILE...   the message a later start sends to the running program"),
            instanceMessageCommand },
        { QStringLiteral("shortcuts"), QStringLiteral("shortcuts   every keyboard shortcut, by screen"),
            shortcutsCommand },
    };
}
