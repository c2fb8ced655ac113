// Draws a book row of the shelf's list mode, 88 points high: the cover on
// white at the left, then the title, the sub-title (creator and publisher)
// and the download time. Right clicks on rows are the shelf's (its book
// menu); the row only draws.
//
// Main thread only.
#pragma once

#include <QDateTime>
#include <QStyledItemDelegate>
#include <optional>

class QLBTableCellView : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static constexpr int kRowHeight = 88;
    // Item data roles the rows are read from (the title is the item's
    // kTitleRole; the cover its icon).
    static constexpr int kTitleRole = Qt::UserRole + 3;
    static constexpr int kSubTitleRole = Qt::UserRole + 5;
    static constexpr int kTimeRole = Qt::UserRole + 6;

    using QStyledItemDelegate::QStyledItemDelegate;

    // The creator, or "creator,publisher" when there is a publisher (the
    // creator part empty when there is none).
    static QString subTitle(const std::optional<QString> &creator, const std::optional<QString> &publisher);
    // "ダウンロード日時：yyyy/MM/dd HH:mm" in local time; empty for an invalid time.
    static QString timeText(const QDateTime &downloaded);

    void paint(
        QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
