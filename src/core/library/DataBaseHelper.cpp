#include "DataBaseHelper.h"

#include "LibraryStore.h"
#include "core/platform/ConfigDictionary.h"
#include "core/platform/DataFolder.h"
#include "core/util/DictionaryHelpers.h"
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

LibraryStore &DataBaseHelper::store()
{
    return LibraryStore::main();
}

std::optional<QString> DataBaseHelper::deviceIdentifier()
{
    // Read from the saved file: the start-up's dictionary saves "uuid" as soon
    // as it is made (StoreManager), and it never changes after that.
    const QVariant v = ConfigDictionary(DataFolder::configFile()).value(QStringLiteral("uuid"));
    if (!v.isValid() || v.toString().isEmpty())
        return std::nullopt;
    return v.toString();
}

std::optional<UserInfo> DataBaseHelper::firstUserInfo()
{
    return store().findFirst<UserInfo>();
}

std::optional<QString> DataBaseHelper::currentUserId()
{
    const auto user = firstUserInfo();
    return user ? user->userId : std::nullopt;
}

// ---- books ----

void DataBaseHelper::removeBook(const QString &fileName)
{
    const auto book = store().findFirst<BookMetaData>(QStringLiteral("\"fileName\"=?"), { fileName });
    if (!book)
        return;
    const QVariantList id { book->BookID ? QVariant(*book->BookID) : QVariant() };
    const bool ok = store().transaction([&] {
        return store().removeAll<BookStatusData>(QStringLiteral("\"BookID\"=?"), id) >= 0
            && store().removeAll<BookHighlightMemo>(QStringLiteral("\"BookID\"=?"), id) >= 0
            && store().removeAll<BookLabelLink>(QStringLiteral("\"BookID\"=?"), id) >= 0
            && store().remove(*book);
    });
    if (!ok)
        logFailure("removeBook");
}

std::optional<qint64> DataBaseHelper::findBookIDByBookMetaID(const QString &identifier)
{
    const auto book = store().findFirst<BookMetaData>(QStringLiteral("\"identifier\"=?"), { identifier });
    return book ? book->BookID : std::nullopt;
}

std::optional<BookMetaData> DataBaseHelper::findBookByBookID(qint64 bookID)
{
    return store().findFirst<BookMetaData>(QStringLiteral("\"BookID\"=?"), { bookID });
}

void DataBaseHelper::addBookLabelLinkWithMetaId(const QString &identifier)
{
    const auto book = store().findFirst<BookMetaData>(QStringLiteral("\"identifier\"=?"), { identifier });
    if (!book)
        return;
    BookLabelLink link;
    link.BookID = book->BookID;
    link.LabelID = 1;
    link.metaBookId = book->identifier;
    link.UpdateDateTime = now();
    link.Title = book->title;
    link.bookAuthor = book->creator;
    link.leadFlag = 0;
    link.bookDesc = book->bookDesc;
    link.publishDate = book->publishDate;
    link.fileName = book->fileName;
    if (!store().insert(link))
        logFailure("addBookLabelLinkWithMetaId");
}

// ---- shelves ----

qint64 DataBaseHelper::getMaxLabelID()
{
    const auto label = store().findFirst<LabelMaster>({}, {}, QStringLiteral("\"labelID\" DESC"));
    return label && label->labelID ? *label->labelID : 1;
}

std::optional<LabelMaster> DataBaseHelper::addLibary(const QString &name)
{
    LabelMaster label;
    label.labelID = getMaxLabelID() + 1;
    label.order = label.labelID;
    label.creatDateTime = now();
    label.labelName = name;
    if (!store().insert(label)) {
        logFailure("addLibary");
        return std::nullopt;
    }
    return label;
}

void DataBaseHelper::removeLibaryByLabelID(qint64 labelID)
{
    if (store().removeAll<LabelMaster>(QStringLiteral("\"labelID\"=?"), { labelID }) < 0)
        qCWarning(lcLibrary) << "cannot remove shelf" << labelID;
}

std::optional<LabelMaster> DataBaseHelper::getLabelByLabelID(qint64 labelID)
{
    return store().findFirst<LabelMaster>(QStringLiteral("\"labelID\"=?"), { labelID });
}

std::optional<BookLabelLink> DataBaseHelper::getLabelByBookID(qint64 bookID)
{
    return store().findFirst<BookLabelLink>(QStringLiteral("\"BookID\"=?"), { bookID });
}

QList<BookLabelLink> DataBaseHelper::getBookListByLabelID(qint64 labelID)
{
    return store().findAll<BookLabelLink>(QStringLiteral("\"LabelID\"=?"), { labelID });
}

