// A PDF book's reading direction, kept in the user defaults under
// "directionUD-" + the book's "metaBookId": "0" is right-opening (pages
// turn towards the lower page number), "1" or nothing is left-opening, the
// default. The direction pop-over's segment is the stored value: segment 0
// right-opening, segment 1 left-opening.
//
// A book without "metaBookId" has no key: its direction is left-opening
// until changed and is not stored.
//
// Main thread only (user defaults).
#pragma once

#include <QString>
#include <optional>

class ReadingDirection
{
public:
    static constexpr int kRightOpeningSegment = 0;
    static constexpr int kLeftOpeningSegment = 1;

    explicit ReadingDirection(const QString &metaBookId);

    // "directionUD-" + metaBookId; empty without an id.
    const QString &directionUD() const { return m_key; }
    bool rightOpening() const { return isRightOpening(m_value); }
    // The pop-over's selected segment.
    int segment() const { return segmentFor(m_value); }
    // Stores the chosen segment ("0" or "1") and writes the defaults out.
    // Any other segment is ignored.
    void choose(int segment);

    // The rules, on a stored value (absent when nothing is stored).
    static QString keyFor(const QString &metaBookId);
    static bool isRightOpening(const std::optional<QString> &value);
    static int segmentFor(const std::optional<QString> &value);
    static QString valueForSegment(int segment);
    // The page step of the back (segment 0) and forward (segment 1) buttons:
    // right-opening turns forward to the lower page number.
    static int step(bool rightOpening, int segment);
    // The view's own next page (+1) and previous page (-1) in the document's
    // page numbers.
    static int viewStep(bool rightOpening, int next) { return rightOpening ? -next : next; }
    // `page` moved by `step`, kept within 0 .. pageCount - 1 (0 for a book
    // without pages).
    static int turn(int page, int step, int pageCount);
    // The word written to the log when a page is turned.
    static QString logWord(bool rightOpening);

private:
    QString m_key;
    std::optional<QString> m_value;
};
