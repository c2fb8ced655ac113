// What a change of account does to the library: it removes the books the
// previous account downloaded from the store (bound to its licence, and
// downloadable again by it), with a PDF's ".toc" and ".cover" side files,
// their library records, reading state, annotations and shelf links. Books
// from disk and the sample books stay, with their annotations, and so does
// any file of the contents folder without a library record (a store
// download is always registered). With no account signed in before (the
// first sign-in on this machine), nothing is removed.
//
// A store book is a record marked BookMetaData::kTypeStore at registration;
// a PDF registered before that mark existed counts as a store book unless
// its identifier is that of a PDF from disk ("9999999999") or of a file
// registered from the contents folder ("local:…"). An EPUB without the mark
// stays: nothing tells a store EPUB from one opened from disk, and a book
// of the user's own must never be lost.
//
// The thread of the library store given. Used by the sign-in sheet and by
// `tavro-inspect account-change`.
#pragma once

#include "BookRepository.h"

#include <QString>
#include <QStringList>
#include <optional>

class AccountChange
{
public:
    struct Plan {
        // File names in the contents folder, sorted.
        QStringList kept;
        QStringList removed; // book files and their side files
        QStringList removedBooks; // the book files alone
    };

    // Whether the record is a book of the store, bound to the account.
    static bool isStoreBook(const BookMetaData &book);
    // What a change away from `previousUserId` would remove: nothing when
    // there was no account (absent or empty).
    static Plan plan(const BookRepository &books, const std::optional<QString> &previousUserId);
    // Carries out plan(books, previousUserId) and returns it. A file that cannot
    // be deleted keeps its record, and is left out of `removed`.
    static Plan apply(BookRepository books, const std::optional<QString> &previousUserId);
};
