#include "AnnotationRepository.h"

#include "AccountRepository.h"

#include "LibraryStore.h"
#include "core/util/Logging.h"

namespace
{

const QString kNotDeleted = QStringLiteral("IFNULL(\"deleteFlg\",0)=0");
const QString kIsBookmark = QStringLiteral("IFNULL(\"highlightNo\",0)=0");
const QString kIsHighlight = QStringLiteral("\"highlightNo\"<>0");
const QString kByPage = QStringLiteral("\"PageIdx\" ASC");
const QString kByPosition = QStringLiteral("\"startNodeNo\" ASC,\"startNodeOffset\" ASC");

QDateTime now()
{
    return QDateTime::currentDateTimeUtc();
}

QVariant optionalValue(const std::optional<QString> &s)
{
    return s ? QVariant(*s) : QVariant();
}

// The page of a highlight is named by its navigation id when there is one,
// else by its manifest id. "IS" lets an absent id match records without one.
QString pageCondition(
    const std::optional<QString> &naviID, const std::optional<QString> &manifestID, QVariantList &args)
{
    if (naviID) {
        args << *naviID;
        return QStringLiteral("\"NaviID\" IS ?");
    }
    args << optionalValue(manifestID);
    return QStringLiteral("\"manifestId\" IS ?");
}

void logFailure(const char *operation)
{
    qCWarning(lcLibrary) << operation << "could not be saved";
}

} // namespace

// ---- annotations ----

std::optional<BookHighlightMemo> AnnotationRepository::findBookmarkRecord(qint64 pageIdx, qint64 bookID) const
{
    return m_store.findFirst<BookHighlightMemo>(
        QStringLiteral("\"BookID\"=? AND \"PageIdx\"=? AND ") + kIsBookmark, { bookID, pageIdx });
}

bool AnnotationRepository::checkBookMark(qint64 pageIdx, qint64 bookID) const
{
    return m_store.count<BookHighlightMemo>(QStringLiteral("\"BookID\"=? AND \"PageIdx\"=? AND ")
                   + kNotDeleted + QStringLiteral(" AND ") + kIsBookmark,
               { bookID, pageIdx })
        > 0;
}

void AnnotationRepository::upsertBookMark(qint64 pageIdx, const std::optional<QString> &manifestId,
    const std::optional<QString> &metaBookID, qint64 bookID, bool deleted)
{
    const auto found = findBookmarkRecord(pageIdx, bookID);
    // Removing a bookmark the page does not have changes nothing: a record
    // made for it would belong to no page and no book.
    if (deleted && !found)
        return;
    BookHighlightMemo mark = found.value_or(BookHighlightMemo());
    if (!deleted) {
        mark.BookID = bookID;
        mark.PageIdx = pageIdx;
        mark.manifestId = manifestId;
        mark.highlightNo = 0;
        mark.udId = AccountRepository::deviceIdentifier();
        mark.user = AccountRepository(m_store).currentUserId();
        mark.metaBookID = metaBookID;
    }
    mark.updateTime = now();
    mark.deleteFlg = deleted ? 1 : 0;
    if (!m_store.save(mark))
        logFailure("upsertBookMark");
}

void AnnotationRepository::updateBookMark(qint64 pageIdx, qint64 bookID, const std::optional<QString> &title)
{
    auto found = findBookmarkRecord(pageIdx, bookID);
    BookHighlightMemo mark = found.value_or(BookHighlightMemo());
    if (!found) {
        // A record made here must still be this page's bookmark, or it would
        // be an orphan that no query finds and sync would upload bookless.
        mark.BookID = bookID;
        mark.PageIdx = pageIdx;
        mark.highlightNo = 0;
        mark.deleteFlg = 0;
    }
    mark.updateTime = now();
    mark.updateUdId = title;
    if (!m_store.save(mark))
        logFailure("updateBookMark");
}

QList<BookHighlightMemo> AnnotationRepository::findAllBookMarkByBookID(qint64 bookID) const
{
    return m_store.findAll<BookHighlightMemo>(
        QStringLiteral("\"BookID\"=? AND ") + kNotDeleted + QStringLiteral(" AND ") + kIsBookmark, { bookID },
        kByPage);
}

QList<BookHighlightMemo> AnnotationRepository::findAllHighlightByBookID(qint64 bookID) const
{
    return m_store.findAll<BookHighlightMemo>(QStringLiteral("\"BookID\"=? AND ") + kNotDeleted
            + QStringLiteral(" AND ") + kIsHighlight + QStringLiteral(" AND \"memotext\" IS NULL"),
        { bookID }, kByPage);
}

QList<BookHighlightMemo> AnnotationRepository::findAllMemoByBookID(qint64 bookID) const
{
    return m_store.findAll<BookHighlightMemo>(QStringLiteral("\"BookID\"=? AND ") + kNotDeleted
            + QStringLiteral(" AND ") + kIsHighlight + QStringLiteral(" AND \"memotext\" IS NOT NULL"),
        { bookID }, kByPage);
}

