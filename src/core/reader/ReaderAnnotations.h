// The reader's bookmarks, highlights and memos, decided without a window:
// what a command does to the library and which page-script text the reader
// then evaluates in the book page (the page scripts of "selection.js").
//
// A highlight is addressed in the page by "<number>_<device id>", or by its
// bare number when it has no device id (records from older clients).
// Highlight numbers count per page over every record, deleted ones too, so a
// number is never given twice on a page.
//
// Every text put into a script (device ids, memo text, dates) is quoted for
// JavaScript, so nothing a record carries can break out of its argument.
//
// An instance works on the annotations it was made over (their store must
// outlive it); making one costs nothing. The thread of that store (the main
// thread in the application). Failure: a store that is not open gives empty
// results; no call throws.
#pragma once

#include "core/library/AnnotationRepository.h"
#include "core/library/BookHighlightMemo.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <compare>
#include <optional>

// The page the reader shows, as annotations are keyed.
struct AnnotationPage {
    qint64 bookID = -1; // -1: a book without a library record
    int pageIdx = 0; // spine index (EPUB) or PDF page index, from 0
    std::optional<QString> tocId; // "id" of the outline entry at the page index
    QString contentTitle; // "text" of that entry, "" without one
    std::optional<QString> metaBookID; // the book's identifier

    // The page number as shown, the key of the page's highlights.
    QString naviID() const { return QString::number(pageIdx + 1); }
};

// A place in the page's numbered text.
struct NodePosition {
    qint64 node = 0;
    qint64 offset = 0;
    auto operator<=>(const NodePosition &) const = default;
};

class ReaderAnnotations
{
public:
    explicit ReaderAnnotations(AnnotationRepository annotations)
        : m_annotations(annotations)
    {
    }
    const AnnotationRepository &annotations() const { return m_annotations; }

    static constexpr const char *kHighlightColour = "highlight_color1";
    static constexpr const char *kMemoColour = "memo_color1";
    // The page-script call that clears the selection after every command.
    static constexpr const char *kClearSelection = "window.getSelection().removeAllRanges();";

    // "getSelectionStartQmNodeInfo()" / "getSelectionEndQmNodeInfo()"
    // answers; absent for "false" or anything that is not the object.
    static std::optional<NodePosition> selectionStart(const QString &answer);
    static std::optional<NodePosition> selectionEnd(const QString &answer);

    struct HighlightResult {
        // The new highlight, or the existing one covering the selection;
        // absent without a usable selection or when the store failed.
        std::optional<BookHighlightMemo> record;
        bool created = false;
        // To evaluate in the page, in order (ends by clearing the selection).
        QString script;
    };
    // Highlights the selection [start, end] of `page`. Highlights it
    // overlaps (touching counts) are merged into the new one: their memos
    // joined by line feeds, their records marked deleted (so the deletion
    // reaches the sync server; they still count for numbering). The highlighted text and
    // the words around it are kept with the record: taken from `nodeTexts`
    // (the page's numbered texts, node 1 first) when given, else
    // `markedText` alone. An empty book (bookID <= 0) or an empty answer
    // gives no record.
    HighlightResult highlight(const AnnotationPage &page, const QString &startAnswer,
        const QString &endAnswer, const QString &markedText = {}, const QStringList &nodeTexts = {});

    // After the book's text may have changed (a newer edition): checks each
    // highlight of the page against its kept text in `nodeTexts` and, where
    // the text is no longer at its positions, finds it again (the
    // occurrence whose surrounding words match best, then the nearest) and
    // moves it there; one that is not found anywhere is marked as lost and
    // not drawn. Highlights without kept text are left as they are. The
    // number of records changed.
    int reanchor(const AnnotationPage &page, const QStringList &nodeTexts);
    // Whether a highlight of the page keeps its text (so reanchor() has
    // something to check).
    bool keepsText(const AnnotationPage &page) const;
    // The text of [start, end) in `nodeTexts`; empty outside it.
    static QString textAt(const QStringList &nodeTexts, NodePosition start, NodePosition end);

    // The page identifier of a highlight.
    static QString identifier(const BookHighlightMemo &record);
    // The record an identifier names on the page (not deleted), if any.
    std::optional<BookHighlightMemo> findByIdentifier(const AnnotationPage &page, const QString &identifier);
    // The "setHighlight(...);" call drawing one record.
    static QString drawCall(const BookHighlightMemo &record);
    // Every highlight of the page as one script; empty when there is none.
    QString pageScript(const AnnotationPage &page);

    // Deletes (softly) the highlight `identifier` names ("false": nothing);
    // the script removes its mark and clears the selection. Empty script
    // when there was nothing to do.
    QString deleteHighlight(const AnnotationPage &page, const QString &identifier);
    // Saves a memo: a non-empty text sets memotext, memodate and updateTime
    // and gives the redraw script; an empty text changes nothing (empty
    // script). False when the store failed.
    bool saveMemo(BookHighlightMemo &record, const QString &text, QString *script = nullptr);
    // Deletes a highlight with its memo (softly); the script removes its
    // mark. Empty script, nothing changed, when the record has no usable
    // identifier.
    QString deleteMemo(BookHighlightMemo &record);

    // "yyyy/MM/dd HH:mm:ss" in local time (page and pop-overs).
    static QString timeText(const std::optional<QDateTime> &time);
    // "yyyy/MM/dd HH:mm" in local time (the annotation list).
    static QString shortTimeText(const std::optional<QDateTime> &time);

    // ---- bookmarks ----
    // Whether the page has a bookmark (never for bookID <= 0).
    bool isBookmarked(qint64 bookID, int pageIdx);
    // Turns the page's bookmark on (creating or reviving the record) or off
    // (kept, marked deleted). Nothing for bookID <= 0. `manifestId`: the
    // spine item id (EPUB) or the page index as text (PDF).
    void setBookmark(qint64 bookID, int pageIdx, bool on, const std::optional<QString> &manifestId,
        const std::optional<QString> &metaBookID);
    // "しおり" when the bookmark has no title.
    static QString bookmarkTitle(const BookHighlightMemo &record);
    // Sets the title of the page's bookmark; an empty title changes nothing.
    void setBookmarkTitle(qint64 bookID, int pageIdx, const QString &title);

    // Quotes `text` as a JavaScript string literal in single quotes.
    static QString jsQuote(const QString &text);

private:
    AnnotationRepository m_annotations;
};
