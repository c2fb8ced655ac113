#include "RichTextRowDelegate.h"

#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QPainter>
#include <QTextDocument>
#include <cmath>

namespace
{

constexpr int kMargin = 4; // around the text, inside the row

void setUp(QTextDocument &doc, const QString &html, const QFont &font, int width)
{
    doc.setDefaultFont(font);
    doc.setDocumentMargin(0);
    doc.setHtml(html);
    doc.setTextWidth(std::max(1, width));
}

} // namespace

RichTextRowDelegate::RichTextRowDelegate(QAbstractItemView *view)
    : QStyledItemDelegate(view)
    , m_view(view)
{
}

int RichTextRowDelegate::textWidth(const QStyleOptionViewItem &option) const
{
    // A list row is as wide as the viewport; the option's rectangle is not
    // set when the view asks for a size.
    const int width = m_view ? m_view->viewport()->width() : option.rect.width();
    return width - 2 * kMargin;
}

void RichTextRowDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    // The background, focus and selection only: the plain text stays
    // undrawn under the marked-up one.
    opt.text.clear();
    opt.icon = QIcon();
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    QTextDocument doc;
    setUp(doc, index.data(HtmlRole).toString(), opt.font, opt.rect.width() - 2 * kMargin);
    QAbstractTextDocumentLayout::PaintContext context;
    const bool selected = opt.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
        : (opt.state & QStyle::State_Active)                                ? QPalette::Active
                                                                            : QPalette::Inactive;
    context.palette = opt.palette;
    context.palette.setColor(
        QPalette::Text, opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->save();
    painter->translate(opt.rect.topLeft() + QPoint(kMargin, kMargin));
    painter->setClipRect(QRect(QPoint(0, 0), opt.rect.size() - QSize(2 * kMargin, 2 * kMargin)));
    doc.documentLayout()->draw(painter, context);
    painter->restore();
}

QSize RichTextRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QTextDocument doc;
    setUp(doc, index.data(HtmlRole).toString(), option.font, textWidth(option));
    return QSize(textWidth(option) + 2 * kMargin, int(std::ceil(doc.size().height())) + 2 * kMargin);
}