bool DataBaseHelper::bookExistenceInLibary(qint64 labelID, qint64 bookID)
{
    return store().count<BookLabelLink>(QStringLiteral("\"LabelID\"=? AND \"BookID\"=?"), { labelID, bookID })
        > 0;
}

bool DataBaseHelper::addLibarywithFirstSetup()
{
    if (getLabelByLabelID(1)) {
        qCInfo(lcLibrary) << "マイ本棚を既に追加済み";
        return false;
    }
    LabelMaster label;
    label.creatDateTime = now();
    label.labelName = QStringLiteral("マイ本棚");
    label.labelID = 1;
    label.order = 1;
    if (!store().insert(label)) {
        logFailure("addLibarywithFirstSetup");
        return false;
    }
    qCInfo(lcLibrary) << "マイ本棚を追加しました。";
    setLabelLink();
    return true;
}

void DataBaseHelper::setLabelLink()
{
    const auto books
        = store().findAll<BookMetaData>(QStringLiteral("\"identifier\" IS NOT NULL AND \"identifier\"<>''"));
    // One transaction: a large library is linked in one write.
    if (!store().transaction([&] {
            for (const BookMetaData &book : books)
                addBookLabelLinkWithMetaId(*book.identifier);
            return true;
        }))
        qCWarning(lcLibrary) << "cannot put the books on the first shelf";
}

// ---- account ----

void DataBaseHelper::saveUserInfo(const QVariantMap &answer)
{
    UserInfo user = firstUserInfo().value_or(UserInfo());
    user.userId = stringForKey(answer, QStringLiteral("userId"));
    if (!store().save(user))
        logFailure("saveUserInfo");
}

void DataBaseHelper::updateSyncTime()
{
    auto user = firstUserInfo();
    if (!user)
        return;
    user->lastSyncTime = now();
    if (!store().save(*user))
        logFailure("updateSyncTime");
}

// ---- annotations ----

static std::optional<BookHighlightMemo> findBookmarkRecord(qint64 pageIdx, qint64 bookID)
{
    return LibraryStore::main().findFirst<BookHighlightMemo>(
        QStringLiteral("\"BookID\"=? AND \"PageIdx\"=? AND ") + kIsBookmark, { bookID, pageIdx });
}

bool DataBaseHelper::checkBookMark(qint64 pageIdx, qint64 bookID)
{
    return store().count<BookHighlightMemo>(QStringLiteral("\"BookID\"=? AND \"PageIdx\"=? AND ")
                   + kNotDeleted + QStringLiteral(" AND ") + kIsBookmark,
               { bookID, pageIdx })
        > 0;
}

void DataBaseHelper::upsertBookMark(qint64 pageIdx, const std::optional<QString> &manifestId,
    const std::optional<QString> &metaBookID, qint64 bookID, bool deleted)
{
    BookHighlightMemo mark = findBookmarkRecord(pageIdx, bookID).value_or(BookHighlightMemo());
    if (!deleted) {
        mark.BookID = bookID;
        mark.PageIdx = pageIdx;
        mark.manifestId = manifestId;
        mark.highlightNo = 0;
        mark.udId = deviceIdentifier();
        mark.user = currentUserId();
        mark.metaBookID = metaBookID;
    }
    mark.updateTime = now();
    mark.deleteFlg = deleted ? 1 : 0;
    if (!store().save(mark))
        logFailure("upsertBookMark");
}

void DataBaseHelper::updateBookMark(qint64 pageIdx, qint64 bookID, const std::optional<QString> &title)
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
    if (!store().save(mark))
        logFailure("updateBookMark");
}

QList<BookHighlightMemo> DataBaseHelper::findAllBookMarkByBookID(qint64 bookID)
{
    return store().findAll<BookHighlightMemo>(
        QStringLiteral("\"BookID\"=? AND ") + kNotDeleted + QStringLiteral(" AND ") + kIsBookmark, { bookID },
        kByPage);
}

QList<BookHighlightMemo> DataBaseHelper::findAllHighlightByBookID(qint64 bookID)
{
    return store().findAll<BookHighlightMemo>(QStringLiteral("\"BookID\"=? AND ") + kNotDeleted
            + QStringLiteral(" AND ") + kIsHighlight + QStringLiteral(" AND \"memotext\" IS NULL"),
        { bookID }, kByPage);
}

QList<BookHighlightMemo> DataBaseHelper::findAllMemoByBookID(qint64 bookID)
{
    return store().findAll<BookHighlightMemo>(QStringLiteral("\"BookID\"=? AND ") + kNotDeleted
            + QStringLiteral(" AND ") + kIsHighlight + QStringLiteral(" AND \"memotext\" IS NOT NULL"),
        { bookID }, kByPage);
}

