#include "ShelfTableView.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>

ShelfTableView::ShelfTableView(QWidget *parent)
    : QListWidget(parent)
{
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
}

bool ShelfTableView::canDrop(int from, int to) const
{
    return from > 0 && to > 0 && from < count() && to < count() && from != to;
}

QStringList ShelfTableView::mimeTypes() const
{
    return { QString::fromLatin1(kDragType) };
}

QMimeData *ShelfTableView::mimeData(const QList<QListWidgetItem *> &items) const
{
    if (items.size() != 1 || row(items.first()) <= 0)
        return nullptr; // the first shelf stays where it is
    auto *data = new QMimeData;
    data->setData(QString::fromLatin1(kDragType), QByteArray::number(row(items.first())));
    return data;
}

int ShelfTableView::draggedRow(const QMimeData *data) const
{
    if (!data || !data->hasFormat(QString::fromLatin1(kDragType)))
        return -1;
    bool ok = false;
    const int from = data->data(QString::fromLatin1(kDragType)).toInt(&ok);
    return ok ? from : -1;
}

int ShelfTableView::rowAt(const QPointF &pos) const
{
    const QModelIndex index = indexAt(pos.toPoint());
    return index.isValid() ? index.row() : -1;
}

void ShelfTableView::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->source() == this && draggedRow(event->mimeData()) > 0)
        event->acceptProposedAction();
    else
        event->ignore();
}

void ShelfTableView::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->source() == this && canDrop(draggedRow(event->mimeData()), rowAt(event->position())))
        event->acceptProposedAction();
    else
        event->ignore();
}

void ShelfTableView::dropEvent(QDropEvent *event)
{
    const int from = draggedRow(event->mimeData());
    const int to = rowAt(event->position());
    if (event->source() != this || !canDrop(from, to)) {
        event->ignore();
        return;
    }
    // The rows are redrawn by the controller; the view moves nothing. The
    // controller hears of it after the drag has ended, since redrawing
    // replaces the rows the drag started from.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    QMetaObject::invokeMethod(
        this, [this, from, to] { emit rowDropped(from, to); }, Qt::QueuedConnection);
}

void ShelfTableView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_pressedRow = rowAt(event->position());
    QListWidget::mousePressEvent(event);
}

void ShelfTableView::mouseReleaseEvent(QMouseEvent *event)
{
    const int pressed = m_pressedRow;
    const bool chosen
        = event->button() == Qt::LeftButton && pressed >= 0 && rowAt(event->position()) == pressed;
    if (event->button() == Qt::LeftButton)
        m_pressedRow = kNoRow;
    QListWidget::mouseReleaseEvent(event);
    // Last: choosing refills the table.
    if (chosen)
        emit rowChosen(pressed);
}

void ShelfTableView::keyPressEvent(QKeyEvent *event)
{
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    if (state() != QAbstractItemView::EditingState && currentRow() != before && currentRow() >= 0)
        emit rowChosen(currentRow());
}

void ShelfTableView::startDrag(Qt::DropActions supportedActions)
{
    QListWidget::startDrag(supportedActions);
    // The release that ended the drag went to the drag, not to the table.
    m_pressedRow = kNoRow;
    emit dragEnded();
}
