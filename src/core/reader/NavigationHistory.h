// Where the reader's go-back button leads. The reader reports what happens
// (the book opened, a navigation started, an in-page jump, a page turned,
// a document loaded) and asks what going back means now:
// - back to the book a link between books came from (after asking);
// - the page before the last jump, loaded again;
// - that page, then the scroll position it had (a "#" link into another
//   document);
// - only the scroll position (a "#" jump within the shown document).
// A book opened from the shelf, or reopened by going back, offers no way
// back until the reader moves.
//
// Plain state, no widgets: one per opened book, main thread.
#pragma once

#include <optional>

class NavigationHistory
{
public:
    struct Back {
        enum Kind {
            None, // nothing to go back to
            OtherBook, // ask, then return to the book before
            ShowPage, // load `page`
            ShowPageScroll, // load `page`; loadFinished() gives the offset
            Scroll, // scroll the shown page to `offset`
        };
        Kind kind = None;
        int page = 0;
        int offset = 0;
    };

    // The book opened at `page`. `fromLink`: opened at a document a link in
    // another book pointed to (going back returns there); `reopenedByBack`:
    // reopened at a document by going back from such a book.
    void opened(int page, bool fromLink, bool reopenedByBack);

    // A navigation of the book view starts; `page` is the spine item it
    // shows (absent when the URL is no spine item). `fragmentScrollY`: the
    // scroll position now, when the URL has a "#" fragment.
    void navigationStarted(std::optional<int> page, std::optional<int> fragmentScrollY);
    // A "#" jump within the shown document, seen once it happened;
    // `offsetBefore` is where the page was (absent when unknown).
    void jumpedWithinDocument(std::optional<int> page, std::optional<int> offsetBefore);
    // Shortly after each navigation: a book reopened by going back offers
    // no way further back.
    void navigationSettled();
    // Turning pages or choosing an outline row: the shown page becomes the
    // one to go back to, and the link back to another book is forgotten.
    void movedByReader();
    // The page shown after turning pages (clamped to 0..pageCount-1).
    int turn(int delta, int pageCount);
    // A page shown directly (a PDF page).
    void showPage(int page);
    // A page chosen by number: the shown one becomes the one to go back to.
    void jumpTo(int page);

    // The go-back button. Disables going back until the next navigation.
    Back back();
    // The question of Back::OtherBook was declined.
    void backDeclined() { m_backEnabled = true; }
    // A document finished loading: the offset to scroll to, after going
    // back to a page that had been scrolled.
    std::optional<int> loadFinished();

    int page() const { return m_page; }
    int lastPage() const { return m_lastPage; }
    bool backEnabled() const { return m_backEnabled; }
    // Going back returns to the book a link came from.
    bool returnsToOtherBook() const { return m_isBackOther; }

private:
    void saveLastPage() { m_lastPage = m_page; }
    void pageNavigated(std::optional<int> page);

    int m_page = 0;
    int m_lastPage = 0;
    // The scroll offset to go back to; starts unset (scrolls to 0) and is
    // emptied once used.
    int m_offset = 0;
    bool m_offsetEmpty = false;
    std::optional<int> m_pageBefore; // the page of the navigation before
    bool m_firstOpen = false;
    bool m_fromLink = false; // opened at a linked document
    bool m_isBackOther = false; // going back returns to the book before
    bool m_otherBook = false; // reopened by going back
    bool m_otherPage = false; // the last navigation changed the page
    bool m_backFlag = false; // going back: scroll once the page is in
    bool m_backEnabled = false;
};
