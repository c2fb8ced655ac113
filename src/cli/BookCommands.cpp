// tavro-inspect book FILE / entry FILE PATH
#include "InspectCommand.h"

#include "core/content/BookUrl.h"
#include "core/content/EPUBManager.h"
#include "core/content/EPUBURLProtcol.h"
#include "core/content/XML2DicParser.h"
#include "core/content/ZipArchive.h"
#include "core/platform/AppResources.h"

#include <QFileInfo>
#include <cstdio>

namespace
{

struct OpenedBook {
    QString fileName;
    EPUBURLProtcol protocol;
};

// The resolver serves the folder holding FILE, so any file can be inspected.
std::optional<OpenedBook> openBook(const QString &file, QString *error)
{
    const QFileInfo info(file);
    if (!info.isFile()) {
        *error = QStringLiteral("cannot read %1: no such file").arg(file);
        return std::nullopt;
    }
    if (!ZipArchive::open(info.absoluteFilePath())) {
        *error = QStringLiteral("cannot read %1: not a zip archive").arg(file);
        return std::nullopt;
    }
    return OpenedBook { info.fileName(), EPUBURLProtcol(info.absolutePath(), AppResources::directory()) };
}

int bookCommand(const QStringList &args)
{
    if (args.size() != 1)
        return fail(QStringLiteral("usage: tavro-inspect book FILE"), 2);
    QString error;
    auto book = openBook(args.first(), &error);
    if (!book)
        return fail(error);
    // A package document the parser refused (nested too deeply) leaves the
    // manager without its part; say so rather than print a partial book.
    XML2DicParser::ErrorCollector xmlErrors;
    EPUBManager epub(BookUrl::rootUrl(book->fileName), &book->protocol);
    if (!xmlErrors.errors().isEmpty())
        return fail(QStringLiteral("%1: the EPUB package cannot be read: %2")
                        .arg(args.first(), xmlErrors.errors().join(QStringLiteral("; "))));
    if (!epub.contentURL().isValid())
        return fail(
            QStringLiteral("%1 has no readable EPUB package (META-INF/container.xml)").arg(args.first()));
    // Without a spine there is nothing to read: an unreadable or foreign
    // package document, not an empty book.
    if (epub.spine().isEmpty())
        return fail(QStringLiteral("%1: the EPUB package has no spine (no itemref names a manifest item)")
                        .arg(args.first()));

    QVariantList manifest;
    for (auto it = epub.manifest().cbegin(); it != epub.manifest().cend(); ++it) {
        const QVariantMap item = it.value().toMap();
        manifest.append(QVariantMap { { QStringLiteral("id"), it.key() },
            { QStringLiteral("href"), item.value(QStringLiteral("href")) },
            { QStringLiteral("media-type"), item.value(QStringLiteral("media-type")) } });
    }
    QVariantList spine;
    for (const QVariant &item : epub.spine())
        spine.append(item.toMap().value(QStringLiteral("id")));
    QVariantMap out {
        { QStringLiteral("file"), book->fileName },
        { QStringLiteral("contentPath"), epub.contentURL().path(QUrl::FullyDecoded) },
        { QStringLiteral("metadata"), epub.metadata() },
        { QStringLiteral("manifest"), manifest },
        { QStringLiteral("spine"), spine },
        { QStringLiteral("toc"), epub.toc() ? QVariant(*epub.toc()) : QVariant::fromValue(nullptr) },
        { QStringLiteral("coverPath"),
            epub.coverPath() ? QVariant(*epub.coverPath()) : QVariant::fromValue(nullptr) },
    };
    return printJson(out);
}

int entryCommand(const QStringList &args)
{
    if (args.size() != 2)
        return fail(QStringLiteral("usage: tavro-inspect entry FILE PATH"), 2);
    QString error;
    auto book = openBook(args.at(0), &error);
    if (!book)
        return fail(error);
    const EpubResponse r = book->protocol.startLoading(BookUrl::entryUrl(book->fileName, args.at(1)));
    std::fprintf(stderr, "status %d\n", r.status);
    for (const auto &[name, value] : r.headers)
        std::fprintf(stderr, "%s: %s\n", name.constData(), value.constData());
    if (r.incomplete)
        return fail(QStringLiteral("entry %1 of %2 cannot be read whole: the archive is damaged")
                        .arg(args.at(1), args.at(0)));
    if (r.failed())
        return fail(QStringLiteral("no entry %1 in %2 (%3 %4)")
                        .arg(args.at(1), args.at(0), r.errorDomain)
                        .arg(r.errorCode));
    std::fwrite(r.data->constData(), 1, size_t(r.data->size()), stdout);
    // The bytes are served as the reader would get them, but a damaged
    // archive must not pass for a good one.
    if (r.crcMismatch)
        return fail(QStringLiteral("entry %1 of %2 does not match its CRC: the archive is damaged")
                        .arg(args.at(1), args.at(0)));
    return 0;
}

} // namespace

QList<InspectCommand> bookCommands()
{
    return {
        { QStringLiteral("book"),
            QStringLiteral("book FILE          the EPUB package: metadata, manifest, spine, toc, cover"),
            bookCommand },
        { QStringLiteral("entry"),
            QStringLiteral("entry FILE PATH    the bytes served for an entry (type and status on stderr)"),
            entryCommand },
    };
}
