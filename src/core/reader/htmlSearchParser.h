// The scan behind the reader's search in an EPUB book: every spine item's
// XHTML is read with an event-driven XML parser, and each text chunk outside
// the document head is searched for the term, case-insensitively, with
// overlapping occurrences, up to a limit of hits.
//
// A text chunk is the whole run of text between two tags (entity and
// character references included), so a term is found even where the XML
// parser hands its text over in several pieces.
//
// A scan can be continued with a larger limit (Progress): the hits and flags
// are those a fresh scan with that limit gives, without reading the hits
// already listed again.
//
// Threads: an object belongs to one thread; the cancel flag may be set from
// any thread.
#pragma once

#include "BookSearchText.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <atomic>
#include <memory>

class htmlSearchParser
{
public:
    // Where a scan stopped, to continue it with a larger limit.
    struct Progress {
        QString term;
        QString currentManifestID;
        bool fromFirst = false;
        QVariantList hits;
        int item = 0; // spine index the scan goes on at
        int chunk = 0;
        int offset = 0;
        int itemHits = 0; // hits already listed in `item`
        bool started = false; // the start item has been reached
        bool midItem = false; // the cursor is inside `item`, past its limit check
        bool finished = false; // every item was scanned

        bool continues(const QString &t, const QString &id, bool first, int maxCount) const
        {
            return t == term && first == fromFirst && (first || id == currentManifestID)
                && maxCount >= hits.size();
        }
    };

    // Scans `book` for `searchString` from the spine item `currentManifestID`
    // (or from the first item when `searchFromFirstPage`), listing at most
    // `maxCount` hits. Returns false only when cancelled (the results are
    // then incomplete). `resume`, when it continues this same search
    // (Progress::continues), is taken up where it stopped. The book id and
    // the right-to-left flag are accepted and not used.
    bool parseXML(const QString &bookID, bool isPageFromRightToLeft, const QString &searchString,
        const BookSearchText &book, const QString &currentManifestID, bool searchFromFirstPage, int maxCount,
        const Progress *resume = nullptr);

    // Set by another thread to stop a scan between chunks; not owned, must
    // outlive the scan.
    void setCancelFlag(const std::atomic_bool *cancel) { m_cancel = cancel; }

    // Results of the last parseXML: result dictionaries {"id", "text",
    // "page", "location", "no"}.
    const QVariantList &bookSearchResultMutableArray() const { return m_progress.hits; }
    bool haveMore() const { return m_haveMore; }
    bool changeFromFirst() const { return m_changeFromFirst; }
    const Progress &progress() const { return m_progress; }

private:
    bool cancelled() const { return m_cancel && m_cancel->load(std::memory_order_relaxed); }

    const std::atomic_bool *m_cancel = nullptr;
    Progress m_progress;
    bool m_haveMore = false;
    bool m_changeFromFirst = false;
};
