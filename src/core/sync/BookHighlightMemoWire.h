// The sync server's wire forms of a bookmark, highlight or memo: the delete
// entry, the identity object and the insert record. Building a form first
// sets an absent udId, updateUdId and user to "" on the record itself.
// Pure apart from that; any thread.
#pragma once

#include "OrderedJson.h"
#include "core/library/BookHighlightMemo.h"

#include <QDateTime>
#include <QString>

class BookHighlightMemoWire
{
public:
    // "BooksShiori", "BooksHighlight", "BooksMemo" or the "Pdfs..." forms.
    static QString tableName(const BookHighlightMemo &record, bool isPdf);
    // Page number as uploaded: PageIdx + 1 for an EPUB, PageIdx for a PDF,
    // 1 when there is no PageIdx.
    static qint64 pageNumber(const BookHighlightMemo &record, bool isPdf);
    // "yyyyMMdd'T'HHmmss.SSS" in local time.
    static QString formatDate(const std::optional<QDateTime> &date);

    static OrderedJsonObject changeForDelete(BookHighlightMemo &record, bool isPdf);
    static OrderedJsonObject changeForCheckHighlightMemo(BookHighlightMemo &record, bool isPdf);
    static OrderedJsonObject changeForInsert(BookHighlightMemo &record, bool isPdf);
};
