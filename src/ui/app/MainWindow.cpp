#include "MainWindow.h"

#include "ToolbarAccess.h"

#include <QApplication>
#include <QCloseEvent>
#include <QSettings>
#include <QToolBar>
#include <QVBoxLayout>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Tavro"));
    m_host = new QWidget(this);
    m_host->setObjectName(QStringLiteral("host"));
    auto *layout = new QVBoxLayout(m_host);
    layout->setContentsMargins(0, 0, 0, 0);
    setCentralWidget(m_host);
    m_stash = new QWidget(this);
    m_stash->hide();
    resize(1200, 800);
}

void MainWindow::restoreFrame()
{
    QSettings settings(
        QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tavro"), QStringLiteral("Tavro"));
    const QByteArray frame = settings.value(QStringLiteral("resframe")).toByteArray();
    if (!frame.isEmpty())
        restoreGeometry(frame);
}

void MainWindow::hostScreen(QWidget *screen)
{
    if (m_screen && m_screen != screen) {
        // A focus left in a screen put away would stay there, hidden.
        if (QWidget *focus = QApplication::focusWidget(); focus && m_screen->isAncestorOf(focus))
            focus->clearFocus();
        m_host->layout()->removeWidget(m_screen);
        m_screen->hide();
        m_screen->setParent(m_stash);
    }
    m_screen = screen;
    if (screen) {
        screen->setParent(m_host);
        m_host->layout()->addWidget(screen);
        screen->show();
        focusShownScreen();
    }
}

void MainWindow::focusShownScreen()
{
    if (!isVisible())
        return;
    // A window-modal sheet still open keeps the focus.
    if (QWidget *modal = QApplication::activeModalWidget(); modal && modal != this)
        return;
    if (!isActiveWindow()) {
        raise();
        activateWindow();
    }
    if (!m_screen)
        return;
    QWidget *focus = QApplication::focusWidget();
    const auto inside = [this](QWidget *w) {
        return w && w->isVisible()
            && (m_screen->isAncestorOf(w) || (m_toolbar && m_toolbar->isAncestorOf(w)));
    };
    if (inside(focus))
        return;
    QWidget *target = m_screen->focusWidget();
    if (!inside(target)) {
        target = nullptr;
        for (QWidget *w = m_screen->nextInFocusChain(); w && w != m_screen; w = w->nextInFocusChain()) {
            if (m_screen->isAncestorOf(w) && w->isVisible() && w->isEnabled()
                && (w->focusPolicy() & Qt::TabFocus)) {
                target = w;
                break;
            }
        }
    }
    (target ? target : m_screen.data())->setFocus(Qt::OtherFocusReason);
}

void MainWindow::installToolbar(QToolBar *toolbar)
{
    if (m_toolbar == toolbar)
        return;
    if (m_toolbar) {
        removeToolBar(m_toolbar);
        m_toolbar->hide();
        m_toolbar->setParent(m_stash);
    }
    m_toolbar = toolbar;
    if (toolbar) {
        addToolBar(Qt::TopToolBarArea, toolbar);
        ToolbarAccess::nameButtons(toolbar);
        toolbar->show();
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    QSettings settings(
        QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tavro"), QStringLiteral("Tavro"));
    settings.setValue(QStringLiteral("resframe"), saveGeometry());
    event->accept();
    // Closing the main window quits.
    QApplication::quit();
}
