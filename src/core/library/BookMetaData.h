// One registered book file in the contents folder.
#pragma once

#include "EntityAttribute.h"

#include <QList>

struct BookMetaData {
    static constexpr const char *entityName = "BookMetaData";
    // `type` of a book downloaded from the store (bound to the account's
    // licence); absent for books from disk and the sample books.
    static constexpr const char *kTypeStore = "store";
    // The store book id (`identifier` of a PDF, "bookId" of an import) under
    // which books imported from disk are installed; no annotations of theirs
    // go to the sync service. Kept here, the lowest layer that stores it, so
    // the import and the account change need not reach up to the reader.
    static constexpr const char *kBookIdFromDisk = "9999999999";

    // Row id in the store; 0 until the record is first saved.
    qint64 pk = 0;

    std::optional<qint64> BookID; // local key, 1 or more; largest so far + 1
    std::optional<QString> identifier; // global identifier: dc:identifier, or the store's book id for a PDF
    std::optional<QString> fileName; // last path component inside the contents folder
    std::optional<QString> title;
    std::optional<QString> creator;
    std::optional<QString> publisher;
    std::optional<QDateTime> publishDate; // dc:date read as yyyy-M-d; absent when that fails
    std::optional<QString> language;
    std::optional<QString> splash; // the package's dc:splash
    std::optional<qint64> printable; // non-zero allows printing
    std::optional<QDateTime> lastOpenDate; // when the book was last opened
    std::optional<QString> bookDesc; // description; copied to shelf links
    std::optional<QString> cover; // kept for stores written elsewhere; not used
    std::optional<QString> type; // kTypeStore for a store download, else absent
    std::optional<qint64> FixLine; // not used
    std::optional<qint64> rightToLeft; // not used
    std::optional<qint64> spineConverted; // not used

    static const QList<EntityAttribute<BookMetaData>> &attributes()
    {
        static const QList<EntityAttribute<BookMetaData>> list = {
            TAVRO_ATTRIBUTE(BookMetaData, BookID),
            TAVRO_ATTRIBUTE(BookMetaData, identifier),
            TAVRO_ATTRIBUTE(BookMetaData, fileName),
            TAVRO_ATTRIBUTE(BookMetaData, title),
            TAVRO_ATTRIBUTE(BookMetaData, creator),
            TAVRO_ATTRIBUTE(BookMetaData, publisher),
            TAVRO_ATTRIBUTE(BookMetaData, publishDate),
            TAVRO_ATTRIBUTE(BookMetaData, language),
            TAVRO_ATTRIBUTE(BookMetaData, splash),
            TAVRO_ATTRIBUTE(BookMetaData, printable),
            TAVRO_ATTRIBUTE(BookMetaData, lastOpenDate),
            TAVRO_ATTRIBUTE(BookMetaData, bookDesc),
            TAVRO_ATTRIBUTE(BookMetaData, cover),
            TAVRO_ATTRIBUTE(BookMetaData, type),
            TAVRO_ATTRIBUTE(BookMetaData, FixLine),
            TAVRO_ATTRIBUTE(BookMetaData, rightToLeft),
            TAVRO_ATTRIBUTE(BookMetaData, spineConverted),
        };
        return list;
    }
};
