#include "FullScreenMode.h"

#include "MainWindow.h"

#include <QApplication>
#include <QMouseEvent>
#include <QToolBar>

namespace
{
// How close to an edge the pointer brings a hidden part back.
constexpr int kEdge = 4;
// How far past a shown part the pointer may go before it hides again.
constexpr int kSlack = 24;
} // namespace

FullScreenMode::FullScreenMode(MainWindow &window)
    : QObject(&window)
    , m_window(window)
{
}

void FullScreenMode::toggle()
{
    m_on = !m_on;
    if (m_on) {
        m_wasMaximized = m_window.isMaximized();
        m_toolbar = nullptr;
        for (QToolBar *t : m_window.findChildren<QToolBar *>())
            if (t->isVisible())
                m_toolbar = t;
        m_outlines.clear();
        for (QWidget *w : m_window.host()->findChildren<QWidget *>(QStringLiteral("outline")))
            if (w->isVisible())
                m_outlines.append(w);
        m_window.showFullScreen();
        if (m_toolbar)
            m_toolbar->hide();
        for (const QPointer<QWidget> &w : m_outlines)
            if (w)
                w->hide();
        qApp->installEventFilter(this);
        return;
    }
    qApp->removeEventFilter(this);
    if (m_toolbar)
        m_toolbar->show();
    for (const QPointer<QWidget> &w : m_outlines)
        if (w)
            w->show();
    m_outlines.clear();
    if (m_wasMaximized)
        m_window.showMaximized();
    else
        m_window.showNormal();
}

bool FullScreenMode::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove) {
        const auto *move = static_cast<QMouseEvent *>(event);
        pointerAt(m_window.mapFromGlobal(move->globalPosition().toPoint()));
    }
    return QObject::eventFilter(watched, event);
}

void FullScreenMode::pointerAt(const QPoint &pos)
{
    if (m_toolbar) {
        if (pos.y() <= kEdge)
            m_toolbar->show();
        else if (m_toolbar->isVisible() && pos.y() > m_toolbar->geometry().bottom() + kSlack)
            m_toolbar->hide();
    }
    for (const QPointer<QWidget> &w : m_outlines) {
        if (!w)
            continue;
        if (pos.x() <= kEdge)
            w->show();
        else if (w->isVisible() && pos.x() > w->mapTo(&m_window, QPoint(w->width(), 0)).x() + kSlack)
            w->hide();
    }
}
