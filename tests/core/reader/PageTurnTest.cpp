// Where a paging key leads: a screen within a spine item, or on into the
// next or previous one.
#include "core/reader/PageTurn.h"

#include <gtest/gtest.h>
#include <limits>

namespace
{

using Move = PageTurn::Move;

TEST(PageTurn, ScreensWithinAnItemThenOnIntoTheNextOrPrevious)
{
    // A 600-pixel screen over a 2000-pixel item (last offset 1400), a
    // 20-pixel line shown again; items 0..2.
    const struct {
        const char *what;
        PageTurn::Where where;
        bool forward;
        double overlap;
        Move expected;
    } cases[] = {
        { "first screen forward", { 0, 600, 2000, 1, 3 }, true, 20, { Move::Scroll, 580, 1 } },
        { "middle forward", { 700, 600, 2000, 1, 3 }, true, 20, { Move::Scroll, 1280, 1 } },
        { "forward stops at the last screen", { 1000, 600, 2000, 1, 3 }, true, 20,
            { Move::Scroll, 1400, 1 } },
        { "at the end: next item's start", { 1400, 600, 2000, 1, 3 }, true, 20, { Move::ItemStart, 0, 2 } },
        { "nearly at the end counts as the end", { 1398.5, 600, 2000, 1, 3 }, true, 20,
            { Move::ItemStart, 0, 2 } },
        { "short item: next at once", { 0, 600, 300, 1, 3 }, true, 20, { Move::ItemStart, 0, 2 } },
        { "book's last end stays", { 1400, 600, 2000, 2, 3 }, true, 20, {} },
        { "middle back", { 1000, 600, 2000, 1, 3 }, false, 20, { Move::Scroll, 420, 1 } },
        { "back stops at the top", { 300, 600, 2000, 1, 3 }, false, 20, { Move::Scroll, 0, 1 } },
        { "at the start: previous item's end", { 0, 600, 2000, 1, 3 }, false, 20, { Move::ItemEnd, 0, 0 } },
        { "book's first start stays", { 0, 600, 2000, 0, 3 }, false, 20, {} },
        { "offset past the end is the end", { 5000, 600, 2000, 0, 3 }, true, 20, { Move::ItemStart, 0, 1 } },
        { "negative offset is the start", { -40, 600, 2000, 1, 3 }, false, 20, { Move::ItemEnd, 0, 0 } },
        { "overlap kept to half a screen", { 0, 600, 2000, 0, 3 }, true, 5000, { Move::Scroll, 300, 0 } },
        { "no overlap", { 0, 600, 2000, 0, 3 }, true, 0, { Move::Scroll, 600, 0 } },
        { "no screen", { 0, 0, 2000, 0, 3 }, true, 20, {} },
        { "item outside the book", { 0, 600, 2000, 3, 3 }, true, 20, {} },
        { "not a number", { std::numeric_limits<double>::quiet_NaN(), 600, 2000, 1, 3 }, true, 20, {} },
    };
    for (const auto &c : cases) {
        const Move got = PageTurn::step(c.where, c.forward, c.overlap);
        EXPECT_EQ(got, c.expected) << c.what << ": got kind " << got.kind << " offset " << got.offset
                                   << " item " << got.item;
    }
}

TEST(PageTurn, ForwardThenBackVisitsEveryLine)
{
    // Screens forward cover the item with overlap; going back retraces
    // them to the start.
    PageTurn::Where where { 0, 500, 2600, 0, 1 };
    double shownTo = where.viewport;
    for (int i = 0; i < 20; ++i) {
        const Move m = PageTurn::step(where, true, 18);
        if (m.kind != Move::Scroll)
            break;
        EXPECT_LE(m.offset, shownTo) << "no line skipped";
        where.offset = m.offset;
        shownTo = m.offset + where.viewport;
    }
    EXPECT_EQ(where.offset, 2100);
    int back = 0;
    for (Move m; (m = PageTurn::step(where, false, 18)).kind == Move::Scroll; ++back)
        where.offset = m.offset;
    EXPECT_EQ(where.offset, 0);
    EXPECT_GE(back, 4);
}

TEST(PageTurn, ArrowsFollowThePageDirection)
{
    using Arrow = PageTurn::Arrow;
    const struct {
        bool left, vertical, rightToLeft;
        Arrow expected;
    } cases[] = {
        { true, false, false, Arrow::ItemBack }, // a left-to-right book keeps the old meaning
        { false, false, false, Arrow::ItemForward },
        { true, false, true, Arrow::ItemForward }, // right to left: Left goes on
        { false, false, true, Arrow::ItemBack },
        { true, true, true, Arrow::ScreenForward }, // vertical: screens, Left goes on
        { false, true, true, Arrow::ScreenBack },
    };
    for (const auto &c : cases)
        EXPECT_EQ(PageTurn::arrow(c.left, c.vertical, c.rightToLeft), c.expected)
            << c.left << c.vertical << c.rightToLeft;
}

} // namespace
