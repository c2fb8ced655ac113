// What the reader is opened with: a typed form of the book-info dictionary
// the screens pass around ("url" or "pdfurl", "BookID", "lastPage",
// "fontSize", "print", "Title", "metaBookId", "creator").
#pragma once

#include "core/library/BookMetaData.h"

#include <QString>
#include <QUrl>
#include <QVariantMap>

struct BookInfo {
    // The identifier under which books imported from disk are installed; no
    // annotations of theirs go to the sync service.
    static constexpr const char *kBookIdFromDisk = BookMetaData::kBookIdFromDisk;
    static constexpr int kDefaultFontSize = 16;

    QUrl url; // EPUB: the book's root URL, or a document in it
    QString pdfUrl; // PDF: the file's path
    qint64 bookID = -1;
    int lastPage = -1; // -1: never opened
    int fontSize = kDefaultFontSize;
    bool print = false;
    QString title;
    QString metaBookId;
    QString creator;

    bool isPdf() const { return !pdfUrl.isEmpty(); }
    // Whether leaving the book uploads its bookmarks: a store book only.
    bool isStoreBook() const { return !metaBookId.isEmpty() && metaBookId != QLatin1String(kBookIdFromDisk); }

    // From and to the dictionary form; keys that are absent take the
    // defaults above. Texts are written only when not empty, and a PDF
    // without a record (bookID < 0) is only its "pdfurl".
    static BookInfo fromMap(const QVariantMap &map);
    QVariantMap toMap() const;
};
