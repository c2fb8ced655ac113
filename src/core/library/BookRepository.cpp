#include "BookRepository.h"

#include "BookHighlightMemo.h"
#include "LibraryStore.h"
#include "core/util/Logging.h"

namespace
{

void logFailure(const char *operation)
{
    qCWarning(lcLibrary) << operation << "could not be saved";
}

} // namespace

// ---- books ----

std::optional<BookMetaData> BookRepository::findBookByFileName(const QString &fileName) const
{
    return m_store.findFirst<BookMetaData>(QStringLiteral("\"fileName\"=?"), { fileName });
}

std::optional<BookMetaData> BookRepository::findBookByIdentifier(const QString &identifier) const
{
    return m_store.findFirst<BookMetaData>(QStringLiteral("\"identifier\"=?"), { identifier });
}

std::optional<BookMetaData> BookRepository::findBookByBookID(qint64 bookID) const
{
    return m_store.findFirst<BookMetaData>(QStringLiteral("\"BookID\"=?"), { bookID });
}

std::optional<qint64> BookRepository::findBookIDByBookMetaID(const QString &identifier) const
{
    const auto book = findBookByIdentifier(identifier);
    return book ? book->BookID : std::nullopt;
}

QList<BookMetaData> BookRepository::allBooks() const
{
    return m_store.findAll<BookMetaData>();
}

bool BookRepository::hasBookFile(const QString &fileName) const
{
    return m_store.count<BookMetaData>(QStringLiteral("\"fileName\"=?"), { fileName }) > 0;
}

QList<BookMetaData> BookRepository::recentlyOpened(int limit) const
{
    return m_store.findAll<BookMetaData>(
        QStringLiteral("\"lastOpenDate\" IS NOT NULL"), {}, QStringLiteral("\"lastOpenDate\" DESC"), limit);
}

bool BookRepository::saveBook(BookMetaData &book)
{
    return m_store.save(book);
}

std::optional<BookStatusData> BookRepository::findStatus(qint64 bookID) const
{
    return m_store.findFirst<BookStatusData>(QStringLiteral("\"BookID\"=?"), { bookID });
}

bool BookRepository::saveStatus(BookStatusData &status)
{
    return m_store.save(status);
}

void BookRepository::removeBook(const QString &fileName)
{
    const auto book = findBookByFileName(fileName);
    if (!book)
        return;
    const QVariantList id { book->BookID ? QVariant(*book->BookID) : QVariant() };
    const bool ok = m_store.transaction([&] {
        return m_store.removeAll<BookStatusData>(QStringLiteral("\"BookID\"=?"), id) >= 0
            && m_store.removeAll<BookHighlightMemo>(QStringLiteral("\"BookID\"=?"), id) >= 0
            && m_store.removeAll<BookLabelLink>(QStringLiteral("\"BookID\"=?"), id) >= 0
            && m_store.remove(*book);
    });
    if (!ok)
        logFailure("removeBook");
}

void BookRepository::addBookLabelLinkWithMetaId(const QString &identifier)
{
    const auto book = findBookByIdentifier(identifier);
    if (!book)
        return;
    BookLabelLink link;
    link.BookID = book->BookID;
    link.LabelID = 1;
    link.metaBookId = book->identifier;
    link.UpdateDateTime = QDateTime::currentDateTimeUtc();
    link.Title = book->title;
    link.bookAuthor = book->creator;
    link.leadFlag = 0;
    link.bookDesc = book->bookDesc;
    link.publishDate = book->publishDate;
    link.fileName = book->fileName;
    if (!m_store.insert(link))
        logFailure("addBookLabelLinkWithMetaId");
}

// ---- shelves ----

QList<LabelMaster> BookRepository::labels() const
{
    return m_store.findAll<LabelMaster>({}, {}, QStringLiteral("\"order\" ASC, \"labelID\" ASC"));
}

qint64 BookRepository::getMaxLabelID() const
{
    const auto label = m_store.findFirst<LabelMaster>({}, {}, QStringLiteral("\"labelID\" DESC"));
    return label && label->labelID ? *label->labelID : 1;
}

std::optional<LabelMaster> BookRepository::addLibary(const QString &name)
{
    LabelMaster label;
    label.labelID = getMaxLabelID() + 1;
    label.order = label.labelID;
    label.creatDateTime = QDateTime::currentDateTimeUtc();
    label.labelName = name;
    if (!m_store.insert(label)) {
        logFailure("addLibary");
        return std::nullopt;
    }
    return label;
}

void BookRepository::removeLibaryByLabelID(qint64 labelID)
{
    if (m_store.removeAll<LabelMaster>(QStringLiteral("\"labelID\"=?"), { labelID }) < 0)
        qCWarning(lcLibrary) << "cannot remove shelf" << labelID;
}

std::optional<LabelMaster> BookRepository::getLabelByLabelID(qint64 labelID) const
{
    return m_store.findFirst<LabelMaster>(QStringLiteral("\"labelID\"=?"), { labelID });
}

std::optional<BookLabelLink> BookRepository::getLabelByBookID(qint64 bookID) const
{
    return m_store.findFirst<BookLabelLink>(QStringLiteral("\"BookID\"=?"), { bookID });
}

QList<BookLabelLink> BookRepository::getBookListByLabelID(qint64 labelID) const
{
    return m_store.findAll<BookLabelLink>(QStringLiteral("\"LabelID\"=?"), { labelID });
}

bool BookRepository::bookExistenceInLibary(qint64 labelID, qint64 bookID) const
{
    return m_store.count<BookLabelLink>(QStringLiteral("\"LabelID\"=? AND \"BookID\"=?"), { labelID, bookID })
        > 0;
}

bool BookRepository::saveLabel(LabelMaster &label)
{
    return m_store.save(label);
}

bool BookRepository::saveLink(BookLabelLink &link)
{
    return m_store.save(link);
}

bool BookRepository::saveLabels(LabelMaster &first, LabelMaster &second)
{
    return m_store.transaction([&] { return m_store.save(first) && m_store.save(second); });
}

bool BookRepository::addLibarywithFirstSetup()
{
    if (getLabelByLabelID(1)) {
        qCInfo(lcLibrary) << "マイ本棚を既に追加済み";
        return false;
    }
    LabelMaster label;
    label.creatDateTime = QDateTime::currentDateTimeUtc();
    label.labelName = QStringLiteral("マイ本棚");
    label.labelID = 1;
    label.order = 1;
    if (!m_store.insert(label)) {
        logFailure("addLibarywithFirstSetup");
        return false;
    }
    qCInfo(lcLibrary) << "マイ本棚を追加しました。";
    setLabelLink();
    return true;
}

void BookRepository::setLabelLink()
{
    const auto books
        = m_store.findAll<BookMetaData>(QStringLiteral("\"identifier\" IS NOT NULL AND \"identifier\"<>''"));
    // One transaction: a large library is linked in one write.
    if (!m_store.transaction([&] {
            for (const BookMetaData &book : books)
                addBookLabelLinkWithMetaId(*book.identifier);
            return true;
        }))
        qCWarning(lcLibrary) << "cannot put the books on the first shelf";
}
