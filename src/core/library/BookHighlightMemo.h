// One bookmark (highlightNo 0), highlight (highlightNo > 0) or memo (a highlight with memotext).
#pragma once

#include "EntityAttribute.h"

#include <QList>

struct BookHighlightMemo {
    static constexpr const char *entityName = "BookHighlightMemo";

    // Row id in the store; 0 until the record is first saved.
    qint64 pk = 0;

    std::optional<qint64> BookID;
    std::optional<QString> metaBookID; // the book's identifier
    std::optional<qint64> PageIdx; // page index from 0
    std::optional<QString> manifestId; // bookmark: spine item id or PDF page; highlight: toc entry id
    std::optional<QString> NaviID; // highlight/memo: page number as shown (page index + 1)
    std::optional<qint64> highlightNo; // 0 for a bookmark; unique within the book's page
    std::optional<qint64> startNodeNo;
    std::optional<qint64> startNodeOffset;
    std::optional<qint64> endNodeNo;
    std::optional<qint64> endNodeOffset;
    std::optional<QString> memotext; // absent for a plain highlight
    std::optional<QDateTime> memodate;
    std::optional<QString> contentTitle;
    std::optional<QString> gpsInfo;
    std::optional<qint64> twitterFlg;
    std::optional<qint64> facebookFlg;
    std::optional<qint64> chatterFlg; // not used
    std::optional<QString> udId; // creating device
    std::optional<QString> updateUdId; // highlight: a device id; bookmark: the bookmark's title
    std::optional<QString> user; // userId at creation
    std::optional<QDateTime> updateTime; // last change
    std::optional<qint64> deleteFlg; // 1: deleted, not yet reported to the sync server
    // Kept on this device only (never sent to the sync server): the text
    // that was highlighted, and whether the book's text still holds it at
    // the stored positions (0: not found in the installed edition).
    std::optional<QString> markedText;
    std::optional<QString> markedContext; // JSON {"before", "after"}: the words around it
    std::optional<qint64> anchorFound;
    // The updateTime the sync server is known to hold for this record
    // (stored from a download or after an upload); differs from updateTime
    // while a local change is waiting to be sent.
    std::optional<QDateTime> syncedTime;

    static const QList<EntityAttribute<BookHighlightMemo>> &attributes()
    {
        static const QList<EntityAttribute<BookHighlightMemo>> list = {
            TAVRO_ATTRIBUTE(BookHighlightMemo, BookID),
            TAVRO_ATTRIBUTE(BookHighlightMemo, metaBookID),
            TAVRO_ATTRIBUTE(BookHighlightMemo, PageIdx),
            TAVRO_ATTRIBUTE(BookHighlightMemo, manifestId),
            TAVRO_ATTRIBUTE(BookHighlightMemo, NaviID),
            TAVRO_ATTRIBUTE(BookHighlightMemo, highlightNo),
            TAVRO_ATTRIBUTE(BookHighlightMemo, startNodeNo),
            TAVRO_ATTRIBUTE(BookHighlightMemo, startNodeOffset),
            TAVRO_ATTRIBUTE(BookHighlightMemo, endNodeNo),
            TAVRO_ATTRIBUTE(BookHighlightMemo, endNodeOffset),
            TAVRO_ATTRIBUTE(BookHighlightMemo, memotext),
            TAVRO_ATTRIBUTE(BookHighlightMemo, memodate),
            TAVRO_ATTRIBUTE(BookHighlightMemo, contentTitle),
            TAVRO_ATTRIBUTE(BookHighlightMemo, gpsInfo),
            TAVRO_ATTRIBUTE(BookHighlightMemo, twitterFlg),
            TAVRO_ATTRIBUTE(BookHighlightMemo, facebookFlg),
            TAVRO_ATTRIBUTE(BookHighlightMemo, chatterFlg),
            TAVRO_ATTRIBUTE(BookHighlightMemo, udId),
            TAVRO_ATTRIBUTE(BookHighlightMemo, updateUdId),
            TAVRO_ATTRIBUTE(BookHighlightMemo, user),
            TAVRO_ATTRIBUTE(BookHighlightMemo, updateTime),
            TAVRO_ATTRIBUTE(BookHighlightMemo, deleteFlg),
            TAVRO_ATTRIBUTE(BookHighlightMemo, markedText),
            TAVRO_ATTRIBUTE(BookHighlightMemo, markedContext),
            TAVRO_ATTRIBUTE(BookHighlightMemo, anchorFound),
            TAVRO_ATTRIBUTE(BookHighlightMemo, syncedTime),
        };
        return list;
    }
};
