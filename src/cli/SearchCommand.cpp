// tavro-inspect search BOOKFILE TERM [--from-first] [--from ID] [--max N]
#include "InspectCommand.h"

#include "CliOptions.h"
#include "core/content/BookFormat.h"
#include "core/content/BookUrl.h"
#include "core/content/EPUBManager.h"
#include "core/content/EPUBURLProtcol.h"
#include "core/content/ZipArchive.h"
#include "core/platform/AppResources.h"
#include "core/platform/DataFolder.h"
#include "core/reader/BookSearchText.h"
#include "core/reader/InBookSearch.h"
#include "core/reader/PdfTextSearch.h"
#include "core/reader/htmlSearchParser.h"
#include "core/shelf/LibrarySearchIndex.h"

#include <QFileInfo>

namespace
{

const char *kUsage = "usage: tavro-inspect search BOOKFILE TERM [--from-first] [--from ID] [--max N]";

int searchEpub(const QFileInfo &info, const QString &term, bool fromFirst, QString from, int max)
{
    if (!ZipArchive::open(info.absoluteFilePath()))
        return fail(QStringLiteral("cannot read %1: not a zip archive").arg(info.filePath()));
    const EPUBURLProtcol protocol(info.absolutePath(), AppResources::directory());
    const EPUBManager epub(BookUrl::rootUrl(info.fileName()), &protocol);
    if (epub.spine().isEmpty())
        return fail(QStringLiteral("%1: no readable EPUB package with a spine").arg(info.filePath()));
    const BookSearchText text(epub, &protocol);
    if (from.isNull())
        from = text.items().first().id; // the reader shows the first item
    else if (!fromFirst
        && std::none_of(text.items().cbegin(), text.items().cend(),
            [&from](const BookSearchText::Item &i) { return i.id == from; }))
        return fail(QStringLiteral("%1: no spine item with the id %2").arg(info.filePath(), from));

    htmlSearchParser parser;
    parser.parseXML({}, true, term, text, from, fromFirst, max);
    QVariantList rows;
    const QVariantList toc = epub.toc().value_or(QVariantList {});
    for (const QVariant &v : parser.bookSearchResultMutableArray()) {
        const QVariantMap hit = v.toMap();
        const int page = hit.value(QStringLiteral("page")).toInt();
        QString location = u'\n' + QString::number(page) + QStringLiteral(" - ");
        if (page >= 1 && page <= toc.size())
            location += toc.at(page - 1).toMap().value(QStringLiteral("text")).toString();
        rows.append(QVariantMap {
            { QStringLiteral("title"),
                InBookSearch::titleForText(hit.value(QStringLiteral("text")).toString()) },
            { QStringLiteral("location"), InBookSearch::cutLocation(location).mid(1) },
        });
    }
    QVariant extraRow = QVariant::fromValue(nullptr);
    if (parser.changeFromFirst())
        extraRow = QString::fromUtf8(InBookSearch::kFromFirstText);
    else if (parser.haveMore())
        extraRow = QString::fromLatin1(InBookSearch::kMoreText);
    return printJson(QVariantMap {
        { QStringLiteral("file"), info.fileName() },
        { QStringLiteral("term"), term },
        { QStringLiteral("from"), fromFirst ? QVariant::fromValue(nullptr) : QVariant(from) },
        { QStringLiteral("fromFirst"), fromFirst },
        { QStringLiteral("max"), max },
        { QStringLiteral("results"), parser.bookSearchResultMutableArray() },
        { QStringLiteral("rows"), rows },
        { QStringLiteral("haveMore"), parser.haveMore() },
        { QStringLiteral("changeFromFirst"), parser.changeFromFirst() },
        { QStringLiteral("extraRow"), extraRow },
    });
}

int searchPdf(const QFileInfo &info, const QString &term, int max)
{
    const PdfTextSearch pdf(info.absoluteFilePath());
    const auto hits = pdf.find(term, max);
    if (!hits)
        return fail(QStringLiteral("cannot read %1 as a PDF").arg(info.filePath()));
    QVariantList out;
    for (const PdfHit &hit : *hits)
        out.append(QVariantMap {
            { QStringLiteral("page"), hit.page + 1 },
            { QStringLiteral("label"), hit.label },
            { QStringLiteral("location"), hit.start },
            { QStringLiteral("text"), hit.context },
            { QStringLiteral("textLocation"), hit.contextStart },
        });
    return printJson(QVariantMap {
        { QStringLiteral("file"), info.fileName() },
        { QStringLiteral("term"), term },
        { QStringLiteral("max"), max },
        { QStringLiteral("hits"), out },
        { QStringLiteral("pageCount"), pdf.pageCount() },
    });
}

int searchCommand(const QStringList &args)
{
    QStringList positional;
    bool fromFirst = false;
    QString from;
    std::optional<int> max;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == u"--from-first") {
            fromFirst = true;
        } else if (a == u"--from" && i + 1 < args.size()) {
            from = args.at(++i);
        } else if (a == u"--max" && i + 1 < args.size()) {
            bool ok = false;
            max = args.at(++i).toInt(&ok);
            if (!ok || *max < 1)
                return fail(QStringLiteral("--max needs a whole number of at least 1"), 2);
        } else if (a.startsWith(QStringLiteral("--"))) {
            return fail(QString::fromUtf8(kUsage), 2);
        } else {
            positional << a;
        }
    }
    if (positional.size() != 2 || positional.at(1).isEmpty())
        return fail(QString::fromUtf8(kUsage), 2);
    const QFileInfo info(positional.at(0));
    if (!info.isFile())
        return fail(QStringLiteral("cannot read %1: no such file").arg(positional.at(0)));
    if (formatOf(info.absoluteFilePath()) == BookFormat::Pdf)
        return searchPdf(
            info, positional.at(1), std::min(max.value_or(PdfTextSearch::kMaxHits), PdfTextSearch::kMaxHits));
    return searchEpub(info, positional.at(1), fromFirst, from, max.value_or(InBookSearch::kPageSize));
}

