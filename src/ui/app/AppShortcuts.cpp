#include "AppShortcuts.h"

#include "FullScreenMode.h"
#include "MainWindow.h"
#include "Navigation.h"
#include "ShortcutsWindow.h"
#include "core/app/ShortcutCatalog.h"
#include "ui/dictionary/DictionaryWindow.h"

#include <QAction>

ShortcutsWindow *AppShortcuts::showShortcuts(MainWindow &window)
{
    auto *shown = window.findChild<ShortcutsWindow *>();
    if (!shown) {
        shown = new ShortcutsWindow(&window);
        shown->setAttribute(Qt::WA_DeleteOnClose);
    }
    shown->show();
    shown->raise();
    shown->activateWindow();
    return shown;
}

void AppShortcuts::install(MainWindow &window, Navigation &app)
{
    auto *help = new QAction(QStringLiteral("ショートカット一覧"), &window);
    help->setObjectName(QStringLiteral("shortcutsAction"));
    help->setShortcuts(ShortcutCatalog::helpKeys());
    QObject::connect(help, &QAction::triggered, &window, [&window] { showShortcuts(window); });
    window.addAction(help);

    auto *fullScreen = new QAction(QStringLiteral("全画面表示"), &window);
    fullScreen->setObjectName(QStringLiteral("fullScreenAction"));
    fullScreen->setShortcut(QKeySequence(Qt::Key_F11));
    auto *mode = new FullScreenMode(window);
    QObject::connect(fullScreen, &QAction::triggered, mode, &FullScreenMode::toggle);
    window.addAction(fullScreen);

    auto *dictionary = new QAction(QStringLiteral("辞書ウィンドウ"), &window);
    dictionary->setObjectName(QStringLiteral("dictionaryWindowAction"));
    dictionary->setShortcut(DictionaryWindow::shortcut());
    QObject::connect(dictionary, &QAction::triggered, &window,
        [&window, &app] { DictionaryWindow::open(&window, app.dictionaryManager()); });
    window.addAction(dictionary);

    struct Switch {
        const char *name;
        Qt::Key key;
        void (Navigation::*go)();
    };
    for (const Switch &s : { Switch { "TOP", Qt::Key_1, &Navigation::changeToTop },
             Switch { "本棚", Qt::Key_2, &Navigation::changeToShelf },
             Switch { "ストア", Qt::Key_3, &Navigation::changeToStore } }) {
        auto *action = new QAction(QString::fromUtf8(s.name), &window);
        action->setShortcut(QKeySequence(Qt::CTRL | s.key));
        QObject::connect(action, &QAction::triggered, &window, [&app, go = s.go] { (app.*go)(); });
        window.addAction(action);
    }
}
