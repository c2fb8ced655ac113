// Screen-by-screen paging through an EPUB book shown one spine item at a
// time: where a paging key (Space, Page Down, the arrow keys) leads from the
// place shown. Inside a spine item it scrolls by one screen less a line, so
// the last line of one screen is the first of the next; at the item's end
// it goes on to the start of the next item, at its start back to the end of
// the previous one. The book's first start and last end stay where they
// are.
//
// Positions are along the reading axis, from the item's start: the vertical
// scroll offset of a horizontal book, the distance scrolled from the right
// edge of a vertical (right-to-left) one. Pure; any thread.
#pragma once

class PageTurn
{
public:
    // The place shown, as the page reports it.
    struct Where {
        double offset = 0; // scrolled from the item's start
        double viewport = 0; // the screen's length along the reading axis
        double extent = 0; // the whole item's length along that axis
        int item = 0; // spine index shown
        int itemCount = 0; // spine items in the book
    };

    struct Move {
        enum Kind {
            Stay, // nothing to do: the book's very start or end, or no usable place
            Scroll, // scroll the item shown to `offset`
            ItemStart, // show spine item `item` from its start
            ItemEnd, // show spine item `item` at its end
        };
        Kind kind = Stay;
        double offset = 0;
        int item = 0;
        bool operator==(const Move &) const = default;
    };

    // Where one screen forward (`forward`) or back leads. `overlap` is the
    // part of a screen shown again (a line's height); it is kept to at most
    // half a screen. Returns Stay for a place that makes no sense (a screen
    // of no length, an item outside the book, numbers that are not finite).
    static Move step(const Where &where, bool forward, double overlap);

    // What the Left (`left`) or Right arrow key does. In vertical lines
    // (laid right to left) the arrows page by screens, Left forward; else
    // they step spine items, Left back, unless the book's pages run right
    // to left, where Left goes forward.
    enum class Arrow { ItemBack, ItemForward, ScreenBack, ScreenForward };
    static Arrow arrow(bool left, bool vertical, bool rightToLeft);

    // Offsets within this many pixels of an end count as that end: the page
    // reports fractional offsets that never quite reach it.
    static constexpr double kEndSlack = 2.0;
};
