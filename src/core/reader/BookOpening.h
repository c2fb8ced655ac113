// Opening a book in the reader, in two steps: what the reader is told
// about the book (read from its library record and reading state, changing
// nothing), and marking it opened (its last-open date, and the download of
// its annotations from the sync service).
//
// The thread of the library given (the main thread in the application).
#pragma once

#include "BookInfo.h"
#include "core/library/BookMetaData.h"
#include "core/library/Library.h"

#include <optional>

class QMShareHelper;

class BookOpening
{
public:
    // The reader info for the file `fileName` of the contents folder, in the
    // format formatOf() finds for it. A file without a library record gets
    // the defaults.
    static BookInfo infoForBook(const BookRepository &books, const QString &fileName);
    // Sets the book's last-open date and, with `sync`, starts the download
    // of its annotations (not for books imported from disk). Nothing for a
    // file without a record.
    static void markOpened(const Library &library, const QString &fileName, QMShareHelper *sync);
    // The book a link between books names by its identifier; absent when it
    // is not in the library.
    static std::optional<BookMetaData> bookWithIdentifier(
        const BookRepository &books, const QString &identifier);
};
