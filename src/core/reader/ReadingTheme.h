// The reading theme of book pages: day (the book's own colours), sepia or
// night. EPUB pages get a style sheet that overrides the page's text and
// background colours and leaves images alone; PDF pages are tinted (sepia)
// or inverted (night) as they are drawn. Every colour of a theme is one row
// of one table (ReadingTheme.cpp): a further theme is a Kind and a row.
//
// The choice is kept under UserDefaults "readingTheme" ("day", "sepia",
// "night"); without it the theme follows the desktop: night on a dark
// window palette, day otherwise.
//
// Pure functions; any thread.
#pragma once

#include <QList>
#include <QPalette>
#include <QString>
#include <optional>

class ReadingTheme
{
public:
    enum Kind { Day, Sepia, Night };
    static constexpr const char *kDefaultsKey = "readingTheme";

    // How a PDF page is drawn under a theme: as it is, multiplied by the
    // tint (white paper takes the tint, black stays), or the difference
    // with it (colours turn to their opposite, white to a dark grey that
    // is easier on the eyes than black).
    enum class PdfTint { None, Multiply, Difference };

    // One theme's row. Colours are "#rrggbb"; a null colour means "the
    // book's own" (no override).
    struct Colours {
        Kind kind;
        const char *key; // kept under kDefaultsKey
        const char *title; // UTF-8, the reader's menu
        const char *background; // the page background
        const char *text; // EPUB text and borders
        const char *link; // EPUB links
        PdfTint pdfTint;
        const char *pdfTintColour;
        const char *highlight; // annotation highlights over this theme
        const char *memo; // memo marks over this theme
        const char *searchMark; // the in-book search's marks
        // The reader window around the page (outline, toolbar, lists,
        // pop-overs); null: the desktop's own palette.
        const char *chrome; // window and toolbar background
        const char *control; // buttons and other controls
        const char *selection; // selected rows and text
        const char *selectionText;
        const char *muted; // disabled and placeholder text
    };
    // The row of `kind`; day's for a value outside the table.
    static const Colours &colours(Kind kind);
    // Every theme, in the menu's (and next()'s) order.
    static QList<Kind> all();

    // "day", "sepia" or "night"; absent for any other text.
    static std::optional<Kind> fromKey(const QString &key);
    static QString key(Kind kind);
    // The name shown in the reader's menu.
    static QString title(Kind kind);
    // The theme in use: the stored choice when it names one, else night when
    // the desktop's window colour is dark (`windowLightness` 0-255 below
    // 128), else day.
    static Kind chosen(const std::optional<QString> &stored, int windowLightness);
    // The next theme in the order of all() (the last goes back to the
    // first).
    static Kind next(Kind kind);

    // The page background as "#rrggbb" (day: white).
    static QString background(Kind kind);
    // The style sheet laid over EPUB pages; empty for day.
    static QString styleSheet(Kind kind);
    // The colours of the reader's marks in EPUB pages (highlights, memos,
    // search hits) under the theme, over anything the page or the theme's
    // sheet sets; for every theme, day too.
    static QString annotationSheet(Kind kind);

    // The palette of the reader window under the theme, made from the
    // theme's row; absent for a theme that keeps the desktop's palette
    // (day).
    static std::optional<QPalette> palette(Kind kind);
};
