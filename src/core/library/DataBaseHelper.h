// The one place where the application reads and writes the library
// entities. Every operation works on LibraryStore::main() and has committed
// its writes when it returns, so any other operation sees them at once.
//
// Threads: main thread only. Failure: finds that match nothing (or a store
// that is not open) give an empty result; failed writes are logged and not
// reported, except where a return value says otherwise.
//
// Records marked deleteFlg = 1 are invisible to every reading query of
// annotations. A missing deleteFlg counts as 0.
#pragma once

#include "LibraryEntities.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantMap>
#include <optional>

class LibraryStore;

class DataBaseHelper
{
public:
    DataBaseHelper() = delete;

    // ---- context ----
    static LibraryStore &store();
    // "uuid" of the saved configuration file (DataFolder::configFile()), or
    // absent.
    static std::optional<QString> deviceIdentifier();
    // userId of the first UserInfo record, or absent.
    static std::optional<QString> currentUserId();
    static std::optional<UserInfo> firstUserInfo();

    // ---- books ----
    // Removes the book with this file name and its reading state, annotations
    // and shelf links. The files are the caller's to remove.
    static void removeBook(const QString &fileName);
    static std::optional<qint64> findBookIDByBookMetaID(const QString &identifier);
    static std::optional<BookMetaData> findBookByBookID(qint64 bookID);
    // Puts the book with this identifier on shelf 1 (a new link on every
    // call). Nothing happens when no book has the identifier.
    static void addBookLabelLinkWithMetaId(const QString &identifier);

    // ---- registration ----
    // Registers the EPUB at `path` (a file in the contents folder) from its
    // package metadata and puts it on shelf 1. Registering a book that is
    // already in the library (same identifier) gives it a new BookID and
    // moves its reading state, annotations and shelf links to that BookID;
    // it gets no second link to shelf 1. False when the record could not be
    // saved (nothing of it is then written).
    // `fromStore` marks the record as a store download (BookMetaData::type
    // "store"), bound to the signed-in account's licence; any other
    // registration clears that mark.
    static bool parseBook(const QString &path, bool fromStore = false);
    // Registers the PDF at `path` from the store's info ("bookId",
    // "bookTitle", "bookAuthor", "bookPublisher", optional "print"), with the
    // same rules.
    static void parsePDFBook(const QString &path, const QVariantMap &info, bool fromStore = false);
    // Registers a book file found in the contents folder without a record:
    // an EPUB by its package, a PDF under an identifier of its own
    // ("local:" and its file name) with its base name as the title, so that
    // it stands on shelf 1 like a downloaded one.
    static void parseLooseBook(const QString &path);
    // "dc:date" as registration reads it ("yyyy-M-d"), or absent.
    static std::optional<QDateTime> publishDateFromText(const QString &text);

    // ---- shelves ----
    // The largest labelID, or 1 when there is no shelf.
    static qint64 getMaxLabelID();
    // A new shelf with labelID = order = getMaxLabelID() + 1; the new record,
    // or absent when it could not be written.
    [[nodiscard]] static std::optional<LabelMaster> addLibary(const QString &name);
    static void removeLibaryByLabelID(qint64 labelID);
    static std::optional<LabelMaster> getLabelByLabelID(qint64 labelID);
    static std::optional<BookLabelLink> getLabelByBookID(qint64 bookID);
    static QList<BookLabelLink> getBookListByLabelID(qint64 labelID);
    static bool bookExistenceInLibary(qint64 labelID, qint64 bookID);
    // First run: creates shelf 1 "マイ本棚" (labelID 1, order 1) unless it
    // exists, then puts every book with a non-empty identifier on it. True
    // when the shelf was created by this call.
    static bool addLibarywithFirstSetup();
    static void setLabelLink();

    // ---- account ----
    // Keeps the decimal text of answer["userId"] in the first UserInfo
    // (created when there is none).
    static void saveUserInfo(const QVariantMap &answer);
    static void updateSyncTime();

