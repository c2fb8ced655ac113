// One book standing on one shelf; a book may stand on several.
#pragma once

#include "EntityAttribute.h"

#include <QList>

struct BookLabelLink {
    static constexpr const char *entityName = "BookLabelLink";

    // Row id in the store; 0 until the record is first saved.
    qint64 pk = 0;

    std::optional<qint64> LabelID;
    std::optional<qint64> BookID;
    std::optional<QString> metaBookId; // the book's identifier
    std::optional<QString> Title;
    std::optional<QString> bookAuthor;
    std::optional<QString> bookDesc;
    std::optional<QDateTime> publishDate;
    std::optional<QString> fileName;
    std::optional<QDateTime> UpdateDateTime; // when the link was made
    std::optional<qint64> leadFlag; // 0 when the link is made
    std::optional<QString> userName;
    std::optional<QString> UdID;
    std::optional<qint64> SioriShare;
    std::optional<qint64> HighlightShare;
    std::optional<qint64> MemoShare;
    std::optional<QDateTime> ShareDatetime;
    std::optional<QDateTime> shareDatetimeStart;
    std::optional<QDateTime> shareDatetimeError;
    std::optional<QDateTime> shareDatetimeSuccess;
    std::optional<QDateTime> TwitterShareDatetime;
    std::optional<QDateTime> FacebookShareDatetime;
    std::optional<QDateTime> chatterShareDatetime;
    std::optional<QDateTime> leadDatetime;
    std::optional<QString> leadGPS;
    std::optional<QString> recordID;

    static const QList<EntityAttribute<BookLabelLink>> &attributes()
    {
        static const QList<EntityAttribute<BookLabelLink>> list = {
            TAVRO_ATTRIBUTE(BookLabelLink, LabelID),
            TAVRO_ATTRIBUTE(BookLabelLink, BookID),
            TAVRO_ATTRIBUTE(BookLabelLink, metaBookId),
            TAVRO_ATTRIBUTE(BookLabelLink, Title),
            TAVRO_ATTRIBUTE(BookLabelLink, bookAuthor),
            TAVRO_ATTRIBUTE(BookLabelLink, bookDesc),
            TAVRO_ATTRIBUTE(BookLabelLink, publishDate),
            TAVRO_ATTRIBUTE(BookLabelLink, fileName),
            TAVRO_ATTRIBUTE(BookLabelLink, UpdateDateTime),
            TAVRO_ATTRIBUTE(BookLabelLink, leadFlag),
            TAVRO_ATTRIBUTE(BookLabelLink, userName),
            TAVRO_ATTRIBUTE(BookLabelLink, UdID),
            TAVRO_ATTRIBUTE(BookLabelLink, SioriShare),
            TAVRO_ATTRIBUTE(BookLabelLink, HighlightShare),
            TAVRO_ATTRIBUTE(BookLabelLink, MemoShare),
            TAVRO_ATTRIBUTE(BookLabelLink, ShareDatetime),
            TAVRO_ATTRIBUTE(BookLabelLink, shareDatetimeStart),
            TAVRO_ATTRIBUTE(BookLabelLink, shareDatetimeError),
            TAVRO_ATTRIBUTE(BookLabelLink, shareDatetimeSuccess),
            TAVRO_ATTRIBUTE(BookLabelLink, TwitterShareDatetime),
            TAVRO_ATTRIBUTE(BookLabelLink, FacebookShareDatetime),
            TAVRO_ATTRIBUTE(BookLabelLink, chatterShareDatetime),
            TAVRO_ATTRIBUTE(BookLabelLink, leadDatetime),
            TAVRO_ATTRIBUTE(BookLabelLink, leadGPS),
            TAVRO_ATTRIBUTE(BookLabelLink, recordID),
        };
        return list;
    }
};
