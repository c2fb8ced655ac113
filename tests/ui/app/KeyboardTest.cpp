// The keyboard: every key a screen reacts to is in the shortcuts window
// (F1), toolbar buttons have spoken names, and Tab reaches the shelf's parts.
#include "core/app/ShortcutCatalog.h"
#include "ui/AppShellFixture.h"
#include "ui/app/ShortcutsWindow.h"
#include "ui/reader/ReaderVC.h"
#include "ui/store/StoreVC.h"

#include <QAccessible>
#include <QShortcut>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>

namespace
{

// The keys of the actions and shortcuts inside `root`.
QList<QKeySequence> keysIn(QWidget *root)
{
    QList<QKeySequence> keys;
    for (QShortcut *s : root->findChildren<QShortcut *>())
        keys.append(s->key());
    for (QAction *a : root->findChildren<QAction *>())
        keys += a->shortcuts();
    for (QWidget *w : root->findChildren<QWidget *>())
        for (QAction *a : w->actions())
            keys += a->shortcuts();
    return keys;
}

TEST_F(AppShellTest, EveryKeyIsListedAndEveryToolbarButtonNamed)
{
    launch();
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    struct Screen {
        QString name;
        std::function<QWidget *()> show;
    };
    const QList<Screen> screens {
        { QStringLiteral("全体"),
            [&]() -> QWidget * {
                m_app->changeToTop();
                return m_app->topVC();
            } },
        { QStringLiteral("本棚"),
            [&]() -> QWidget * {
                m_app->changeToShelf();
                return m_app->shelfVC();
            } },
        { QStringLiteral("ストア"),
            [&]() -> QWidget * {
                m_app->changeToStore();
                return m_app->storeVC();
            } },
        { QStringLiteral("リーダー"),
            [&]() -> QWidget * {
                m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("anatomy-basics.epub")));
                return m_app->readerVC();
            } },
    };
    for (const Screen &screen : screens) {
        QWidget *shown = screen.show();
        ASSERT_TRUE(shown) << screen.name.toStdString();
        QToolBar *toolbar = nullptr;
        // The window's own keys (screens not shown are kept in it too).
        QList<QKeySequence> windowKeys;
        for (QAction *a : m_app->window()->actions())
            windowKeys += a->shortcuts();
        for (QToolBar *t : m_app->window()->findChildren<QToolBar *>())
            if (t->isVisible())
                toolbar = t;
        ASSERT_TRUE(toolbar && toolbar->isVisible()) << screen.name.toStdString();
        for (const QKeySequence &k : keysIn(shown) + keysIn(toolbar) + windowKeys)
            EXPECT_TRUE(ShortcutCatalog::lists(k, screen.name))
                << screen.name.toStdString() << ": " << k.toString().toStdString() << " is not listed";
        for (QToolButton *button : toolbar->findChildren<QToolButton *>()) {
            if (!button->isVisible() || !button->defaultAction())
                continue;
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(button);
            ASSERT_TRUE(a);
            const QString spoken = a->text(QAccessible::Name);
            const bool hasLetter
                = std::any_of(spoken.begin(), spoken.end(), [](QChar c) { return c.isLetter(); });
            EXPECT_TRUE(hasLetter && spoken != QStringLiteral("A"))
                << screen.name.toStdString() << ": a button named \"" << spoken.toStdString() << "\"";
        }
    }
}

TEST_F(AppShellTest, ShortcutsWindowAndTabOrder)
{
    launch();
    m_app->changeToShelf();
    MainWindow *window = m_app->window();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));

    QTest::keyClick(window, Qt::Key_F1);
    ShortcutsWindow *help = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        help = window->findChild<ShortcutsWindow *>();
        return help && help->isVisible();
    }));
    EXPECT_EQ(help->table()->rowCount(), ShortcutCatalog::all().size());
    help->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/shortcuts.png"));
    ASSERT_TRUE(QTest::qWaitForWindowActive(help));
    QTest::keyClick(help, Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return !window->findChild<ShortcutsWindow *>(); }));

    // Ctrl+F goes to the search field; Tab from there reaches the shelves
    // and the books, and comes back.
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_F, Qt::ControlModifier);
    auto *search = m_app->shelfVC()->toolbar()->findChild<QWidget *>(QStringLiteral("searchField"));
    ASSERT_TRUE(search);
    ASSERT_TRUE(waitUntil([&] { return QApplication::focusWidget() == search; }));
    QStringList reached;
    for (int i = 0; i < 12 && reached.count(QStringLiteral("searchField")) < 2; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *focused = QApplication::focusWidget();
        reached << (focused ? focused->objectName() : QStringLiteral("none"));
    }
    const QString trail = reached.join(u' ');
    EXPECT_TRUE(reached.contains(QStringLiteral("bookList"))) << trail.toStdString();
    EXPECT_TRUE(reached.contains(QStringLiteral("searchField")))
        << "Tab comes round: " << trail.toStdString();
}

TEST_F(AppShellTest, FullScreenReadingHidesToolbarAndOutlineUntilTheEdge)
{
    launch();
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("anatomy-basics.epub")));
    MainWindow *window = m_app->window();
    QToolBar *toolbar = m_app->readerVC()->toolbar();
    auto *outline = m_app->readerVC()->findChild<QWidget *>(QStringLiteral("outline"));
    ASSERT_TRUE(outline);
    ASSERT_TRUE(waitUntil([&] { return toolbar->isVisible() && outline->isVisible(); }));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));

    QTest::keyClick(window, Qt::Key_F11);
    ASSERT_TRUE(waitUntil([&] { return window->windowState().testFlag(Qt::WindowFullScreen); }));
    EXPECT_FALSE(toolbar->isVisible());
    EXPECT_FALSE(outline->isVisible());

    // The pointer at an edge brings the part back; away from it, it goes.
    struct Row {
        QPoint at;
        bool toolbar, outline;
    };
    const QPoint middle(window->width() / 2, window->height() / 2);
    for (const Row &row : { Row { QPoint(middle.x(), 0), true, false }, Row { middle, false, false },
             Row { QPoint(0, middle.y()), false, true }, Row { middle, false, false } }) {
        QTest::mouseMove(window->windowHandle(), row.at);
        EXPECT_TRUE(waitUntil([&] { return toolbar->isVisible() == row.toolbar; }, 3000))
            << row.at.x() << "," << row.at.y();
        EXPECT_TRUE(waitUntil([&] { return outline->isVisible() == row.outline; }, 3000))
            << row.at.x() << "," << row.at.y();
    }

    QTest::keyClick(window, Qt::Key_F11);
    ASSERT_TRUE(waitUntil([&] { return !window->windowState().testFlag(Qt::WindowFullScreen); }));
    EXPECT_TRUE(toolbar->isVisible());
    EXPECT_TRUE(outline->isVisible());
}

} // namespace
