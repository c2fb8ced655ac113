// What the reader keeps when a book is left: the page, the place in it and
// the font size of the book (its BookStatusData record, and "bookFontSize"
// for every book), the text lengths that give the share of the book read, the
// outline's share of the width ("r_split" of the configuration dictionary),
// and whether leaving uploads the book's bookmarks.
//
// The thread of the library given (the main thread in the application).
#pragma once

#include "BookInfo.h"
#include "BookProgress.h"
#include "ReadingPlace.h"
#include "core/library/BookRepository.h"

#include <QVariant>
#include <optional>

class ConfigDictionary;

class ReadingState
{
public:
    // Stores the page (and, for EPUB, the font size and the place in the
    // page) of the book `bookID`; nothing for a book without a record
    // (bookID < 0). A place in another spine item than `page` is stored as
    // the top of `page`. False when the record could not be written.
    static bool save(BookRepository books, qint64 bookID, int page, std::optional<int> fontSize,
        std::optional<ReadingPlace> place = std::nullopt);
    // The place stored for the book inside spine item `page`; absent when
    // none is stored, it cannot be read or it is in another item.
    static std::optional<ReadingPlace> storedPlace(const BookRepository &books, qint64 bookID, int page);

    // The text lengths kept for the book when they were measured on a file
    // with `stamp` and fit a spine of `spineCount` items; absent otherwise
    // (never measured, the file replaced, an unreadable record).
    static std::optional<BookProgress> storedProgress(
        const BookRepository &books, qint64 bookID, const QString &stamp, int spineCount);
    // Keeps `progress` with the book's record; false when it could not be
    // written or the book has none (bookID < 0).
    static bool saveProgress(BookRepository books, qint64 bookID, const BookProgress &progress);

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
