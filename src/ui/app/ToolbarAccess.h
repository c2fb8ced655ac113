// Names toolbar buttons for screen readers: a button keeps a name it was
// given, else gets its action's text, with the glyph-only buttons (◀ ▶,
// A− A A+) named in words; its description gives the action's shortcut.
//
// Main thread.
#pragma once

#include <QString>

class QToolBar;

class ToolbarAccess
{
public:
    // Names every button of `toolbar`; again after actions were added.
    static void nameButtons(QToolBar *toolbar);
    // The spoken name for a button text ("◀" is "前へ"); the text itself
    // without mnemonics when it is no glyph.
    static QString spokenName(const QString &text);
};
