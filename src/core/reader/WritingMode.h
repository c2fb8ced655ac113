// Vertical writing of Japanese (and other East Asian) EPUB books: whether a
// book asks to be shown in vertical lines running right to left, whether
// the reader may switch it between vertical and horizontal, the reader's
// choice for the book (kept in the user defaults under "writingModeUD-" +
// the book's identifier: "1" vertical, "0" horizontal), and the page script
// that lays the shown mode over the book's own style sheets.
//
// A book asks for vertical writing when its package says so (a
// "primary-writing-mode" meta, or a right-to-left page progression in an
// East Asian language) or when a style sheet, linked or in the document,
// sets a vertical writing-mode on the document's root or body (also through
// a class those elements carry). Sheets that only offer vertical writing to
// other elements, or to classes the documents do not use, do not count.
//
// Reading a book (of) and the stored choice: main thread (user defaults);
// the pure rules: any thread.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

class EPUBManager;

class WritingMode
{
public:
    struct Layout {
        bool vertical = false; // the book's own mode is vertical
        bool rightToLeft = false; // pages follow each other from right to left
        bool allowsBoth = false; // the reader may switch vertical / horizontal
        bool operator==(const Layout &) const = default;
    };

    // What `book` asks for, read from its package, its style sheets and the
    // first few documents of its spine. A book that cannot be read asks for
    // nothing (horizontal, left to right, no switch).
    static Layout of(const EPUBManager &book);

    // The package's part: its page-progression-direction, its
    // "primary-writing-mode" meta and its "dc:language".
    static Layout fromPackage(
        const QString &pageProgression, const QString &primaryWritingMode, const QString &language);
    // Whether the CSS text `css` sets a vertical writing-mode on the root or
    // body element of a document whose html and body elements carry
    // `rootClasses`.
    static bool sheetAsksVertical(const QString &css, const QStringList &rootClasses);
    // The classes on the html and body elements of the (X)HTML `document`.
    static QStringList rootClasses(const QByteArray &document);
    // Whether `document` itself asks for vertical writing: in a <style>
    // element or a style attribute of its html or body element.
    static bool documentAsksVertical(const QByteArray &document);

    // The shown mode: the reader's choice where the book allows both, else
    // the book's own.
    static bool showsVertical(const Layout &layout, std::optional<bool> choice);

    // "writingModeUD-" + `bookId`; empty without an id (nothing is kept).
    static QString keyFor(const QString &bookId);
    // The stored choice under `key`, absent when none (or no key).
    static std::optional<bool> storedChoice(const QString &key);
    // Keeps `vertical` under `key` (nothing without a key).
    static void storeChoice(const QString &key, bool vertical);

    // The script that lays vertical (true) or horizontal (false) lines over
    // every document it runs in, whatever the book's sheets say; absent:
    // takes away what an earlier run laid. Safe to run at document creation.
    static QString pageScript(std::optional<bool> vertical);
};
