#include "PdfHitOverlay.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfSelection>
#include <QPdfView>
#include <QScreen>
#include <QScrollBar>

PdfHitOverlay::PdfHitOverlay(QPdfView *view, QPdfDocument *document)
    : QWidget(view->viewport())
    , m_view(view)
    , m_document(document)
{
    setObjectName(QStringLiteral("pdfHitOverlay"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    view->viewport()->installEventFilter(this);
    setGeometry(view->viewport()->rect());
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, qOverload<>(&QWidget::update));
    connect(view->horizontalScrollBar(), &QScrollBar::valueChanged, this, qOverload<>(&QWidget::update));
    connect(view, &QPdfView::zoomFactorChanged, this, qOverload<>(&QWidget::update));
    // Another page shown: its marks do not belong there.
    connect(view->pageNavigator(), &QPdfPageNavigator::currentPageChanged, this, [this](int p) {
        if (p != m_page)
            clear();
    });
    hide();
}

void PdfHitOverlay::showHit(int page, int start, int length)
{
    m_page = page;
    m_bounds = m_document->getSelectionAtIndex(page, start, length).bounds();
    setGeometry(m_view->viewport()->rect());
    setVisible(!m_bounds.isEmpty());
    raise();
    update();
}

void PdfHitOverlay::clear()
{
    m_page = -1;
    m_bounds.clear();
    hide();
}

QPointF PdfHitOverlay::toViewport(const QPointF &point) const
{
    // The view lays out one page scaled by the zoom and the screen's
    // resolution, centred across, below the document margin.
    const QScreen *screen = m_view->screen() ? m_view->screen() : QGuiApplication::primaryScreen();
    const qreal scale = m_view->zoomFactor() * (screen ? screen->logicalDotsPerInch() / 72.0 : 1.0);
    const QSizeF pageSize = m_document->pagePointSize(m_page) * scale;
    const QMargins margins = m_view->documentMargins();
    const qreal documentWidth
        = std::max<qreal>(m_view->viewport()->width(), pageSize.width() + margins.left() + margins.right());
    const QPointF origin((documentWidth - pageSize.width()) / 2 - m_view->horizontalScrollBar()->value(),
        margins.top() - m_view->verticalScrollBar()->value());
    return origin + point * scale;
}

void PdfHitOverlay::paintEvent(QPaintEvent *)
{
    if (m_bounds.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 214, 0, 110));
    for (const QPolygonF &polygon : m_bounds) {
        QPolygonF mapped;
        for (const QPointF &p : polygon)
            mapped << toViewport(p);
        painter.drawPolygon(mapped);
    }
}

bool PdfHitOverlay::eventFilter(QObject *watched, QEvent *event)
{
    // The viewport is compared by address only: its events can come while
    // the view around it is being destroyed.
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}
