// tavro-inspect account-change --home DIR
#include "InspectCommand.h"

#include "CliOptions.h"
#include "core/library/AccountChange.h"
#include "core/library/Library.h"
#include "core/library/LibraryStore.h"

namespace
{

// What signing in with another account would remove from the library under
// DIR, without removing anything.
int accountChangeCommand(const QStringList &args)
{
    QStringList positional;
    QVariantMap o;
    if (!splitOptions(args, { QStringLiteral("home") }, &positional, &o) || !positional.isEmpty()
        || !o.contains(QStringLiteral("home")))
        return fail(QStringLiteral("usage: tavro-inspect account-change --home DIR"), 2);
    const QString home = o.value(QStringLiteral("home")).toString();
    LibraryStore store;
    if (!useHome(home) || !store.open(LibraryStore::defaultPath()))
        return fail(QStringLiteral("cannot open the library under %1").arg(home));
    const Library library(store);
    const std::optional<QString> user = library.account().currentUserId();
    const AccountChange::Plan plan = AccountChange::plan(library.books(), user);
    const int printed = printJson(QVariantMap {
        { QStringLiteral("previousUser"), user && !user->isEmpty() ? QVariant(*user) : QVariant() },
        { QStringLiteral("kept"), plan.kept },
        { QStringLiteral("removed"), plan.removed },
        { QStringLiteral("removedBooks"), plan.removedBooks },
    });
    return printed;
}

} // namespace

QList<InspectCommand> accountCommands()
{
    return { { QStringLiteral("account-change"),
        QStringLiteral("account-change --home DIR   what signing in with another account would remove"),
        accountChangeCommand } };
}
