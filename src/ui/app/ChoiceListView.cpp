#include "ChoiceListView.h"

#include <QKeyEvent>
#include <QMouseEvent>

ChoiceListView::ChoiceListView(QWidget *parent)
    : QListView(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void ChoiceListView::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton ? indexAt(event->position().toPoint()) : QModelIndex();
    m_afterDoubleClick = false;
    QListView::mousePressEvent(event);
}

void ChoiceListView::mouseReleaseEvent(QMouseEvent *event)
{
    const QModelIndex here = indexAt(event->position().toPoint());
    const bool chosen
        = event->button() == Qt::LeftButton && !m_afterDoubleClick && here.isValid() && here == m_pressed;
    m_pressed = QModelIndex();
    m_afterDoubleClick = false;
    QListView::mouseReleaseEvent(event);
    // Last: choosing may close or refill the list.
    if (chosen)
        emit rowChosen(here.row());
}

void ChoiceListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The first click of the pair chose the row already; a double click
    // that does not start on a row (the list changed under it) chooses
    // nothing either.
    m_afterDoubleClick = true;
    m_pressed = QModelIndex();
    event->accept();
}

void ChoiceListView::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && state() != QAbstractItemView::EditingState) {
        const QModelIndex current = currentIndex();
        event->accept();
        if (current.isValid())
            emit rowChosen(current.row());
        return;
    }
    QListView::keyPressEvent(event);
}
