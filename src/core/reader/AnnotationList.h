// The annotation list of one book: its bookmarks, highlights and memos
// (not deleted) sorted by page, the text of each row as the list shows it,
// and the export of all of them as Markdown or JSON.
//
// The thread of the annotations' store (the main thread in the application). A book without a record
// (bookID <= 0) has an empty list.
#pragma once

#include "core/library/AnnotationRepository.h"
#include "core/library/BookHighlightMemo.h"

#include <QByteArray>
#include <QList>
#include <QString>

class AnnotationList
{
public:
    enum class Tab { Bookmarks = 1, Highlights = 2, Memos = 3 };

    // Reads the book's annotations.
    static AnnotationList load(const AnnotationRepository &annotations, qint64 bookID);

    const QList<BookHighlightMemo> &bookMarkList() const { return m_bookmarks; }
    const QList<BookHighlightMemo> &highlightList() const { return m_highlights; }
    const QList<BookHighlightMemo> &memoList() const { return m_memos; }
    const QList<BookHighlightMemo> &list(Tab tab) const;

    // The row text: "page:title" (bookmarks); for highlights and memos
    // "page:chapter title" (the time when the page has no chapter title),
    // then the start of the highlighted text in 「」 (textStart), then the
    // memo (memos), and "(not found in this edition)" for one that is lost.
    static QString rowText(Tab tab, const BookHighlightMemo &record);
    // The highlighted text on one line, cut after kTextStartLength
    // characters with "…".
    static QString textStart(const QString &text);
    static constexpr int kTextStartLength = 40;
    static constexpr const char *kNotFound = "この版では見つかりません";

    // Markdown: the title, then per chapter the highlighted passages
    // quoted with their memos, then the bookmarks with titles and pages.
    QString toMarkdown(const QString &bookTitle) const;
    // JSON: {"title", "bookmarks", "highlights", "memos"} with every field
    // of every record (dates as ISO 8601 UTC, absent fields left out).
    QByteArray toJson(const QString &bookTitle) const;

private:
    QList<BookHighlightMemo> m_bookmarks;
    QList<BookHighlightMemo> m_highlights;
    QList<BookHighlightMemo> m_memos;
};
