#include "OutlineRowDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QTreeView>

namespace
{
constexpr int kTextInset = 25;
constexpr int kPadding = 6;
constexpr int kMinHeight = 20;

int textHeight(const QFont &font, const QString &text, int width)
{
    if (text.isEmpty())
        return 0;
    return QFontMetrics(font)
        .boundingRect(QRect(0, 0, std::max(1, width), 1 << 20), Qt::TextWordWrap, text)
        .height();
}
} // namespace

OutlineRowDelegate::OutlineRowDelegate(QTreeView *view)
    : QStyledItemDelegate(view)
    , m_view(view)
{
}

QFont OutlineRowDelegate::titleFont()
{
    QFont font = QApplication::font();
    font.setPointSize(14);
    font.setBold(true);
    return font;
}

QFont OutlineRowDelegate::detailFont()
{
    QFont font = QApplication::font();
    font.setPointSize(12);
    return font;
}

int OutlineRowDelegate::rowHeight(const QString &title, const QString &detail, int width)
{
    const int height
        = textHeight(titleFont(), title, width) + textHeight(detailFont(), detail, width) + kPadding;
    return std::max(kMinHeight, height);
}

int OutlineRowDelegate::textWidth(const QModelIndex &index) const
{
    int level = 0;
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
        ++level;
    return m_view->columnWidth(0) - kTextInset - level * m_view->indentation();
}

QSize OutlineRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const int height
        = rowHeight(index.data(kTitleRole).toString(), index.data(kDetailRole).toString(), textWidth(index));
    return QSize(option.rect.width(), height);
}

void OutlineRowDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    // The row's background and selection as the style draws them.
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    QRect text = option.rect.adjusted(2, kPadding / 2, -2, 0);
    const QString title = index.data(kTitleRole).toString();
    const QString detail = index.data(kDetailRole).toString();
    painter->setFont(titleFont());
    const int titleHeight = textHeight(titleFont(), title, text.width());
    painter->drawText(QRect(text.topLeft(), QSize(text.width(), titleHeight)), Qt::TextWordWrap, title);
    if (!detail.isEmpty()) {
        painter->setFont(detailFont());
        painter->drawText(
            QRect(text.left(), text.top() + titleHeight, text.width(), text.height() - titleHeight),
            Qt::TextWordWrap, detail);
    }
    painter->restore();
}
