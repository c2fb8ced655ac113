#include "ShelfCell.h"

#include "CoverCache.h"
#include "QLBTableCellView.h"

#include <QIcon>
#include <QPainter>
#include <QTextLayout>

namespace
{
constexpr int kTitleHeight = 40;
constexpr int kBoard = 14; // the board the cover stands on, drawn by the shelf
}

QSize ShelfCell::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return CoverCache::kCellSize + QSize(0, kTitleHeight);
}

void ShelfCell::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect cell = option.rect;
    const QSize coverSize = CoverCache::kCoverSize;
    const QRect coverBox(cell.left() + (cell.width() - coverSize.width()) / 2,
        cell.top() + CoverCache::kCellSize.height() - coverSize.height(), coverSize.width(),
        coverSize.height());
    const QPixmap cover = index.data(Qt::DecorationRole).value<QIcon>().pixmap(coverSize);
    QRect target(QPoint(), cover.size().scaled(coverSize, Qt::KeepAspectRatio));
    target.moveBottomLeft(QPoint(coverBox.center().x() - target.width() / 2, coverBox.bottom()));
    painter->fillRect(target.translated(3, 3), QColor(0, 0, 0, 90)); // shadow on the wall
    if (!cover.isNull())
        painter->drawPixmap(target, cover);
    if (option.state & QStyle::State_Selected) {
        painter->setPen(QPen(option.palette.color(QPalette::Highlight), 3));
        painter->drawRect(target.adjusted(-2, -2, 2, 2));
    }

    // The title in two lines at most, the second elided.
    const QString title = index.data(QLBTableCellView::kTitleRole).toString();
    const QRect text(cell.left() + 4, cell.top() + CoverCache::kCellSize.height() + kBoard, cell.width() - 8,
        kTitleHeight - kBoard);
    QFont font = option.font;
    font.setPointSizeF(font.pointSizeF() * 0.9);
    painter->setPen(option.palette.color(QPalette::Text));
    painter->setFont(font);
    const QFontMetrics metrics(font);
    QTextLayout layout(title, font);
    layout.beginLayout();
    QStringList lines;
    for (int n = 0; n < 2; ++n) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(text.width());
        const QString piece = title.mid(line.textStart(), n == 1 ? -1 : line.textLength());
        lines << (n == 1 ? metrics.elidedText(piece, Qt::ElideRight, text.width()) : piece.trimmed());
    }
    layout.endLayout();
    painter->drawText(text, Qt::AlignHCenter | Qt::AlignTop, lines.join(u'\n'));
    painter->restore();
}