qint64 AnnotationRepository::getMaxHighlightNoWithBookID(
    qint64 bookID, const std::optional<QString> &naviID, const std::optional<QString> &manifestID) const
{
    QVariantList args { bookID };
    const QString page = pageCondition(naviID, manifestID, args);
    const auto top = m_store.findFirst<BookHighlightMemo>(
        QStringLiteral("\"BookID\"=? AND ") + page, args, QStringLiteral("\"highlightNo\" DESC"));
    return top ? top->highlightNo.value_or(0) : 0;
}

std::optional<BookHighlightMemo> AnnotationRepository::addBookHighlightMemoWithBookID(qint64 bookID,
    const std::optional<QString> &naviID, const std::optional<QString> &manifestID, qint64 pageIdx,
    qint64 highlightNo, qint64 startNodeNo, qint64 startNodeOffset, qint64 endNodeNo, qint64 endNodeOffset,
    const std::optional<QDateTime> &memodate, const std::optional<QString> &memotext,
    const std::optional<QString> &gpsInfo, qint64 twitterFlg, qint64 facebookFlg,
    const std::optional<QString> &contentTitle, const std::optional<QString> &metaBookID)
{
    BookHighlightMemo record;
    record.BookID = bookID;
    record.NaviID = naviID;
    record.manifestId = manifestID;
    record.PageIdx = pageIdx;
    record.highlightNo = highlightNo;
    record.startNodeNo = startNodeNo;
    record.startNodeOffset = startNodeOffset;
    record.endNodeNo = endNodeNo;
    record.endNodeOffset = endNodeOffset;
    record.memodate = memodate;
    record.memotext = memotext;
    record.gpsInfo = gpsInfo;
    record.twitterFlg = twitterFlg;
    record.facebookFlg = facebookFlg;
    record.contentTitle = contentTitle;
    record.metaBookID = metaBookID;
    // One read of the configuration file for both fields.
    record.udId = AccountRepository::deviceIdentifier();
    record.updateUdId = record.udId;
    record.user = AccountRepository(m_store).currentUserId();
    record.updateTime = now();
    record.deleteFlg = 0;
    if (!m_store.insert(record)) {
        logFailure("addBookHighlightMemoWithBookID");
        return std::nullopt;
    }
    return record;
}

QList<BookHighlightMemo> AnnotationRepository::getBookHighlightMemosNotSiori(
    qint64 bookID, const std::optional<QString> &naviID, const std::optional<QString> &manifestID) const
{
    QVariantList args { bookID };
    const QString page = pageCondition(naviID, manifestID, args);
    return m_store.findAll<BookHighlightMemo>(QStringLiteral("\"BookID\"=? AND ") + page
            + QStringLiteral(" AND ") + kIsHighlight + QStringLiteral(" AND ") + kNotDeleted,
        args, kByPosition);
}

QList<BookHighlightMemo> AnnotationRepository::getBookHighlightMemosNotSioriWithRange(qint64 bookID,
    const std::optional<QString> &naviID, const std::optional<QString> &manifestID, qint64 s, qint64 so,
    qint64 e, qint64 eo) const
{
    QVariantList args { bookID };
    const QString page = pageCondition(naviID, manifestID, args);
    // A highlight [start, end] overlaps the range [S, E] when it contains S,
    // contains E (both ends inclusive), or lies strictly between them.
    const QString contains
        = QStringLiteral("((\"startNodeNo\"<? OR (\"startNodeNo\"=? AND \"startNodeOffset\"<=?))"
                         " AND (\"endNodeNo\">? OR (\"endNodeNo\"=? AND \"endNodeOffset\">=?)))");
    const QString inside
        = QStringLiteral("((\"startNodeNo\">? OR (\"startNodeNo\"=? AND \"startNodeOffset\">?))"
                         " AND (\"endNodeNo\"<? OR (\"endNodeNo\"=? AND \"endNodeOffset\"<?)))");
    args << s << s << so << s << s << so;
    args << e << e << eo << e << e << eo;
    args << s << s << so << e << e << eo;
    return m_store.findAll<BookHighlightMemo>(QStringLiteral("\"BookID\"=? AND ") + page
            + QStringLiteral(" AND ") + kIsHighlight + QStringLiteral(" AND (") + contains
            + QStringLiteral(" OR ") + contains + QStringLiteral(" OR ") + inside + QStringLiteral(") AND ")
            + kNotDeleted,
        args, kByPosition);
}

