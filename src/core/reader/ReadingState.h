// What the reader keeps when a book is left: the page and font size of the
// book (its BookStatusData record, and "bookFontSize" for every book), the
// outline's share of the width ("r_split" of the configuration dictionary),
// and whether leaving uploads the book's bookmarks.
//
// The thread of the library given (the main thread in the application).
#pragma once

#include "BookInfo.h"
#include "core/library/BookRepository.h"

#include <QVariant>
#include <optional>

class ConfigDictionary;

class ReadingState
{
public:
    // Stores the page (and, for EPUB, the font size) of the book `bookID`;
    // nothing for a book without a record (bookID < 0). False when the
    // record could not be written.
    static bool save(BookRepository books, qint64 bookID, int page, std::optional<int> fontSize);

    // The outline's share of the width stored under "r_split", when it is
    // a number from 0.05 to 0.95; absent otherwise (the default width).
    static std::optional<double> storedSplit(const QVariant &value);
    static std::optional<double> storedSplit(const ConfigDictionary &config);
    // Writes "r_split" into `config` and saves it; false when it could not
    // be saved.
    static bool saveSplit(ConfigDictionary &config, double fraction);

    // Leaving a book uploads the annotation changes when it was shown and
    // came from the store, EPUB or PDF (its library record has an identifier
    // that is synced; an EPUB's info carries none, so the record decides).
    static bool uploadsOnLeave(const BookRepository &books, const BookInfo &info, bool shown);
};
