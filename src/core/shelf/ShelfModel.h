// The shelf's rules without a window: which books a shelf shows and in what
// order, the one-time registration of loose files, searching, opening,
// moving and deleting books, and creating, renaming, reordering and deleting
// shelves. The shelf screen draws what this class decides.
//
// A model refers to the library it was made over (which must outlive it);
// making one costs nothing. Main thread only.
#pragma once

#include "core/content/BookFormat.h"
#include "core/library/BookMetaData.h"
#include "core/library/DictionaryMaster.h"
#include "core/library/LabelMaster.h"
#include "core/library/Library.h"
#include "core/reader/BookInfo.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <optional>

class QMShareHelper;

struct ShelfEntry {
    QString path; // full path in the contents folder
    QString fileName; // its last component
    BookFormat format = BookFormat::Epub; // formatOf(path)
    QDateTime date; // the file's modification time
    // When the book was put into the library: the stored update time of its
    // shelf link (invalid for a file without record or link). Copying or
    // touching the file does not change it.
    QDateTime downloaded;

    bool isPdf() const { return format == BookFormat::Pdf; }
};

class ShelfModel
{
public:
    explicit ShelfModel(const Library &library)
        : m_library(library)
    {
    }

    // The entry for a file of the contents folder (which need not exist).
    static ShelfEntry entryFor(const QString &fileName);
    // A PDF's side file: `pdfPath` with its 4-character extension replaced
    // by `extension` (".toc", ".cover").
    static QString sideFile(const QString &pdfPath, const QString &extension);

    // The sort labels, in the order the sort list shows them.
    static const QStringList &sortList();
    // "sort" of the user defaults, or the first label when absent or unknown.
    static QString currentSort();
    static void setSort(const QString &label);

    // The shelves by "order", for the shelf list (the new-shelf row is the
    // screen's).
    QList<LabelMaster> labels() const;

    // The books in the contents folder standing on shelf `labelID` (every
    // book file when `all`, or for a `labelID` of 0), newest file first, limited to `searchBookList`
    // when given and not `all`. Until "hasBuildBookInfo_new" is set, loose
    // files without a record are registered once (PDFs with an info made from
    // the file name).
    QList<ShelfEntry> contentsList(
        qint64 labelID, const std::optional<QStringList> &searchBookList, bool all);
    // The shown shelf's items in the chosen order; none while the account is
    // lifted ("accountLift" set to anything but "0").
    QList<ShelfEntry> items(qint64 labelID, const std::optional<QStringList> &searchBookList);
    void sortItems(QList<ShelfEntry> &items, const QString &sortLabel) const;

    // The reader's book info for an entry; starts the annotation download
    // (`sync` may be null) and marks the book opened.
    BookInfo readerInfo(const ShelfEntry &entry, QMShareHelper *sync);

    // The file names matching a search: titles first, then books of the shelf
    // whose table of contents (EPUB) or ".toc" (PDF) mentions the text.
    QStringList search(const QString &text, qint64 labelID);
    // The two halves of search(): the titles (every book for an empty text;
    // main thread, it reads the store), then, of `entries`, the books whose
    // table of contents or ".toc" mentions the text (reads files only: any
    // thread; `cancelled`, when given, is polled between books).
    QStringList searchTitles(const QString &text) const;
    static QStringList searchContents(
        const QList<ShelfEntry> &entries, const QString &text, const std::function<bool()> &cancelled = {});

    // Deletes the book's file (with a PDF's ".toc" and ".cover") and records.
    void deleteBook(const ShelfEntry &entry);
    // Puts the book on the shelf at `index` of labels() (its first link moves).
    bool moveBook(const QString &fileName, int index);

    // A new shelf; absent for an empty name.
    std::optional<LabelMaster> createShelf(const QString &name);
    // Renames a shelf other than the first; false for an empty name.
    bool renameShelf(qint64 labelID, const QString &name);
    // Swaps the order of the shelves at rows `from` and `to` of labels(); the
    // first row neither moves nor is dropped on. Whether it swapped.
    bool swapShelves(int from, int to);
    // The books on a shelf (what deleting it would delete).
    int booksOnShelf(qint64 labelID) const;
    // Deletes a shelf (never shelf 1's row); with `deleteBooks`, its books
    // first, as single deletions do.
    bool deleteShelf(qint64 labelID, bool deleteBooks);
    // The shown page (from 1) after the shelf `deletedLabelID` is deleted
    // from `shelves` (the shelves before, in the order of the shelf list)
    // while page `shownPage` was shown: the shown shelf's new place, found
    // by its labelID; 1 (the first shelf) when the shown one is the deleted
    // one or `shownPage` is outside the list.
    static int pageAfterDeleting(const QList<LabelMaster> &shelves, int shownPage, qint64 deletedLabelID);
    // The page to show after a swipe that ended `offset` points away from the
    // shown page `pageID` (from 1) on pages `width` wide: at most one page.
    static int pageAfterSwipe(double offset, double width, int pageID);

    // Every book record by its file name (for the shelf's rows).
    QHash<QString, BookMetaData> booksByFileName() const;
    // The installed dictionaries in id order, and switching one in or out
    // of look-ups; false when there is no such dictionary or it could not
    // be saved.
    QList<DictionaryMaster> dictionaries() const;
    bool setDictionaryUsed(qint64 dicId, bool used);

private:
    Library m_library;
};