std::optional<BookHighlightMemo> AnnotationRepository::getBookHighlightMemoWithBookID(qint64 bookID,
    const std::optional<QString> &naviID, const std::optional<QString> &manifestID, qint64 highlightNo,
    const std::optional<QString> &udId) const
{
    QVariantList args { bookID };
    QString where = QStringLiteral("\"BookID\"=? AND ") + pageCondition(naviID, manifestID, args)
        + QStringLiteral(" AND \"highlightNo\"=?");
    args << highlightNo;
    if (udId) {
        where += QStringLiteral(" AND \"udId\"=?");
        args << *udId;
    }
    where += QStringLiteral(" AND ") + kNotDeleted;
    return m_store.findFirst<BookHighlightMemo>(where, args);
}

void AnnotationRepository::deleteUploadedBookMark()
{
    // A failure leaves them marked: they are sent again, which the server takes.
    if (m_store.removeAll<BookHighlightMemo>(QStringLiteral("\"deleteFlg\"=1")) < 0)
        qCWarning(lcLibrary) << "cannot remove the uploaded deletions";
}

bool AnnotationRepository::saveRecord(BookHighlightMemo &record)
{
    return m_store.save(record);
}

bool AnnotationRepository::markDeleted(BookHighlightMemo &record)
{
    record.deleteFlg = 1;
    record.updateTime = now();
    return m_store.save(record);
}

std::optional<BookHighlightMemo> AnnotationRepository::getBookHighlightMemoWithoutDevice(
    qint64 bookID, const QString &naviID, qint64 highlightNo) const
{
    return m_store.findFirst<BookHighlightMemo>(
        QStringLiteral("\"BookID\"=? AND \"NaviID\"=? AND \"highlightNo\"=? AND IFNULL(\"udId\",'')='' AND ")
            + kNotDeleted,
        { bookID, naviID, highlightNo });
}

bool AnnotationRepository::transaction(const std::function<bool()> &body)
{
    return m_store.transaction(body);
}

QList<BookHighlightMemo> AnnotationRepository::pendingUpload(const std::optional<QDateTime> &lastSync) const
{
    QVariantList args;
    QString where = QStringLiteral("\"deleteFlg\"=1 OR (\"syncedTime\" IS NOT NULL AND \"syncedTime\" IS NOT "
                                   "\"updateTime\") OR (\"syncedTime\" IS NULL");
    if (lastSync) {
        where += QStringLiteral(" AND \"updateTime\" >= ?");
        args << *lastSync;
    }
    return m_store.findAll<BookHighlightMemo>(where + u')', args);
}

bool AnnotationRepository::markUploaded(
    const QList<UploadedRecord> &deletions, const QList<UploadedRecord> &inserts)
{
    auto stamp = [](const QDateTime &t) { return t.isValid() ? QVariant(t) : QVariant(); };
    return m_store.transaction([&] {
        // Only what the server received, and has not changed since, counts
        // as sent.
        for (const auto &[pk, updateTime] : deletions)
            if (m_store.execute(QStringLiteral("DELETE FROM \"BookHighlightMemo\" WHERE \"pk\"=? AND "
                                               "\"deleteFlg\"=1 AND \"updateTime\" IS ?"),
                    { pk, stamp(updateTime) })
                < 0)
                return false;
        for (const auto &[pk, updateTime] : inserts)
            if (m_store.execute(
                    QStringLiteral("UPDATE \"BookHighlightMemo\" SET \"syncedTime\"=\"updateTime\" "
                                   "WHERE \"pk\"=? AND \"updateTime\" IS ?"),
                    { pk, stamp(updateTime) })
                < 0)
                return false;
        return true;
    });
}

QList<BookHighlightMemo> AnnotationRepository::findAllByMetaBookID(const QString &metaBookID) const
{
    return m_store.findAll<BookHighlightMemo>(QStringLiteral("\"metaBookID\"=?"), { metaBookID });
}

QString AnnotationRepository::fingerprint(const QString &metaBookID) const
{
    return m_store.database()
        .scalar(
            QStringLiteral("SELECT COUNT(*) || ':' || IFNULL(MAX(\"pk\"),0) || ':' || "
                           "IFNULL(SUM(\"updateTime\" % 1000000007),0) || ':' || "
                           "IFNULL(SUM(\"syncedTime\" % 1000000007),0) || ':' || "
                           "IFNULL(SUM(\"deleteFlg\"),0) FROM \"BookHighlightMemo\" WHERE \"metaBookID\"=?"),
            { metaBookID })
        .toString();
}

QString AnnotationRepository::storeFile() const
{
    return m_store.path();
}

bool AnnotationRepository::insertRecord(BookHighlightMemo &record)
{
    return m_store.insert(record);
}

bool AnnotationRepository::updateRecord(const BookHighlightMemo &record)
{
    return m_store.update(record);
}

bool AnnotationRepository::removeRecord(const BookHighlightMemo &record)
{
    return m_store.remove(record);
}
