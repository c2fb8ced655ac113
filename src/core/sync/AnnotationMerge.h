// The download half of the annotation sync without the network or the
// store: reads the server's answer for one book (refusing a malformed one)
// and merges it with the book's local annotations into a list of writes.
//
// Rules: the server's bookmarks replace the local ones already uploaded (a
// local bookmark not sent yet keeps its page); highlights and memos are
// matched by (udId, highlightNo, page); a local one the server had and no
// longer has was deleted on another device and goes; anything changed or
// deleted locally since the last upload stays as it is. Only records of the
// signed-in account with a device id are taken.
//
// Pure: no store, no network; any thread.
#pragma once

#include "core/library/BookHighlightMemo.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantMap>
#include <optional>

class AnnotationMerge
{
public:
    // Page, highlight and node numbers beyond this are refused: the reader
    // adds one to them, and no book comes near it.
    static constexpr qint64 kMaxNumber = 0x7fffffff;

    struct Context {
        QString bookId; // the book's identifier (metaBookID)
        std::optional<qint64> bookID; // the library's BookID for it
        bool isPdf = false;
        QString userId; // the signed-in account; records of others are dropped
        std::optional<QDateTime> lastSync; // the last successful upload
    };

    // A well-formed answer, reduced to the records to take.
    struct Answer {
        // False when the answer names none of the lists: no account of the
        // book, so nothing local changes.
        bool describesBook = false;
        QList<BookHighlightMemo> bookmarks;
        QList<BookHighlightMemo> marked; // highlights and memos
        int dropped = 0; // records of another account or without a device id
    };

    struct Write {
        enum class Kind { Insert, Update, Remove };
        Kind kind;
        BookHighlightMemo record; // Update/Remove: a local record (pk set)
    };

    // Reads the answer. Absent when it is malformed ("result" other than a
    // success, a list that is not a list of objects, a field holding a list
    // or object, a number that is not an integer or is out of range); then
    // `error` (optional) says why.
    static std::optional<Answer> parse(
        const QVariantMap &reply, const Context &context, QString *error = nullptr);

    // The writes that bring `local` (the book's annotations in the store) in
    // line with `answer`, in one pass.
    static QList<Write> merge(
        const QList<BookHighlightMemo> &local, const Answer &answer, const Context &context);

    // Whether a local record holds a change the server has not received.
    static bool isPending(const BookHighlightMemo &record, const std::optional<QDateTime> &lastSync);

    // A download "updateDate": milliseconds in the server's local-time
    // convention, as a point in time.
    static QDateTime dateFromServerMilliseconds(qint64 milliseconds);
};
