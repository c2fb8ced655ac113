// The keys that work on every screen: the shortcuts window (F1, Ctrl+/)
// full-screen reading (F11), the dictionary window (Ctrl+Shift+K) and the screen switch (Ctrl+1 TOP, Ctrl+2
// 本棚, Ctrl+3 ストア).
//
// Main thread. The actions are children of the window; `app` must outlive it.
#pragma once

class MainWindow;
class Navigation;
class ShortcutsWindow;

class AppShortcuts
{
public:
    static void install(MainWindow &window, Navigation &app);
    // Opens the shortcuts window over `window` (one at a time).
    static ShortcutsWindow *showShortcuts(MainWindow &window);
};
