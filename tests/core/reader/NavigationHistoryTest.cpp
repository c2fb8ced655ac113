// The go-back rules of the reader, without a web view: each scenario is the
// sequence of events the reader reports, then what going back does.
#include "core/reader/NavigationHistory.h"

#include <functional>
#include <gtest/gtest.h>

namespace
{

using Back = NavigationHistory::Back;

// A book opened from the shelf at page `page`, its first document loaded.
NavigationHistory openedAt(int page)
{
    NavigationHistory h;
    h.opened(page, false, false);
    h.navigationStarted(page, std::nullopt);
    h.navigationSettled();
    h.loadFinished();
    return h;
}

TEST(NavigationHistory, NothingToGoBackToOnOpening)
{
    NavigationHistory h = openedAt(3);
    EXPECT_FALSE(h.backEnabled());
    EXPECT_EQ(h.back().kind, Back::None);
    EXPECT_EQ(h.page(), 3);
}

TEST(NavigationHistory, BackCases)
{
    struct Case {
        const char *name;
        std::function<void(NavigationHistory &)> moves;
        Back::Kind kind;
        int page;
        int offset;
    };
    const Case cases[] = {
        // No offset noted yet: the page before, scrolled to the top.
        { "next page, back to the page before",
            [](NavigationHistory &h) {
                h.navigationStarted(h.turn(+1, 10), std::nullopt);
                h.loadFinished();
            },
            Back::ShowPageScroll, 2, 0 },
        { "in-page jump, only the scroll position goes back",
            [](NavigationHistory &h) { h.jumpedWithinDocument(2, 120); }, Back::Scroll, 2, 120 },
        { "in-page jump with the offset unknown: to the top",
            [](NavigationHistory &h) { h.jumpedWithinDocument(2, std::nullopt); }, Back::Scroll, 2, 0 },
        { "a '#' link into the next document: that page, then its scroll position",
            [](NavigationHistory &h) {
                h.navigationStarted(3, 480);
                h.loadFinished();
            },
            Back::ShowPageScroll, 2, 480 },
        { "an outline row, then back",
            [](NavigationHistory &h) {
                h.movedByReader();
                h.navigationStarted(7, std::nullopt);
                h.loadFinished();
            },
            Back::ShowPageScroll, 2, 0 },
        { "turning past the last page stays there",
            [](NavigationHistory &h) {
                h.navigationStarted(h.turn(+5, 4), std::nullopt);
                h.loadFinished();
            },
            Back::ShowPageScroll, 2, 0 },
    };
    for (const Case &c : cases) {
        NavigationHistory h = openedAt(2);
        c.moves(h);
        ASSERT_TRUE(h.backEnabled()) << c.name;
        const Back back = h.back();
        EXPECT_EQ(back.kind, c.kind) << c.name;
        EXPECT_EQ(back.page, c.page) << c.name;
        if (c.kind == Back::Scroll || c.kind == Back::ShowPageScroll)
            EXPECT_EQ(back.offset, c.offset) << c.name;
        EXPECT_FALSE(h.backEnabled()) << c.name << ": once until the next move";
    }
}

TEST(NavigationHistory, GoingBackToAScrolledPageScrollsOnceItIsIn)
{
    NavigationHistory h = openedAt(1);
    h.navigationStarted(4, 300); // "#" link into another document
    h.loadFinished();
    const Back back = h.back();
    ASSERT_EQ(back.kind, Back::ShowPageScroll);
    EXPECT_EQ(h.page(), 1);
    h.navigationStarted(1, std::nullopt);
    EXPECT_EQ(h.loadFinished(), 300);
    EXPECT_EQ(h.loadFinished(), std::nullopt) << "only once";
    EXPECT_TRUE(h.backEnabled()) << "the page change itself can be undone";
    EXPECT_EQ(h.back().kind, Back::ShowPage) << "the offset was used";
}

TEST(NavigationHistory, TheJumpAfterScrollingBackIsAPlainPageAgain)
{
    NavigationHistory h = openedAt(0);
    h.jumpedWithinDocument(0, 50);
    ASSERT_EQ(h.back().kind, Back::Scroll);
    h.jumpedWithinDocument(0, std::nullopt);
    EXPECT_EQ(h.back().kind, Back::ShowPage) << "the offset is emptied once used";
}

TEST(NavigationHistory, LinksBetweenBooks)
{
    // Opened at a linked document: going back offers the book before.
    NavigationHistory linked;
    linked.opened(0, true, false);
    EXPECT_TRUE(linked.backEnabled());
    linked.navigationStarted(5, std::nullopt);
    linked.navigationSettled();
    EXPECT_TRUE(linked.returnsToOtherBook());
    EXPECT_EQ(linked.back().kind, Back::OtherBook);
    EXPECT_FALSE(linked.backEnabled());
    linked.backDeclined();
    EXPECT_TRUE(linked.backEnabled()) << "declining keeps the way back";
    // Turning a page forgets the other book.
    linked.navigationStarted(linked.turn(+1, 10), std::nullopt);
    EXPECT_FALSE(linked.returnsToOtherBook());
    EXPECT_EQ(linked.back().kind, Back::ShowPageScroll);

    // Reopened by going back: no way further back.
    NavigationHistory reopened;
    reopened.opened(0, false, true);
    reopened.navigationStarted(5, std::nullopt);
    EXPECT_FALSE(reopened.backEnabled());
    reopened.navigationSettled();
    EXPECT_FALSE(reopened.backEnabled());
    reopened.navigationStarted(reopened.turn(+1, 10), std::nullopt);
    EXPECT_TRUE(reopened.backEnabled()) << "moving on offers going back again";
}

} // namespace
