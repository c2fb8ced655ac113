// Full-screen reading (F11): the window fills the screen and the toolbar
// and the outline ("outline" widgets of the shown screen) step aside; they
// come back while the pointer is at the top or the left edge, and go again
// when it leaves them. F11 again restores everything.
//
// Main thread. A child of the window it serves.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class MainWindow;
class QToolBar;
class QWidget;

class FullScreenMode : public QObject
{
    Q_OBJECT
public:
    explicit FullScreenMode(MainWindow &window);

    bool isOn() const { return m_on; }
    void toggle();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void pointerAt(const QPoint &windowPos);

    MainWindow &m_window;
    bool m_on = false;
    bool m_wasMaximized = false;
    QPointer<QToolBar> m_toolbar;
    QList<QPointer<QWidget>> m_outlines;
};