qint64 DataBaseHelper::getMaxHighlightNoWithBookID(
    qint64 bookID, const std::optional<QString> &naviID, const std::optional<QString> &manifestID)
{
    QVariantList args { bookID };
    const QString page = pageCondition(naviID, manifestID, args);
    const auto top = store().findFirst<BookHighlightMemo>(
        QStringLiteral("\"BookID\"=? AND ") + page, args, QStringLiteral("\"highlightNo\" DESC"));
    return top ? top->highlightNo.value_or(0) : 0;
}

std::optional<BookHighlightMemo> DataBaseHelper::addBookHighlightMemoWithBookID(qint64 bookID,
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
    record.updateUdId = deviceIdentifier();
    record.udId = deviceIdentifier();
    record.user = currentUserId();
    record.updateTime = now();
    record.deleteFlg = 0;
    if (!store().insert(record)) {
        logFailure("addBookHighlightMemoWithBookID");
        return std::nullopt;
    }
    return record;
}

QList<BookHighlightMemo> DataBaseHelper::getBookHighlightMemosNotSiori(
    qint64 bookID, const std::optional<QString> &naviID, const std::optional<QString> &manifestID)
{
    QVariantList args { bookID };
    const QString page = pageCondition(naviID, manifestID, args);
    return store().findAll<BookHighlightMemo>(QStringLiteral("\"BookID\"=? AND ") + page
            + QStringLiteral(" AND ") + kIsHighlight + QStringLiteral(" AND ") + kNotDeleted,
        args, kByPosition);
}

QList<BookHighlightMemo> DataBaseHelper::getBookHighlightMemosNotSioriWithRange(qint64 bookID,
    const std::optional<QString> &naviID, const std::optional<QString> &manifestID, qint64 s, qint64 so,
    qint64 e, qint64 eo)
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
    return store().findAll<BookHighlightMemo>(QStringLiteral("\"BookID\"=? AND ") + page
            + QStringLiteral(" AND ") + kIsHighlight + QStringLiteral(" AND (") + contains
            + QStringLiteral(" OR ") + contains + QStringLiteral(" OR ") + inside + QStringLiteral(") AND ")
            + kNotDeleted,
        args, kByPosition);
}

std::optional<BookHighlightMemo> DataBaseHelper::getBookHighlightMemoWithBookID(qint64 bookID,
    const std::optional<QString> &naviID, const std::optional<QString> &manifestID, qint64 highlightNo,
    const std::optional<QString> &udId)
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
    return store().findFirst<BookHighlightMemo>(where, args);
}

void DataBaseHelper::deleteUploadedBookMark()
{
    // A failure leaves them marked: they are sent again, which the server takes.
    if (store().removeAll<BookHighlightMemo>(QStringLiteral("\"deleteFlg\"=1")) < 0)
        qCWarning(lcLibrary) << "cannot remove the uploaded deletions";
}

bool DataBaseHelper::saveRecord(BookHighlightMemo &record)
{
    return store().save(record);
}

bool DataBaseHelper::markDeleted(BookHighlightMemo &record)
{
    record.deleteFlg = 1;
    record.updateTime = now();
    return store().save(record);
}

// ---- reading logs ----

void DataBaseHelper::insertAccessBookLog(const QString &bookId, const QString &bookAuthor,
    const QString &bookTitle, const std::optional<QString> &gps, double staytime)
{
    AccessBookLog log;
    log.bookId = bookId;
    log.bookAuthor = bookAuthor;
    log.bookTitle = bookTitle;
    log.gps = gps;
    log.staytime = staytime;
    log.timestamp = now();
    log.user = currentUserId();
    if (!store().insert(log))
        logFailure("insertAccessBookLog");
}

void DataBaseHelper::insertAccessPageLog(const QString &bookId, const QString &bookAuthor,
    const QString &bookTitle, const std::optional<QString> &manifestID, const std::optional<QString> &naviId,
    const std::optional<QString> &naviTitle, const std::optional<QString> &gps, double staytime,
    qint64 pageIdx)
{
    AccessPageLog log;
    log.bookId = bookId;
    log.bookAuthor = bookAuthor;
    log.bookTitle = bookTitle;
    log.manifestID = manifestID;
    log.naviId = naviId;
    log.naviTitle = naviTitle;
    log.gps = gps;
    log.staytime = staytime;
    log.pageIdx = pageIdx;
    log.timestamp = now();
    log.user = currentUserId();
    if (!store().insert(log))
        logFailure("insertAccessPageLog");
}

template <class Log> static void incrementLatest(double seconds)
{
    auto log = LibraryStore::main().findFirst<Log>({}, {}, QStringLiteral("\"timestamp\" DESC"));
    if (!log)
        return;
    log->staytime = log->staytime.value_or(0.0) + seconds;
    if (!LibraryStore::main().save(*log))
        logFailure("incrementStaytime");
}

