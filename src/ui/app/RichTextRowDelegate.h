// Draws a list row from its HTML (RichTextRowDelegate::HtmlRole), wrapped to
// the view's width, in the palette's text colour, or its highlighted-text
// colour when the row is selected. The row's plain text (Qt::DisplayRole,
// kept for accessibility and tests) is never drawn, so a selected row shows
// only its marked-up text.
//
// Main thread only. Owned by the view given as parent.
#pragma once

#include <QStyledItemDelegate>

class QAbstractItemView;

class RichTextRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static constexpr int HtmlRole = Qt::UserRole + 100;

    explicit RichTextRowDelegate(QAbstractItemView *view);

    void paint(
        QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    int textWidth(const QStyleOptionViewItem &option) const;

    QAbstractItemView *m_view;
};
