#include "QLBShelfManagerView.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>

QMenu *QLBShelfManagerView::menuForRow(int row, QWidget *parent)
{
    if (row <= 0)
        return nullptr;
    auto *menu = new QMenu(parent);
    menu->addAction(QStringLiteral("名前を変更"), this, [this, row] { emit labelTapEdit(row); });
    menu->addAction(QStringLiteral("削除"), this, [this, row] { emit labelTapDelete(row); });
    return menu;
}

bool QLBShelfManagerView::editorEvent(
    QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() == QEvent::MouseButtonPress
        && static_cast<QMouseEvent *>(event)->button() == Qt::RightButton) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (QMenu *menu = menuForRow(index.row(), const_cast<QWidget *>(option.widget))) {
            menu->exec(mouse->globalPosition().toPoint());
            menu->deleteLater();
        }
        return true;
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}
