// Where the reader is inside one spine item of an EPUB: a text anchor (the
// path of an element below the body and a character offset in its text,
// counting every text node below it) and the scroll fraction of the
// document, which stands in when the anchor no longer leads anywhere (the
// book was replaced, the element is gone).
//
// Kept beside the spine index of the book's status record as a small JSON
// object; the page script gives and takes the same object.
//
// Plain value; any thread.
#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>

struct ReadingPlace {
    int spineIndex = 0;
    // "/" is the body, "/2/0" the first element of the body's third;
    // elements the reader puts into pages (highlights, search marks) are not
    // counted. Empty: no anchor, only the fraction.
    QString path;
    int offset = 0; // characters of the element's text before the place
    double fraction = 0.0; // 0 at the top of the document, 1 at its end

    bool hasAnchor() const { return !path.isEmpty(); }
    bool operator==(const ReadingPlace &) const = default;

    // The top of spine item `spineIndex`, or the given share of it.
    static ReadingPlace at(int spineIndex, double fraction = 0.0);

    // The stored text ({"spine":…,"path":…,"offset":…,"fraction":…}).
    QString toJson() const;
    // A stored text or a page script's answer (its "spine" may be missing:
    // then `spineIndex` is taken). Absent for anything else: not an object,
    // a path that is no element path, a negative or huge offset or spine
    // index, a fraction outside 0..1.
    static std::optional<ReadingPlace> fromJson(const QString &json, int spineIndex = -1);

    // For JSON output: spine index, anchor (or null) and fraction.
    QVariantMap toVariant() const;

    // Whether `path` is an element path as described above.
    static bool isElementPath(const QString &path);
};