void DataBaseHelper::incrementAccessBookLogStaytime(double seconds)
{
    incrementLatest<AccessBookLog>(seconds);
}

void DataBaseHelper::incrementAccessPageLogStaytime(double seconds)
{
    incrementLatest<AccessPageLog>(seconds);
}

void DataBaseHelper::deleteAccessLog()
{
    if (!store().transaction([&] {
            return store().removeAll<AccessPageLog>() >= 0 && store().removeAll<AccessBookLog>() >= 0;
        }))
        qCWarning(lcLibrary) << "cannot clear the reading logs";
}

// ---- news cache ----

static CacheInfo findOrMakeCache(qint64 infoId, qint64 categoryId)
{
    auto cache = LibraryStore::main().findFirst<CacheInfo>(
        QStringLiteral("\"infoId\"=? AND \"categoryId\"=?"), { infoId, categoryId });
    if (cache)
        return *cache;
    CacheInfo fresh;
    fresh.infoId = infoId;
    fresh.categoryId = categoryId;
    return fresh;
}

void DataBaseHelper::upsertCacheNews(qint64 infoId, qint64 categoryId, const QString &info)
{
    CacheInfo cache = findOrMakeCache(infoId, categoryId);
    cache.information = info;
    cache.updateDate = now();
    if (!store().save(cache))
        logFailure("upsertCacheNews");
}

void DataBaseHelper::upsertCacheContentNews(qint64 infoId, qint64 categoryId,
    const std::optional<QString> &title, const std::optional<QString> &body,
    const std::optional<QDateTime> &date)
{
    CacheInfo cache = findOrMakeCache(infoId, categoryId);
    if (title && !title->isEmpty())
        cache.information = title;
    cache.updateDate = now();
    if (date && date->isValid())
        cache.newsDate = date;
    if (body && !body->isEmpty())
        cache.body = body;
    if (!store().save(cache))
        logFailure("upsertCacheContentNews");
}

void DataBaseHelper::deleteCacheInfos()
{
    if (store().removeAll<CacheInfo>(QStringLiteral("\"categoryId\" IS NOT 2")) < 0)
        qCWarning(lcLibrary) << "cannot clear the news cache";
}

// ---- dictionaries ----

std::optional<DictionaryMaster> DataBaseHelper::insertDictMaster(
    const QString &bookid, const QString &dicTitle, qint64 useFlg)
{
    return insertDictMaster(store(), bookid, dicTitle, useFlg);
}

std::optional<qint64> DataBaseHelper::deleteDictMaster(const QString &bookid)
{
    return deleteDictMaster(store(), bookid);
}

void DataBaseHelper::addDictionaryItemSetting(
    const DictionaryMaster &dict, const QString &columnName, qint64 columnId)
{
    if (!addDictionaryItemSetting(store(), dict, columnName, columnId))
        qCWarning(lcLibrary) << "cannot store column setting" << columnName;
}

std::optional<DictionaryMaster> DataBaseHelper::insertDictMaster(
    LibraryStore &store, const QString &bookid, const QString &dicTitle, qint64 useFlg, qint64 minimumId)
{
    const auto top = store.findFirst<DictionaryMaster>({}, {}, QStringLiteral("\"dicId\" DESC"));
    DictionaryMaster dict;
    dict.dicId = std::max((top && top->dicId ? *top->dicId : 0) + 1, minimumId);
    dict.bookid = bookid;
    dict.dicName = dicTitle;
    dict.useFlg = useFlg;
    dict.updateDate = now();
    if (!store.insert(dict)) {
        logFailure("insertDictMaster");
        return std::nullopt;
    }
    return dict;
}

std::optional<qint64> DataBaseHelper::deleteDictMaster(LibraryStore &store, const QString &bookid)
{
    const auto dict = store.findFirst<DictionaryMaster>(QStringLiteral("\"bookid\"=?"), { bookid });
    if (!dict)
        return std::nullopt;
    // Column settings belong to their dictionary and go with it.
    const bool removed = store.transaction([&] {
        return store.removeAll<DictionarySettingItem>(QStringLiteral("\"dict\"=?"), { dict->pk }) >= 0
            && store.remove(*dict);
    });
    if (!removed) {
        qCWarning(lcLibrary) << "cannot remove dictionary" << bookid;
        return std::nullopt;
    }
    return dict->dicId;
}

bool DataBaseHelper::addDictionaryItemSetting(
    LibraryStore &store, const DictionaryMaster &dict, const QString &columnName, qint64 columnId)
{
    DictionarySettingItem item;
    item.columnId = columnId;
    item.columnName = columnName;
    item.dict = dict.pk;
    if (store.insert(item))
        return true;
    logFailure("addDictionaryItemSetting");
    return false;
}
