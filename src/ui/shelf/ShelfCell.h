// Draws a book of the shelf's grid: its cover at the bottom of a 140 by 152
// cell, standing on the board the shelf draws under it, with a shadow, a
// frame when selected, and the title under the board in two lines at most. Right clicks are the shelf's (its
// book menu); the cell only draws.
//
// Main thread only.
#pragma once

#include <QStyledItemDelegate>

class ShelfCell : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(
        QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
