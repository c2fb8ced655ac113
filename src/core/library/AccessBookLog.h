// One reading session of a book, for usage statistics.
#pragma once

#include "EntityAttribute.h"

#include <QList>

struct AccessBookLog {
    static constexpr const char *entityName = "AccessBookLog";

    // Row id in the store; 0 until the record is first saved.
    qint64 pk = 0;

    std::optional<QString> bookId; // the book's identifier
    std::optional<QString> bookTitle;
    std::optional<QString> bookAuthor;
    std::optional<QString> gps;
    std::optional<double> staytime; // seconds
    std::optional<QDateTime> timestamp; // session start
    std::optional<QString> user;

    static const QList<EntityAttribute<AccessBookLog>> &attributes()
    {
        static const QList<EntityAttribute<AccessBookLog>> list = {
            TAVRO_ATTRIBUTE(AccessBookLog, bookId),
            TAVRO_ATTRIBUTE(AccessBookLog, bookTitle),
            TAVRO_ATTRIBUTE(AccessBookLog, bookAuthor),
            TAVRO_ATTRIBUTE(AccessBookLog, gps),
            TAVRO_ATTRIBUTE(AccessBookLog, staytime),
            TAVRO_ATTRIBUTE(AccessBookLog, timestamp),
            TAVRO_ATTRIBUTE(AccessBookLog, user),
        };
        return list;
    }
};
