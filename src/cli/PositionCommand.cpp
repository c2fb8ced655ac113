// tavro-inspect position BOOKFILE --home DIR: where a book of a library home
// was left: the spine item (EPUB) or page (PDF), the place inside it and the
// share of the whole book.
#include "CliOptions.h"
#include "InspectCommand.h"

#include "core/content/BookFormat.h"
#include "core/content/BookUrl.h"
#include "core/content/EPUBManager.h"
#include "core/library/Library.h"
#include "core/library/LibraryStore.h"
#include "core/platform/DataFolder.h"
#include "core/reader/BookProgress.h"
#include "core/reader/BookSearchText.h"
#include "core/reader/PdfViewState.h"
#include "core/reader/ReadingState.h"

#include <QDir>
#include <QFileInfo>

namespace
{

QVariant orNull(const std::optional<QVariant> &v)
{
    return v ? *v : QVariant::fromValue(nullptr);
}

int positionCommand(const QStringList &args)
{
    QStringList positional;
    QVariantMap o;
    if (!splitOptions(args, { QStringLiteral("home") }, &positional, &o) || positional.size() != 1
        || !o.contains(QStringLiteral("home")))
        return fail(QStringLiteral("usage: position BOOKFILE --home DIR"), 2);
    if (!useHome(o.value(QStringLiteral("home")).toString()))
        return fail(QStringLiteral("cannot use %1 as home").arg(o.value(QStringLiteral("home")).toString()));
    LibraryStore store;
    if (!store.open(LibraryStore::defaultPath()))
        return fail(QStringLiteral("cannot open the library store under %1").arg(QDir::homePath()));
    const Library library(store);
    const QString fileName = QFileInfo(positional.first()).fileName();
    const auto book = library.books().findBookByFileName(fileName);
    if (!book || !book->BookID)
        return fail(QStringLiteral("no book %1 in the library").arg(fileName));
    const qint64 bookID = *book->BookID;
    const auto status = library.books().findStatus(bookID);
    // -1: never read.
    const int page = status && status->lastOpenPage ? int(std::max<qint64>(-1, *status->lastOpenPage)) : -1;
    const QString path = QDir(DataFolder::contentsFolder()).filePath(fileName);

    if (formatOf(fileName) == BookFormat::Pdf) {
        const auto kept = PdfViewState::load(path);
        std::optional<QVariant> share;
        if (kept && kept->pageCount > 0) {
            const int shown = page >= 0 ? page : kept->page;
            const double offset = shown == kept->page ? kept->offset : 0.0;
            share = std::clamp((shown + offset) / kept->pageCount, 0.0, 1.0);
        }
        return printJson(
            QVariantMap { { QStringLiteral("book"), fileName }, { QStringLiteral("format"), "pdf" },
                { QStringLiteral("page"), page >= 0 ? QVariant(page) : QVariant::fromValue(nullptr) },
                { QStringLiteral("offset"), kept ? QVariant(kept->offset) : QVariant::fromValue(nullptr) },
                { QStringLiteral("share"), orNull(share) } });
    }

    // The text lengths kept by the reader, else measured now (not kept: the
    // inspector only reads).
    const EPUBManager epub(BookUrl::rootUrl(fileName));
    if (epub.spine().isEmpty())
        return fail(QStringLiteral("%1: the EPUB cannot be read (no spine)").arg(fileName));
    const QString stamp = BookProgress::stampOf(path);
    const int spineCount = int(epub.spine().size());
    BookProgress progress
        = ReadingState::storedProgress(library.books(), bookID, stamp, spineCount).value_or(BookProgress());
    if (progress.isEmpty())
        progress = BookProgress::measure(BookSearchText(epub), stamp);

    QVariantMap out { { QStringLiteral("book"), fileName }, { QStringLiteral("format"), "epub" },
        { QStringLiteral("spineCount"), spineCount } };
    if (page < 0) {
        out.insert(QStringLiteral("spineIndex"), QVariant::fromValue(nullptr));
        out.insert(QStringLiteral("anchor"), QVariant::fromValue(nullptr));
        out.insert(QStringLiteral("fraction"), QVariant::fromValue(nullptr));
        out.insert(QStringLiteral("share"), QVariant::fromValue(nullptr));
        return printJson(out);
    }
    const ReadingPlace place
        = ReadingState::storedPlace(library.books(), bookID, page).value_or(ReadingPlace::at(page));
    out.insert(place.toVariant());
    out.insert(QStringLiteral("share"), progress.share(place));
    return printJson(out);
}

} // namespace

QList<InspectCommand> positionCommands()
{
    return { { QStringLiteral("position"), QStringLiteral("position BOOKFILE --home DIR"),
        positionCommand } };
}
