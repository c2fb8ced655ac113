// Draws the rows of the shelf table and gives each shelf row but the first
// its context menu: "名前を変更" (the controller edits the name in place)
// and "削除". The first row (the fixed first shelf) has no menu. The rows
// decide nothing: the menu actions are signals to the shelf controller.
//
// Main thread only.
#pragma once

#include <QStyledItemDelegate>

class QMenu;

class QLBShelfManagerView : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The context menu of row `row`, or null for the first row. The caller
    // owns the menu.
    QMenu *menuForRow(int row, QWidget *parent);

signals:
    void labelTapEdit(int row);
    void labelTapDelete(int row);

protected:
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
        const QModelIndex &index) override;
};
