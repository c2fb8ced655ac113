// Annotations: bookmarks, highlights and memos of the books
// (BookHighlightMemo records) as the reader and the sync service use them.
// Every write has been committed when a call returns.
//
// Records marked deleteFlg = 1 are invisible to every reading query of
// annotations. A missing deleteFlg counts as 0.
//
// Refers to a store it does not own (the store must outlive it). Threads:
// the store's. Failure: finds that match nothing (or a store that is not
// open) give an empty result; failed writes are logged and not reported,
// except where a return value says otherwise.
#pragma once

#include "BookHighlightMemo.h"

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <functional>
#include <optional>

class LibraryStore;

class AnnotationRepository
{
public:
    explicit AnnotationRepository(LibraryStore &store)
        : m_store(store)
    {
    }

    // ---- bookmarks ----
    bool checkBookMark(qint64 pageIdx, qint64 bookID) const;
    // Sets the page's bookmark (creating or reviving its record) or marks it
    // deleted; deleting on a page without one does nothing.
    void upsertBookMark(qint64 pageIdx, const std::optional<QString> &manifestId,
        const std::optional<QString> &metaBookID, qint64 bookID, bool deleted);
    void updateBookMark(qint64 pageIdx, qint64 bookID, const std::optional<QString> &title);
    QList<BookHighlightMemo> findAllBookMarkByBookID(qint64 bookID) const;

    // ---- highlights and memos ----
    QList<BookHighlightMemo> findAllHighlightByBookID(qint64 bookID) const;
    QList<BookHighlightMemo> findAllMemoByBookID(qint64 bookID) const;
    // The largest highlightNo on the page (deleted records count), or 0. The
    // page is named by naviID when it is given, else by manifestID.
    qint64 getMaxHighlightNoWithBookID(
        qint64 bookID, const std::optional<QString> &naviID, const std::optional<QString> &manifestID) const;
    // Creates a highlight or memo; absent when it could not be written.
    [[nodiscard]] std::optional<BookHighlightMemo> addBookHighlightMemoWithBookID(qint64 bookID,
        const std::optional<QString> &naviID, const std::optional<QString> &manifestID, qint64 pageIdx,
        qint64 highlightNo, qint64 startNodeNo, qint64 startNodeOffset, qint64 endNodeNo,
        qint64 endNodeOffset, const std::optional<QDateTime> &memodate,
        const std::optional<QString> &memotext, const std::optional<QString> &gpsInfo, qint64 twitterFlg,
        qint64 facebookFlg, const std::optional<QString> &contentTitle,
        const std::optional<QString> &metaBookID);
    // The page's highlights and memos in document order.
    QList<BookHighlightMemo> getBookHighlightMemosNotSiori(
        qint64 bookID, const std::optional<QString> &naviID, const std::optional<QString> &manifestID) const;
    // The page's highlights that contain the start or the end of the range
    // (inclusive) or lie strictly inside it, in document order.
    QList<BookHighlightMemo> getBookHighlightMemosNotSioriWithRange(qint64 bookID,
        const std::optional<QString> &naviID, const std::optional<QString> &manifestID, qint64 startNodeNo,
        qint64 startNodeOffset, qint64 endNodeNo, qint64 endNodeOffset) const;
    std::optional<BookHighlightMemo> getBookHighlightMemoWithBookID(qint64 bookID,
        const std::optional<QString> &naviID, const std::optional<QString> &manifestID, qint64 highlightNo,
        const std::optional<QString> &udId = std::nullopt) const;
    // The page's highlight with this number that has no device id (a record
    // of an older client), or absent.
    std::optional<BookHighlightMemo> getBookHighlightMemoWithoutDevice(
        qint64 bookID, const QString &naviID, qint64 highlightNo) const;

    // ---- writing back ----
    // Removes the records marked deleted, once the sync server has them.
    void deleteUploadedBookMark();
    // Writes back a record read through this class (sync, renaming).
    [[nodiscard]] bool saveRecord(BookHighlightMemo &record);
    // Deletes a highlight or memo softly: deleteFlg = 1 and updateTime =
    // now, so the next upload tells the server; it leaves the library once
    // the server has it.
    [[nodiscard]] bool markDeleted(BookHighlightMemo &record);

    // ---- sync ----
    // An annotation as the upload saw it: its pk and updateTime (invalid
    // when it had none).
    using UploadedRecord = QPair<qint64, QDateTime>;
    // Every annotation waiting to be sent, of every book, deleted ones
    // included: deletions, records changed since the server last had them
    // (syncedTime differs from updateTime) and, for records from before the
    // sync marks (no syncedTime), those changed at or after `lastSync` (all
    // of them without one). Empty on failure.
    QList<BookHighlightMemo> pendingUpload(const std::optional<QDateTime> &lastSync) const;
    // Marks what the server received as sent, in one transaction: the
    // deletions leave the library, the other records get syncedTime =
    // updateTime; a record changed since the upload read it (another
    // updateTime) is left pending. False (nothing written) on a failed write.
    [[nodiscard]] bool markUploaded(
        const QList<UploadedRecord> &deletions, const QList<UploadedRecord> &inserts);
    // Every annotation record of the book with this identifier
    // (BookMetaData::identifier), deleted ones included; empty on failure.
    QList<BookHighlightMemo> findAllByMetaBookID(const QString &metaBookID) const;
    // The book's annotations at a glance: any record added, removed or
    // changed (a change moves updateTime) changes it. Empty on failure.
    QString fingerprint(const QString &metaBookID) const;
    // The file the annotations are kept in: a caller coming back later tells
    // by it whether the library was reopened on another file meanwhile.
    QString storeFile() const;
    // Record writes, as they are (no stamps set): insert() sets record.pk,
    // update() and remove() go by pk. False on failure.
    [[nodiscard]] bool insertRecord(BookHighlightMemo &record);
    [[nodiscard]] bool updateRecord(const BookHighlightMemo &record);
    [[nodiscard]] bool removeRecord(const BookHighlightMemo &record);

    // Runs `body` as one transaction of the store (nestable): its writes
    // are kept when it returns true and undone when it returns false.
    [[nodiscard]] bool transaction(const std::function<bool()> &body);

private:
    std::optional<BookHighlightMemo> findBookmarkRecord(qint64 pageIdx, qint64 bookID) const;

    LibraryStore &m_store;
};
