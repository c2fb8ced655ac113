// tavro-inspect recent-books --home DIR
#include "InspectCommand.h"

#include "CliOptions.h"
#include "core/library/LibraryStore.h"
#include "core/top/TopLogic.h"

namespace
{

// The top screen's recent books, newest first, with the text of each row.
int recentBooksCommand(const QStringList &args)
{
    QStringList positional;
    QVariantMap o;
    if (!splitOptions(args, { QStringLiteral("home") }, &positional, &o) || !positional.isEmpty()
        || !o.contains(QStringLiteral("home")))
        return fail(QStringLiteral("usage: tavro-inspect recent-books --home DIR"), 2);
    LibraryStore store;
    if (!useHome(o.value(QStringLiteral("home")).toString()) || !store.open(LibraryStore::defaultPath()))
        return fail(QStringLiteral("cannot open the library under %1")
                        .arg(o.value(QStringLiteral("home")).toString()));
    QVariantList rows;
    for (const BookMetaData &b : TopLogic::recentItems(BookRepository(store)))
        rows.append(QVariantMap { { QStringLiteral("fileName"), b.fileName.value_or(QString()) },
            { QStringLiteral("text"), TopLogic::recentBookText(b) } });
    const int printed = printJson(rows);
    return printed;
}

} // namespace

QList<InspectCommand> topCommands()
{
    return { { QStringLiteral("recent-books"),
        QStringLiteral("recent-books --home DIR   the top screen's recent books and their row texts"),
        recentBooksCommand } };
}