    // ---- annotations ----
    static bool checkBookMark(qint64 pageIdx, qint64 bookID);
    static void upsertBookMark(qint64 pageIdx, const std::optional<QString> &manifestId,
        const std::optional<QString> &metaBookID, qint64 bookID, bool deleted);
    static void updateBookMark(qint64 pageIdx, qint64 bookID, const std::optional<QString> &title);
    static QList<BookHighlightMemo> findAllBookMarkByBookID(qint64 bookID);
    static QList<BookHighlightMemo> findAllHighlightByBookID(qint64 bookID);
    static QList<BookHighlightMemo> findAllMemoByBookID(qint64 bookID);
    // The largest highlightNo on the page (deleted records count), or 0. The
    // page is named by naviID when it is given, else by manifestID.
    static qint64 getMaxHighlightNoWithBookID(
        qint64 bookID, const std::optional<QString> &naviID, const std::optional<QString> &manifestID);
    // Creates a highlight or memo; absent when it could not be written.
    [[nodiscard]] static std::optional<BookHighlightMemo> addBookHighlightMemoWithBookID(qint64 bookID,
        const std::optional<QString> &naviID, const std::optional<QString> &manifestID, qint64 pageIdx,
        qint64 highlightNo, qint64 startNodeNo, qint64 startNodeOffset, qint64 endNodeNo,
        qint64 endNodeOffset, const std::optional<QDateTime> &memodate,
        const std::optional<QString> &memotext, const std::optional<QString> &gpsInfo, qint64 twitterFlg,
        qint64 facebookFlg, const std::optional<QString> &contentTitle,
        const std::optional<QString> &metaBookID);
    // The page's highlights and memos in document order.
    static QList<BookHighlightMemo> getBookHighlightMemosNotSiori(
        qint64 bookID, const std::optional<QString> &naviID, const std::optional<QString> &manifestID);
    // The page's highlights that contain the start or the end of the range
    // (inclusive) or lie strictly inside it, in document order.
    static QList<BookHighlightMemo> getBookHighlightMemosNotSioriWithRange(qint64 bookID,
        const std::optional<QString> &naviID, const std::optional<QString> &manifestID, qint64 startNodeNo,
        qint64 startNodeOffset, qint64 endNodeNo, qint64 endNodeOffset);
    static std::optional<BookHighlightMemo> getBookHighlightMemoWithBookID(qint64 bookID,
        const std::optional<QString> &naviID, const std::optional<QString> &manifestID, qint64 highlightNo,
        const std::optional<QString> &udId = std::nullopt);
    // Removes the records marked deleted, once the sync server has them.
    static void deleteUploadedBookMark();
    // Writes back a record read through this class (sync, renaming).
    [[nodiscard]] static bool saveRecord(BookHighlightMemo &record);
    // Deletes a highlight or memo softly: deleteFlg = 1 and updateTime =
    // now, so the next upload tells the server; it leaves the library once
    // the server has it.
    [[nodiscard]] static bool markDeleted(BookHighlightMemo &record);

    // ---- reading logs ----
    static void insertAccessBookLog(const QString &bookId, const QString &bookAuthor,
        const QString &bookTitle, const std::optional<QString> &gps, double staytime);
    static void insertAccessPageLog(const QString &bookId, const QString &bookAuthor,
        const QString &bookTitle, const std::optional<QString> &manifestID,
        const std::optional<QString> &naviId, const std::optional<QString> &naviTitle,
        const std::optional<QString> &gps, double staytime, qint64 pageIdx);
    static void incrementAccessBookLogStaytime(double seconds);
    static void incrementAccessPageLogStaytime(double seconds);
    static void deleteAccessLog();

    // ---- news cache ----
    static void upsertCacheNews(qint64 infoId, qint64 categoryId, const QString &info);
    static void upsertCacheContentNews(qint64 infoId, qint64 categoryId, const std::optional<QString> &title,
        const std::optional<QString> &body, const std::optional<QDateTime> &date);
    // Clears the cached news list before a fresh one is stored. Provider
    // articles (category 2) are kept with their downloaded bodies.
    static void deleteCacheInfos();

    // ---- dictionaries ----
    [[nodiscard]] static std::optional<DictionaryMaster> insertDictMaster(
        const QString &bookid, const QString &dicTitle, qint64 useFlg);
    // Removes the dictionary (and its column settings); its dicId, or absent
    // when there was none or it could not be removed (logged, kept whole).
    static std::optional<qint64> deleteDictMaster(const QString &bookid);
    static void addDictionaryItemSetting(
        const DictionaryMaster &dict, const QString &columnName, qint64 columnId);
    // The same on another connection to the library file (the dictionary
    // import's, on its worker thread).
    // `minimumId`: the dicId is at least this.
    [[nodiscard]] static std::optional<DictionaryMaster> insertDictMaster(LibraryStore &store,
        const QString &bookid, const QString &dicTitle, qint64 useFlg, qint64 minimumId = 1);
    static std::optional<qint64> deleteDictMaster(LibraryStore &store, const QString &bookid);
    // False when the setting could not be stored.
    [[nodiscard]] static bool addDictionaryItemSetting(
        LibraryStore &store, const DictionaryMaster &dict, const QString &columnName, qint64 columnId);
};
