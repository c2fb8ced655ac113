// The single application window. It hosts one screen at a time in its
// central area and the screen's toolbar; its frame is kept under
// "resframe". Closing it quits the application.
#pragma once

#include <QMainWindow>
#include <QPointer>

class QToolBar;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);

    // The area screens are hosted in.
    QWidget *host() const { return m_host; }
    // Shows `screen` filling the host area (the previous one is removed,
    // not deleted).
    // The focus goes to the new screen when it was not already inside it.
    void hostScreen(QWidget *screen);
    // Makes this the active window and gives the keyboard focus back to the
    // shown screen (the child it last gave focus to, else its first
    // focusable widget) unless the focus is already in the screen or its
    // toolbar. For a sheet or window that closed, or a screen put away while
    // it had the focus: without this the window takes no keys (shortcuts,
    // typing) until the user clicks it.
    void focusShownScreen();
    void installToolbar(QToolBar *toolbar);
    void restoreFrame();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *m_host;
    QWidget *m_stash; // keeps screens that are not shown
    QPointer<QWidget> m_screen;
    QPointer<QToolBar> m_toolbar;
};
