// The reading theme of book pages: day (the book's own colours), sepia or
// night. EPUB pages get a style sheet that overrides the page's text and
// background colours and leaves images alone; PDF pages are tinted (sepia)
// or inverted (night) as they are drawn.
//
// The choice is kept under UserDefaults "readingTheme" ("day", "sepia",
// "night"); without it the theme follows the desktop: night on a dark
// window palette, day otherwise.
//
// Pure functions; any thread.
#pragma once

#include <QString>
#include <optional>

class ReadingTheme
{
public:
    enum Kind { Day, Sepia, Night };
    static constexpr const char *kDefaultsKey = "readingTheme";

    // "day", "sepia" or "night"; absent for any other text.
    static std::optional<Kind> fromKey(const QString &key);
    static QString key(Kind kind);
    // The name shown in the reader's menu.
    static QString title(Kind kind);
    // The theme in use: the stored choice when it names one, else night when
    // the desktop's window colour is dark (`windowLightness` 0-255 below
    // 128), else day.
    static Kind chosen(const std::optional<QString> &stored, int windowLightness);
    // The next theme in day, sepia, night order (night goes back to day).
    static Kind next(Kind kind);

    // The page background as "#rrggbb" (day: white).
    static QString background(Kind kind);
    // The style sheet laid over EPUB pages; empty for day.
    static QString styleSheet(Kind kind);
    // A page script that puts styleSheet(kind) in place of any earlier
    // theme (day removes it). Safe at document creation, before <head>.
    static QString pageScript(Kind kind);
};
