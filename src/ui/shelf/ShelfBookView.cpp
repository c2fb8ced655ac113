#include "ShelfBookView.h"

#include "CoverCache.h"
#include "QLBTableCellView.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <cstdlib>

namespace
{
constexpr int kTitleHeight = 40; // the titles under each board
constexpr int kNotch = 120; // QWheelEvent's angle for one notch
}

ShelfBookView::ShelfBookView(QWidget *parent)
    : ChoiceListView(parent)
{
    setUniformItemSizes(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
}

QColor ShelfBookView::wallColour()
{
    return QColor(0x3b, 0x2a, 0x1e);
}

QColor ShelfBookView::titleColour()
{
    return QColor(0xf4, 0xf1, 0xe8);
}

int ShelfBookView::boardTop()
{
    return CoverCache::kCellSize.height();
}

int ShelfBookView::rowHeight() const
{
    return m_covers ? CoverCache::kCellSize.height() + kTitleHeight : QLBTableCellView::kRowHeight;
}

void ShelfBookView::setCoverLook(bool covers)
{
    m_covers = covers;
    // Every property either look sets is set by both, so nothing of one
    // look is left behind in the other.
    setViewMode(covers ? QListView::IconMode : QListView::ListMode);
    setFlow(covers ? QListView::LeftToRight : QListView::TopToBottom);
    setWrapping(covers);
    setIconSize(covers ? CoverCache::kCoverSize : QSize());
    setGridSize(covers ? QSize(CoverCache::kCellSize.width(), rowHeight()) : QSize());
    setSpacing(0);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setWordWrap(covers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalScrollBar()->setSingleStep(rowHeight());
    m_wheelRest = 0;
    if (covers) {
        QPalette wall; // only the roles set here: the rest follow the desktop
        wall.setColor(QPalette::Base, wallColour());
        wall.setColor(QPalette::Text, titleColour());
        setPalette(wall);
    } else {
        setPalette(QPalette()); // the desktop's, now and after it changes
    }
    viewport()->update();
}

void ShelfBookView::paintEvent(QPaintEvent *event)
{
    if (m_covers) {
        // The first row starts where the first book stands (the view's
        // margins and scrolling included); the boards repeat from there to
        // the bottom, under books or not.
        const int row = rowHeight();
        int top = -verticalOffset();
        if (model() && model()->rowCount(rootIndex()) > 0)
            top = visualRect(model()->index(0, 0, rootIndex())).top();
        const int clipTop = event->rect().top();
        int y = top - ((top - clipTop) / row + 1) * row;
        QPainter painter(viewport());
        QLinearGradient wood(0, 0, 0, kBoardHeight);
        wood.setColorAt(0, QColor(0xa0, 0x6a, 0x3c));
        wood.setColorAt(0.3, QColor(0x8a, 0x58, 0x30));
        wood.setColorAt(1, QColor(0x52, 0x33, 0x1b));
        const int width = viewport()->width();
        for (; y < event->rect().bottom() + 1; y += row) {
            const int board = y + boardTop();
            painter.save();
            painter.translate(0, board);
            painter.fillRect(QRect(0, 0, width, kBoardHeight), wood);
            painter.fillRect(QRect(0, kBoardHeight, width, 3), QColor(0, 0, 0, 80)); // its shadow
            painter.restore();
        }
    }
    ChoiceListView::paintEvent(event);
}

void ShelfBookView::wheelEvent(QWheelEvent *event)
{
    const QPoint pixels = event->pixelDelta();
    const QPoint angle = event->angleDelta();
    const bool vertical = pixels.isNull() ? std::abs(angle.y()) > std::abs(angle.x())
                                          : std::abs(pixels.y()) > std::abs(pixels.x());
    if (!vertical || (event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier))) {
        ChoiceListView::wheelEvent(event);
        return;
    }
    QScrollBar *bar = verticalScrollBar();
    if (!pixels.isNull()) {
        bar->setValue(bar->value() - pixels.y());
    } else {
        // Fine-grained wheels send parts of a notch: a row once they add up.
        m_wheelRest += angle.y();
        const int notches = m_wheelRest / kNotch;
        m_wheelRest -= notches * kNotch;
        bar->setValue(bar->value() - notches * rowHeight());
    }
    event->accept();
}
