// What the reader is opened with: the book, its format, where to start and
// what the reader shows of it. The dictionary form ("url" or "pdfurl",
// "BookID", "lastPage", "fontSize", "print", "Title", "metaBookId",
// "creator", "searchTerm") is kept for JSON and stored forms only; screens
// pass this type.
//
// Plain value; any thread.
#pragma once

#include "core/content/BookFormat.h"
#include "core/library/BookMetaData.h"

#include <QString>
#include <QUrl>
#include <QVariantMap>

struct BookInfo {
    // The identifier under which books imported from disk are installed; no
    // annotations of theirs go to the sync service.
    static constexpr const char *kBookIdFromDisk = BookMetaData::kBookIdFromDisk;
    static constexpr int kDefaultFontSize = 16;

    BookFormat format = BookFormat::Epub;
    QUrl url; // EPUB: the book's root URL, or a document in it
    QString pdfUrl; // PDF: the file's path
    qint64 bookID = -1;
    int lastPage = -1; // -1: never opened
    int fontSize = kDefaultFontSize;
    bool print = false;
    QString title;
    QString metaBookId;
    QString creator;
    // Opened from the library search: the term marked on the page shown.
    QString searchTerm;

    bool isPdf() const { return format == BookFormat::Pdf; }
    // Whether leaving the book uploads its bookmarks: a store book only.
    bool isStoreBook() const { return !metaBookId.isEmpty() && metaBookId != QLatin1String(kBookIdFromDisk); }

    // From and to the dictionary form; keys that are absent take the
    // defaults above, and a "pdfurl" makes it a PDF. Texts are written only
    // when not empty, and a PDF without a record (bookID < 0) is only its
    // "pdfurl" (and search term).
    static BookInfo fromMap(const QVariantMap &map);
    QVariantMap toMap() const;

    bool operator==(const BookInfo &) const = default;
};

// Where a link between books was followed from: that book (its root URL)
// and the manifest id of the document shown, so going back can return to
// it.
struct LinkOrigin {
    BookInfo book;
    QString manifestID;
};