int librarySearchCommand(const QStringList &args)
{
    QStringList positional;
    QVariantMap options;
    if (!splitOptions(args, { QStringLiteral("home"), QStringLiteral("max") }, &positional, &options)
        || positional.size() != 1 || positional.first().isEmpty())
        return fail(QStringLiteral("usage: tavro-inspect library-search TERM [--home DIR] [--max N]"), 2);
    if (options.contains(QStringLiteral("home"))
        && !useHome(options.value(QStringLiteral("home")).toString()))
        return fail(QStringLiteral("cannot use %1 as the home folder")
                        .arg(options.value(QStringLiteral("home")).toString()));
    LibrarySearchIndex index;
    if (!index.isOpen())
        return fail(
            QStringLiteral("cannot open %1: %2").arg(LibrarySearchIndex::defaultPath(), index.lastError()));
    // The index follows the contents folder first, as the shelf's would.
    if (!index.update(DataFolder::contentsFolder()))
        return fail(
            QStringLiteral("cannot update %1: %2").arg(LibrarySearchIndex::defaultPath(), index.lastError()));
    QVariantList hits;
    for (const LibrarySearchIndex::Hit &h :
        index.search(positional.first(), options.value(QStringLiteral("max"), 1000).toInt()))
        hits.append(QVariantMap {
            { QStringLiteral("file"), h.fileName },
            { QStringLiteral("title"), h.title },
            { QStringLiteral("isPdf"), h.isPdf },
            { QStringLiteral("page"), h.page + 1 },
            { QStringLiteral("id"), h.isPdf ? QVariant::fromValue(nullptr) : QVariant(h.manifestId) },
            { QStringLiteral("location"), h.location },
            { QStringLiteral("snippet"), h.snippet },
            { QStringLiteral("markStart"), h.markStart },
            { QStringLiteral("markLength"), h.markLength },
        });
    return printJson(QVariantMap {
        { QStringLiteral("term"), positional.first() },
        { QStringLiteral("books"), index.bookCount() },
        { QStringLiteral("hits"), hits },
    });
}

} // namespace

QList<InspectCommand> searchCommands()
{
    return {
        { QStringLiteral("search"),
            QStringLiteral(
                "search FILE TERM [--from-first] [--from ID] [--max N]\n"
                "                     hits in an EPUB (result dictionaries, More/start flags) or PDF"),
            searchCommand },
        { QStringLiteral("library-search"),
            QStringLiteral("library-search TERM [--home DIR] [--max N]\n"
                           "                     every installed book's pages or chapters holding the term"),
            librarySearchCommand },
    };
}
