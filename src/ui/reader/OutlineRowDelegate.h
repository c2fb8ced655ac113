// Draws the reader's outline rows: the entry's text in bold 14 points and,
// when the entry has a category and/or an author, a second part in 12
// points. A row is as high as its text wrapped in the column (less 25
// points and the row's indentation) plus 6, at least 20, so rows follow the
// width of the outline pane.
//
// Main thread only.
#pragma once

#include <QStyledItemDelegate>

class QTreeView;

class OutlineRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // Item data roles the rows are read from.
    static constexpr int kTitleRole = Qt::UserRole + 2;
    static constexpr int kDetailRole = Qt::UserRole + 3;

    explicit OutlineRowDelegate(QTreeView *view);

    void paint(
        QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The row height for a text width of `width` (pure layout, for tests).
    static int rowHeight(const QString &title, const QString &detail, int width);

private:
    int textWidth(const QModelIndex &index) const;
    static QFont titleFont();
    static QFont detailFont();

    QTreeView *m_view;
};
