#include "AccountChange.h"

#include "BookMetaData.h"
#include "LibraryStore.h"
#include "core/content/BookFormat.h"
#include "core/platform/DataFolder.h"
#include "core/util/Logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace
{

bool isPdfName(const QString &name)
{
    return formatOfName(name) == BookFormat::Pdf;
}

// A PDF's side files: its outline (".toc") and cover (".cover").
QStringList sideFiles(const QString &bookName)
{
    if (!isPdfName(bookName))
        return {};
    const QString stem = bookName.chopped(4);
    return { stem + QStringLiteral(".toc"), stem + QStringLiteral(".cover") };
}

} // namespace

bool AccountChange::isStoreBook(const BookMetaData &book)
{
    if (book.type)
        return *book.type == QLatin1String(BookMetaData::kTypeStore);
    const QString name = book.fileName.value_or(QString());
    const QString id = book.identifier.value_or(QString());
    return isPdfName(name) && !id.isEmpty() && id != QLatin1String(BookMetaData::kBookIdFromDisk)
        && !id.startsWith(QStringLiteral("local:"));
}

AccountChange::Plan AccountChange::plan(
    const BookRepository &books, const std::optional<QString> &previousUserId)
{
    const QDir contents(DataFolder::contentsFolder());
    QStringList files = contents.entryList(QDir::Files, QDir::Name);
    QSet<QString> goes;
    Plan plan;
    if (previousUserId && !previousUserId->isEmpty()) {
        for (const BookMetaData &book : books.allBooks()) {
            const QString name = book.fileName.value_or(QString());
            if (name.isEmpty() || !files.contains(name) || !isStoreBook(book))
                continue;
            plan.removedBooks << name;
            goes.insert(name);
            for (const QString &side : sideFiles(name))
                if (files.contains(side))
                    goes.insert(side);
        }
    }
    for (const QString &name : files)
        (goes.contains(name) ? plan.removed : plan.kept) << name;
    plan.removedBooks.sort();
    return plan;
}

AccountChange::Plan AccountChange::apply(BookRepository books, const std::optional<QString> &previousUserId)
{
    const Plan wanted = plan(books, previousUserId);
    const QString folder = DataFolder::contentsFolder() + u'/';
    Plan done;
    done.kept = wanted.kept;
    for (const QString &name : wanted.removedBooks) {
        if (!QFile::remove(folder + name) && QFileInfo::exists(folder + name)) {
            qCWarning(lcLibrary) << "cannot remove" << name << "of the previous account";
            done.kept << name;
            continue;
        }
        books.removeBook(name);
        done.removedBooks << name;
        done.removed << name;
        for (const QString &side : sideFiles(name))
            if (wanted.removed.contains(side) && QFile::remove(folder + side))
                done.removed << side;
    }
    done.kept.sort();
    done.removed.sort();
    return done;
}
