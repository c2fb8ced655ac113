// The one style sheet the reader lays over every EPUB page: the reading
// theme's colours, the colours of the reader's marks under that theme, and
// the typography. It goes into the page as one <style> element, put there by
// a script that runs at document creation, so a page never shows first
// without it.
//
// Pure functions; any thread.
#pragma once

#include "ReadingTheme.h"
#include "Typography.h"

#include <QString>
#include <QStringList>

class PageStyle
{
public:
    // The id of the page's <style> element.
    static constexpr const char *kElementId = "tavro-reading-theme";

    // The sheet for `theme` and `typography`, with the font faces chosen
    // from `installed` (the families the font database knows).
    static QString styleSheet(
        ReadingTheme::Kind theme, const Typography &typography, const QStringList &installed);

    // A page script that puts `css` in place of any earlier sheet (an empty
    // `css` removes it). Safe at document creation, before <head>.
    static QString pageScript(const QString &css);
};
