// tavro-inspect annotations BOOKFILE --home DIR [--format markdown|json]:
// a book's bookmarks, highlights and memos from a library home, as the
// annotation list exports them.
#include "CliOptions.h"
#include "InspectCommand.h"

#include "core/library/Library.h"
#include "core/library/LibraryStore.h"
#include "core/reader/AnnotationList.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace
{

int annotationsCommand(const QStringList &args)
{
    QStringList positional;
    QVariantMap o;
    if (!splitOptions(args, { QStringLiteral("home"), QStringLiteral("format") }, &positional, &o)
        || positional.size() != 1 || !o.contains(QStringLiteral("home")))
        return fail(QStringLiteral("usage: annotations BOOKFILE --home DIR [--format markdown|json]"), 2);
    const QString format = o.value(QStringLiteral("format"), QStringLiteral("json")).toString();
    if (format != u"json" && format != u"markdown")
        return fail(QStringLiteral("unknown format %1 (markdown or json)").arg(format), 2);
    if (!useHome(o.value(QStringLiteral("home")).toString()))
        return fail(QStringLiteral("cannot use %1 as home").arg(o.value(QStringLiteral("home")).toString()));
    LibraryStore store;
    if (!store.open(LibraryStore::defaultPath()))
        return fail(QStringLiteral("cannot open the library store under %1").arg(QDir::homePath()));
    const Library library(store);
    // The book by its file name in the contents folder (a path names it by
    // its last component).
    const QString fileName = QFileInfo(positional.first()).fileName();
    const auto book = library.books().findBookByFileName(fileName);
    if (!book || !book->BookID)
        return fail(QStringLiteral("no book %1 in the library").arg(fileName));
    const AnnotationList list = AnnotationList::load(library.annotations(), *book->BookID);
    const QString title = book->title.value_or(fileName);
    const QByteArray out = format == u"json" ? list.toJson(title) : list.toMarkdown(title).toUtf8();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return 0;
}

} // namespace

QList<InspectCommand> annotationCommands()
{
    return { { QStringLiteral("annotations"),
        QStringLiteral("annotations BOOKFILE --home DIR [--format markdown|json]"), annotationsCommand } };
}
