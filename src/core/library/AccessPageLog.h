// One visit to a page, for usage statistics.
#pragma once

#include "EntityAttribute.h"

#include <QList>

struct AccessPageLog {
    static constexpr const char *entityName = "AccessPageLog";

    // Row id in the store; 0 until the record is first saved.
    qint64 pk = 0;

    std::optional<QString> bookId; // the book's identifier
    std::optional<QString> bookTitle;
    std::optional<QString> bookAuthor;
    std::optional<QString> gps;
    std::optional<double> staytime; // seconds
    std::optional<QDateTime> timestamp;
    std::optional<QString> user;
    std::optional<QString> manifestID;
    std::optional<QString> naviId;
    std::optional<QString> naviTitle;
    std::optional<qint64> pageIdx;

    static const QList<EntityAttribute<AccessPageLog>> &attributes()
    {
        static const QList<EntityAttribute<AccessPageLog>> list = {
            TAVRO_ATTRIBUTE(AccessPageLog, bookId),
            TAVRO_ATTRIBUTE(AccessPageLog, bookTitle),
            TAVRO_ATTRIBUTE(AccessPageLog, bookAuthor),
            TAVRO_ATTRIBUTE(AccessPageLog, gps),
            TAVRO_ATTRIBUTE(AccessPageLog, staytime),
            TAVRO_ATTRIBUTE(AccessPageLog, timestamp),
            TAVRO_ATTRIBUTE(AccessPageLog, user),
            TAVRO_ATTRIBUTE(AccessPageLog, manifestID),
            TAVRO_ATTRIBUTE(AccessPageLog, naviId),
            TAVRO_ATTRIBUTE(AccessPageLog, naviTitle),
            TAVRO_ATTRIBUTE(AccessPageLog, pageIdx),
        };
        return list;
    }
};
