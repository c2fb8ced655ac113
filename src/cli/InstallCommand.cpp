// tavro-inspect install FILE --home DIR [--overwrite yes|no] [--info QUERY] [--from store|disk]
#include "InspectCommand.h"

#include "CliOptions.h"
#include "core/content/XML2DicParser.h"
#include "core/dictionary/DictionaryManager.h"
#include "core/library/LibraryStore.h"
#include "core/store/DownloadSheetModel.h"
#include "core/store/PackageInstaller.h"
#include "core/util/StringHelpers.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>
#include <cstdio>

namespace
{

class CliInstallerUi : public InstallerUi
{
public:
    bool overwrite = false;
    QStringList errors;
    int shelves = 0;
    bool askOverwrite() override { return overwrite; }
    void error(const QString &message) override { errors << message; }
    void showShelf() override { ++shelves; }
    // Each dictionary import's end: its result and what the download
    // sheet would say.
    DownloadSheetModel sheet;
    QVariantList imports;
    void importProgress(const QVariantMap &notification) override
    {
        const QString message = sheet.importNotified(notification);
        if (notification.value(QStringLiteral("status")).toInt() == 2)
            imports.append(
                QVariantMap { { QStringLiteral("result"), notification.value(QStringLiteral("result")) },
                    { QStringLiteral("message"), message } });
    }
};

int installCommand(const QStringList &args)
{
    QStringList positional;
    QVariantMap o;
    const QStringList known { QStringLiteral("home"), QStringLiteral("overwrite"), QStringLiteral("info"),
        QStringLiteral("from") };
    if (!splitOptions(args, known, &positional, &o) || positional.size() != 1
        || !o.contains(QStringLiteral("home")))
        return fail(
            QStringLiteral("usage: tavro-inspect install FILE --home DIR [--overwrite yes|no] [--info QUERY] "
                           "[--from store|disk]"),
            2);
    const QString overwrite = o.value(QStringLiteral("overwrite"), QStringLiteral("no")).toString();
    if (overwrite != u"yes" && overwrite != u"no")
        return fail(QStringLiteral("--overwrite takes yes or no"), 2);
    const QString from = o.value(QStringLiteral("from"), QStringLiteral("disk")).toString();
    if (from != u"store" && from != u"disk")
        return fail(QStringLiteral("--from takes store or disk"), 2);
    const QFileInfo file(positional.first());
    if (!file.isFile())
        return fail(QStringLiteral("cannot read %1: no such file").arg(positional.first()));
    LibraryStore store;
    if (!useHome(o.value(QStringLiteral("home")).toString()) || !store.open(LibraryStore::defaultPath()))
        return fail(QStringLiteral("cannot open the library under %1")
                        .arg(o.value(QStringLiteral("home")).toString()));

    CliInstallerUi ui;
    ui.overwrite = overwrite == u"yes";
    DictionaryManager dictionaries(store);
    PackageInstaller installer(BookRepository(store), ui, &dictionaries);
    installer.fromStore = from == u"store";
    // Package documents the parser refused (nested too deeply) are installed
    // without their metadata; the exit code says so.
    XML2DicParser::ErrorCollector xmlErrors;
    installer.install(
        file.absoluteFilePath(), file.fileName(), query2dic(o.value(QStringLiteral("info")).toString()));
    // A dictionary import goes on in the background: wait for its end.
    while (installer.analyzing()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(5);
    }

    QVariantList books;
    for (const BookMetaData &b : store.findAll<BookMetaData>({}, {}, QStringLiteral("\"BookID\"")))
        books.append(QVariantMap { { QStringLiteral("BookID"), b.BookID.value_or(0) },
            { QStringLiteral("fileName"), b.fileName.value_or(QString()) },
            { QStringLiteral("identifier"), b.identifier.value_or(QString()) },
            { QStringLiteral("title"), b.title.value_or(QString()) } });
    const int printed = printJson(QVariantMap { { QStringLiteral("installed"), installer.installed },
        { QStringLiteral("refused"), installer.refused }, { QStringLiteral("errors"), ui.errors },
        { QStringLiteral("shelfReloaded"), ui.shelves > 0 }, { QStringLiteral("library"), books },
        { QStringLiteral("dictionaryImports"), ui.imports } });
    for (const QString &e : xmlErrors.errors())
        fail(QStringLiteral("%1: a package document cannot be read: %2").arg(positional.first(), e));
    if (printed != 0 || !xmlErrors.errors().isEmpty())
        return 1;
    return installer.installed.isEmpty() && !ui.errors.isEmpty() ? 1 : 0;
}

} // namespace

QList<InspectCommand> installCommands()
{
    return { { QStringLiteral("install"),
        QStringLiteral(
            "install FILE --home DIR [--overwrite yes|no] [--info QUERY] [--from store|disk]   install a "
            "downloaded file (--from store: a download of the store screen)"),
        installCommand } };
}
