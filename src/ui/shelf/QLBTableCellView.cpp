#include "QLBTableCellView.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <QPainter>

namespace
{
constexpr int kMargin = 6;
constexpr int kCoverWidth = 60;
}

QString QLBTableCellView::subTitle(
    const std::optional<QString> &creator, const std::optional<QString> &publisher)
{
    const QString who = creator.value_or(QString());
    if (publisher && !publisher->isEmpty())
        return QStringLiteral("%1,%2").arg(who, *publisher);
    return who;
}

QString QLBTableCellView::timeText(const QDateTime &downloaded)
{
    if (!downloaded.isValid())
        return {};
    return QStringLiteral("ダウンロード日時：%1")
        .arg(QLocale::c().toString(downloaded.toLocalTime(), QStringLiteral("yyyy/MM/dd HH:mm")));
}

QSize QLBTableCellView::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return QSize(option.rect.width(), kRowHeight);
}

void QLBTableCellView::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    background.icon = QIcon();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    painter->save();
    const QRect row = option.rect.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    // The cover, fitted and on white so that transparent parts show white.
    const QRect coverBox(row.left(), row.top(), kCoverWidth, row.height());
    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    if (!icon.isNull()) {
        const QPixmap cover = icon.pixmap(coverBox.size());
        QRect target(QPoint(), cover.size().scaled(coverBox.size(), Qt::KeepAspectRatio));
        target.moveCenter(coverBox.center());
        painter->fillRect(target, Qt::white);
        painter->drawPixmap(target, cover);
    }

    const bool selected = option.state & QStyle::State_Selected;
    const QColor text = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    const QRect lines = row.adjusted(kCoverWidth + 2 * kMargin, 0, 0, 0);
    QFont title = option.font;
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.15);
    const int third = lines.height() / 3;
    auto line = [&](int n, const QFont &font, const QColor &colour, const QString &s) {
        painter->setFont(font);
        painter->setPen(colour);
        const QRect r(lines.left(), lines.top() + n * third, lines.width(), third);
        painter->drawText(
            r, Qt::AlignLeft | Qt::AlignVCenter, QFontMetrics(font).elidedText(s, Qt::ElideRight, r.width()));
    };
    line(0, title, text, index.data(kTitleRole).toString());
    line(1, option.font, text, index.data(kSubTitleRole).toString());
    QColor dim = text;
    dim.setAlpha(160);
    line(2, option.font, dim, index.data(kTimeRole).toString());
    painter->restore();
}
