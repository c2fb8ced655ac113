// Books and shelves: BookMetaData records, their reading state, the shelves
// (LabelMaster) and the books' places on them (BookLabelLink), and the
// registration of book files. Every write has been committed when a call
// returns.
//
// Refers to a store it does not own (the store must outlive it). Threads:
// the store's. Failure: finds that match nothing (or a store that is not
// open) give an empty result; failed writes are logged and not reported,
// except where a return value says otherwise.
#pragma once

#include "BookLabelLink.h"
#include "BookMetaData.h"
#include "BookStatusData.h"
#include "LabelMaster.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantMap>
#include <optional>

class LibraryStore;

class BookRepository
{
public:
    explicit BookRepository(LibraryStore &store)
        : m_store(store)
    {
    }

    // ---- books ----
    std::optional<BookMetaData> findBookByFileName(const QString &fileName) const;
    std::optional<BookMetaData> findBookByIdentifier(const QString &identifier) const;
    std::optional<BookMetaData> findBookByBookID(qint64 bookID) const;
    std::optional<qint64> findBookIDByBookMetaID(const QString &identifier) const;
    // Every book record, in the store's order.
    QList<BookMetaData> allBooks() const;
    bool hasBookFile(const QString &fileName) const;
    // The books opened at least once, the last opened first; at most `limit`.
    QList<BookMetaData> recentlyOpened(int limit) const;
    // Writes back a record read through this class; false on failure.
    [[nodiscard]] bool saveBook(BookMetaData &book);
    // The reading state (page, font size) of a book, or absent.
    std::optional<BookStatusData> findStatus(qint64 bookID) const;
    [[nodiscard]] bool saveStatus(BookStatusData &status);
    // Removes the book with this file name and its reading state, annotations
    // and shelf links. The files are the caller's to remove.
    void removeBook(const QString &fileName);
    // Puts the book with this identifier on shelf 1 (a new link on every
    // call). Nothing happens when no book has the identifier.
    void addBookLabelLinkWithMetaId(const QString &identifier);

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
    bool parseBook(const QString &path, bool fromStore = false);
    // Registers the PDF at `path` from the store's info ("bookId",
    // "bookTitle", "bookAuthor", "bookPublisher", optional "print"), with the
    // same rules.
    void parsePDFBook(const QString &path, const QVariantMap &info, bool fromStore = false);
    // Registers a book file found in the contents folder without a record:
    // an EPUB by its package, a PDF under an identifier of its own
    // ("local:" and its file name) with its base name as the title, so that
    // it stands on shelf 1 like a downloaded one.
    void parseLooseBook(const QString &path);
    // "dc:date" as registration reads it ("yyyy-M-d"), or absent.
    static std::optional<QDateTime> publishDateFromText(const QString &text);

    // ---- shelves ----
    // Every shelf in its order on the screen.
    QList<LabelMaster> labels() const;
    // The largest labelID, or 1 when there is no shelf.
    qint64 getMaxLabelID() const;
    // A new shelf with labelID = order = getMaxLabelID() + 1; the new record,
    // or absent when it could not be written.
    [[nodiscard]] std::optional<LabelMaster> addLibary(const QString &name);
    void removeLibaryByLabelID(qint64 labelID);
    std::optional<LabelMaster> getLabelByLabelID(qint64 labelID) const;
    std::optional<BookLabelLink> getLabelByBookID(qint64 bookID) const;
    QList<BookLabelLink> getBookListByLabelID(qint64 labelID) const;
    bool bookExistenceInLibary(qint64 labelID, qint64 bookID) const;
    // Write back records read through this class; false on failure.
    [[nodiscard]] bool saveLabel(LabelMaster &label);
    [[nodiscard]] bool saveLink(BookLabelLink &link);
    // Both shelves in one transaction (a swap of their order): both or
    // neither are written.
    [[nodiscard]] bool saveLabels(LabelMaster &first, LabelMaster &second);
    // First run: creates shelf 1 "マイ本棚" (labelID 1, order 1) unless it
    // exists, then puts every book with a non-empty identifier on it. True
    // when the shelf was created by this call.
    bool addLibarywithFirstSetup();
    void setLabelLink();

private:
    bool saveRegistration(BookMetaData &book);
    BookMetaData findOrMake(const std::optional<QString> &identifier, const QString &fileName) const;

    LibraryStore &m_store;
};
