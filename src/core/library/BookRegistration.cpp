// Book registration: BookRepository::parseBook, parsePDFBook and parseLooseBook.
#include "BookRepository.h"

#include "LibraryStore.h"
#include "core/content/BookFormat.h"
#include "core/content/BookUrl.h"
#include "core/content/EPUBManager.h"
#include "core/util/DictionaryHelpers.h"
#include "core/util/Logging.h"

#include <QFileInfo>
#include <QLocale>

namespace
{

QString lastComponent(const QString &path)
{
    return path.section(u'/', -1);
}

std::optional<QString> metadataText(const QVariantMap &metadata, const char *key)
{
    return stringForKey(metadata, QString::fromLatin1(key));
}

std::optional<qint64> printValue(const QVariant &v)
{
    if (!v.isValid() || !(isNumberVariant(v) || isStringVariant(v)))
        return std::nullopt;
    if (isNumberVariant(v))
        return v.toLongLong();
    // An integer read from text: leading digits count, anything else is 0.
    const QString s = v.toString().trimmed();
    qsizetype end = (s.startsWith(u'-') || s.startsWith(u'+')) ? 1 : 0;
    while (end < s.size() && s.at(end).isDigit())
        ++end;
    return s.left(end).toLongLong();
}

// The identifier of a PDF registered from the contents folder alone.
QString localIdentifier(const QString &fileName)
{
    return QStringLiteral("local:") + fileName;
}

// The record's origin: a store download, or absent (from disk, a sample, a
// file found in the contents folder). The last registration of a record
// decides, as it does for the record's file name.
std::optional<QString> originMark(bool fromStore)
{
    return fromStore ? std::optional<QString>(QString::fromLatin1(BookMetaData::kTypeStore)) : std::nullopt;
}

} // namespace

// The record to fill: the book with this identifier; a book without one is
// matched by file name only, so that two unreadable books never share (and
// overwrite) one record.
BookMetaData BookRepository::findOrMake(
    const std::optional<QString> &identifier, const QString &fileName) const
{
    std::optional<BookMetaData> found;
    if (identifier)
        found = findBookByIdentifier(*identifier);
    else
        found = m_store.findFirst<BookMetaData>(
            QStringLiteral("\"identifier\" IS NULL AND \"fileName\"=?"), { fileName });
    return found.value_or(BookMetaData());
}

// Gives the book the next BookID, moves what belonged to its earlier BookID
// along, saves it and puts it on shelf 1 unless it already stands there, all
// in one transaction: a crash never leaves a book on no shelf.
bool BookRepository::saveRegistration(BookMetaData &book)
{
    LibraryStore &store = m_store;
    const std::optional<qint64> oldID = book.pk ? book.BookID : std::nullopt;
    const bool ok = store.transaction([&] {
        const auto top = store.findFirst<BookMetaData>({}, {}, QStringLiteral("\"BookID\" DESC"));
        const qint64 newID = (top && top->BookID ? *top->BookID : 0) + 1;
        book.BookID = newID;
        if (!store.save(book))
            return false;
        if (oldID && *oldID != newID) {
            for (const char *entity : { "BookStatusData", "BookHighlightMemo", "BookLabelLink" }) {
                if (store.execute(QStringLiteral("UPDATE \"%1\" SET \"BookID\"=? WHERE \"BookID\"=?")
                                      .arg(QLatin1String(entity)),
                        { newID, *oldID })
                    < 0)
                    return false;
            }
        }
        if (book.identifier && !bookExistenceInLibary(1, newID)) {
            const qint64 links = store.count<BookLabelLink>();
            addBookLabelLinkWithMetaId(*book.identifier);
            if (store.count<BookLabelLink>() != links + 1)
                return false;
        }
        return true;
    });
    if (!ok)
        qCWarning(lcLibrary) << "registration of" << book.fileName.value_or(QString())
                             << "could not be saved";
    return ok;
}

std::optional<QDateTime> BookRepository::publishDateFromText(const QString &text)
{
    const QDate date = QLocale::c().toDate(text, QStringLiteral("yyyy-M-d"));
    if (!date.isValid())
        return std::nullopt;
    return date.startOfDay();
}

bool BookRepository::parseBook(const QString &path, bool fromStore)
{
    const QString fileName = lastComponent(path);
    const EPUBManager epub(BookUrl::rootUrl(fileName));
    const QVariantMap &metadata = epub.metadata();
    const auto identifier = metadataText(metadata, "dc:identifier");

    BookMetaData book = findOrMake(identifier, fileName);
    book.identifier = identifier;
    book.language = metadataText(metadata, "dc:language");
    book.creator = metadataText(metadata, "dc:creator");
    book.publisher = metadataText(metadata, "dc:publisher");
    const auto date = metadataText(metadata, "dc:date");
    book.publishDate = date ? publishDateFromText(*date) : std::nullopt;
    book.title = metadataText(metadata, "dc:title");
    book.splash = metadataText(metadata, "dc:splash");
    book.fileName = fileName;
    if (const auto print = printValue(metadata.value(QStringLiteral("print"))))
        book.printable = print;
    book.type = originMark(fromStore);
    return saveRegistration(book);
}

void BookRepository::parsePDFBook(const QString &path, const QVariantMap &info, bool fromStore)
{
    const QString fileName = lastComponent(path);
    const auto identifier = stringForKey(info, QStringLiteral("bookId"));

    BookMetaData book = findOrMake(identifier, fileName);
    // A PDF registered from disk (after an interrupted download, say) that
    // now comes from the store is the same book: one record per file.
    if (!book.pk && identifier)
        book = findBookByIdentifier(localIdentifier(fileName)).value_or(book);
    book.identifier = identifier;
    book.creator = stringForKey(info, QStringLiteral("bookAuthor"));
    book.publisher = stringForKey(info, QStringLiteral("bookPublisher"));
    book.title = stringForKey(info, QStringLiteral("bookTitle"));
    if (const auto print = printValue(info.value(QStringLiteral("print"))))
        book.printable = print;
    book.fileName = fileName;
    book.type = originMark(fromStore);
    saveRegistration(book);
}

void BookRepository::parseLooseBook(const QString &path)
{
    const QFileInfo file(path);
    if (formatOf(path) == BookFormat::Pdf)
        parsePDFBook(path,
            { { QStringLiteral("bookId"), localIdentifier(file.fileName()) },
                { QStringLiteral("bookTitle"), file.completeBaseName() } });
    else
        parseBook(path);
}
