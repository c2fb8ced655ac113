#include "EmptyStateOverlay.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QEvent>

EmptyStateOverlay::EmptyStateOverlay(QAbstractItemView *view)
    : QLabel(view->viewport())
    , m_view(view)
{
    setObjectName(QStringLiteral("emptyState"));
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setMargin(24);
    // The list's text colour over the list's background, not the window's.
    setForegroundRole(QPalette::Text);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    view->viewport()->installEventFilter(this);
    if (QAbstractItemModel *model = view->model()) {
        for (auto signal : { &QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved })
            connect(model, signal, this, &EmptyStateOverlay::refresh);
        connect(model, &QAbstractItemModel::modelReset, this, &EmptyStateOverlay::refresh);
        connect(model, &QAbstractItemModel::layoutChanged, this, &EmptyStateOverlay::refresh);
    }
    hide();
}

void EmptyStateOverlay::setMessage(const QString &message)
{
    setText(message);
    refresh();
}

bool EmptyStateOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QLabel::eventFilter(watched, event);
}

void EmptyStateOverlay::refresh()
{
    const QAbstractItemModel *model = m_view->model();
    const bool empty = !model || model->rowCount(m_view->rootIndex()) == 0;
    setGeometry(parentWidget()->rect());
    setVisible(empty && !text().isEmpty());
}
