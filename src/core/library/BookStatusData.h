// Reading state of one book; at most one per BookID.
#pragma once

#include "EntityAttribute.h"

#include <QList>

struct BookStatusData {
    static constexpr const char *entityName = "BookStatusData";

    // Row id in the store; 0 until the record is first saved.
    qint64 pk = 0;

    std::optional<qint64> BookID;
    std::optional<qint64> lastOpenPage; // index in the reading order to reopen at
    std::optional<qint64> fontSetting; // the reader's font size for this book
    // Where in the spine item of lastOpenPage the reader was (ReadingPlace
    // as JSON); absent for records written before it was kept.
    std::optional<QString> readingPlace;
    // The text length of every spine item and the file they were measured
    // on (BookProgress as JSON).
    std::optional<QString> textLengths;

    static const QList<EntityAttribute<BookStatusData>> &attributes()
    {
        static const QList<EntityAttribute<BookStatusData>> list = {
            TAVRO_ATTRIBUTE(BookStatusData, BookID),
            TAVRO_ATTRIBUTE(BookStatusData, lastOpenPage),
            TAVRO_ATTRIBUTE(BookStatusData, fontSetting),
            TAVRO_ATTRIBUTE(BookStatusData, readingPlace),
            TAVRO_ATTRIBUTE(BookStatusData, textLengths),
        };
        return list;
    }
};
