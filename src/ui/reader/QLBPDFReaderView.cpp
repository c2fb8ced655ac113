#include "QLBPDFReaderView.h"

#include "core/reader/PdfZoom.h"
#include "core/util/Logging.h"

#include <QApplication>
#include <QClipboard>
#include <QGestureEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPinchGesture>
#include <QScreen>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

QLBPDFReaderView::QLBPDFReaderView(const QString &metaBookId, QWidget *parent)
    : QPdfView(parent)
    , m_direction(metaBookId)
{
    setObjectName(QStringLiteral("pdfView"));
    setPageMode(PageMode::SinglePage);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->grabGesture(Qt::PinchGesture);
}

int QLBPDFReaderView::currentPage() const
{
    return pageNavigator()->currentPage();
}

void QLBPDFReaderView::goToPage(int page)
{
    if (!document() || page < 0 || page >= document()->pageCount())
        return;
    if (page != currentPage())
        clearSelection();
    pageNavigator()->jump(page, {}, pageNavigator()->currentZoom());
}

void QLBPDFReaderView::goToNextPage()
{
    if (!document())
        return;
    const bool right = m_direction.rightOpening();
    qCDebug(lcContent).noquote() << ReadingDirection::logWord(right);
    goToPage(ReadingDirection::turn(
        currentPage(), ReadingDirection::viewStep(right, +1), document()->pageCount()));
}

void QLBPDFReaderView::goToPreviousPage()
{
    if (!document())
        return;
    const bool right = m_direction.rightOpening();
    qCDebug(lcContent).noquote() << ReadingDirection::logWord(right);
    goToPage(ReadingDirection::turn(
        currentPage(), ReadingDirection::viewStep(right, -1), document()->pageCount()));
}

QRectF QLBPDFReaderView::pageRect() const
{
    // The view lays a single page out this way: at the screen's logical
    // resolution times the zoom (or fitted to the viewport less the
    // margins), centred across, below the top margin.
    if (!document() || document()->pageCount() == 0)
        return {};
    const QSizeF points = document()->pagePointSize(currentPage());
    const double resolution = QGuiApplication::primaryScreen()->logicalDotsPerInch() / 72.0;
    const QMargins m = documentMargins();
    const QSize area = viewport()->size();
    QSizeF size;
    switch (zoomMode()) {
    case ZoomMode::Custom:
        size = QSizeF((points * resolution * zoomFactor()).toSize());
        break;
    case ZoomMode::FitToWidth: {
        const QSizeF natural = QSizeF((points * resolution).toSize());
        const double factor = double(area.width() - m.left() - m.right()) / natural.width();
        size = QSizeF((natural * factor).toSize());
        break;
    }
    case ZoomMode::FitInView: {
        const QSize natural = (points * resolution).toSize();
        size = QSizeF(
            natural.scaled(area - QSize(m.left() + m.right(), m.top() + m.bottom()), Qt::KeepAspectRatio));
        break;
    }
    }
    const double total = size.width() + m.left() + m.right();
    const double x = (std::max(total, double(area.width())) - size.width()) / 2;
    return QRectF(
        QPointF(std::floor(x) - horizontalScrollBar()->value(), m.top() - verticalScrollBar()->value()),
        size);
}

double QLBPDFReaderView::effectiveScale() const
{
    if (zoomMode() == ZoomMode::Custom || !document() || document()->pageCount() == 0)
        return zoomFactor();
    const double resolution = QGuiApplication::primaryScreen()->logicalDotsPerInch() / 72.0;
    const double natural = document()->pagePointSize(currentPage()).width() * resolution;
    return natural > 0 ? PdfZoom::clampScale(pageRect().width() / natural) : 1.0;
}

QPointF QLBPDFReaderView::toPage(const QPointF &viewportPos) const
{
    const QRectF page = pageRect();
    const QSizeF points = document()->pagePointSize(currentPage());
    if (page.isEmpty() || points.isEmpty())
        return {};
    return QPointF((viewportPos.x() - page.left()) * points.width() / page.width(),
        (viewportPos.y() - page.top()) * points.height() / page.height());
}

void QLBPDFReaderView::selectBetween(const QPointF &from, const QPointF &to)
{
    if (!document() || document()->pageCount() == 0)
        return;
    m_selectionPage = currentPage();
    QPdfDocument *pdf = document();
    QPointF start = toPage(from);
    QPointF end = toPage(to);
    QPdfSelection found = pdf->getSelection(m_selectionPage, start, end);
    if (!found.isValid()) {
        // The document finds text only from and to points on characters: a
        // drag that begins or ends beside the text is brought onto it,
        // stepping along the line towards the other end.
        const QRectF text = pdf->getAllText(m_selectionPage).boundingRectangle();
        if (!text.isEmpty()) {
            auto into = [&](QPointF p) {
                return QPointF(std::clamp(p.x(), text.left(), text.right()),
                    std::clamp(p.y(), text.top(), text.bottom()));
            };
            start = into(start);
            end = into(end);
            const double towards = end.x() >= start.x() ? 1 : -1;
            for (int i = 0; i < 60 && !found.isValid(); ++i) {
                found = pdf->getSelection(m_selectionPage, start, end);
                if (i % 2 == 0)
                    end.rx() -= towards * 4;
                else
                    start.rx() += towards * 4;
            }
        }
    }
    m_selection.reset();
    if (found.isValid() && !found.text().isEmpty())
        m_selection = std::make_unique<QPdfSelection>(found);
    viewport()->update();
}

void QLBPDFReaderView::clearSelection()
{
    if (!m_selection)
        return;
    m_selection.reset();
    viewport()->update();
}

bool QLBPDFReaderView::copySelection()
{
    if (!m_selection || m_selection->text().isEmpty())
        return false;
    m_selection->copyToClipboard();
    return true;
}

void QLBPDFReaderView::setReadingTheme(ReadingTheme::Kind kind)
{
    if (m_theme == kind)
        return;
    m_theme = kind;
    viewport()->update();
}

void QLBPDFReaderView::paintEvent(QPaintEvent *event)
{
    QPdfView::paintEvent(event);
    const ReadingTheme::Colours &theme = ReadingTheme::colours(m_theme);
    if (theme.pdfTint != ReadingTheme::PdfTint::None && theme.pdfTintColour) {
        // Over what was drawn: white turns to the sepia paper by
        // multiplying, and every colour to its opposite by difference.
        QPainter tint(viewport());
        tint.setCompositionMode(theme.pdfTint == ReadingTheme::PdfTint::Difference
                ? QPainter::CompositionMode_Difference
                : QPainter::CompositionMode_Multiply);
        tint.fillRect(event->rect(), QColor(QLatin1String(theme.pdfTintColour)));
    }
    if (!m_selection || m_selectionPage != currentPage())
        return;
    const QRectF page = pageRect();
    const QSizeF points = document()->pagePointSize(m_selectionPage);
    if (points.isEmpty())
        return;
    QPainter p(viewport());
    QTransform toView;
    toView.translate(page.left(), page.top());
    toView.scale(page.width() / points.width(), page.height() / points.height());
    QColor highlight = palette().color(QPalette::Highlight);
    highlight.setAlpha(90);
    for (const QPolygonF &bounds : m_selection->bounds()) {
        QPainterPath path;
        path.addPolygon(toView.map(bounds));
        p.fillPath(path, highlight);
    }
}

void QLBPDFReaderView::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
        return;
    }
    QScrollBar *bar = verticalScrollBar();
    if (event->key() == Qt::Key_PageDown && bar->value() >= bar->maximum()) {
        goToNextPage();
        return;
    }
    if (event->key() == Qt::Key_PageUp && bar->value() <= bar->minimum()) {
        goToPreviousPage();
        return;
    }
    QPdfView::keyPressEvent(event);
}

void QLBPDFReaderView::wheelEvent(QWheelEvent *event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        const int delta = event->angleDelta().y();
        if (delta != 0)
            emit zoomRequested(PdfZoom::wheel(effectiveScale(), delta));
        event->accept();
        return;
    }
    QPdfView::wheelEvent(event);
}

bool QLBPDFReaderView::gesture(QGestureEvent *event)
{
    auto *pinch = static_cast<QPinchGesture *>(event->gesture(Qt::PinchGesture));
    if (!pinch)
        return false;
    if (pinch->state() == Qt::GestureStarted)
        m_pinchStart = effectiveScale();
    if (pinch->changeFlags() & QPinchGesture::ScaleFactorChanged)
        emit zoomRequested(PdfZoom::pinch(m_pinchStart, pinch->totalScaleFactor()));
    event->accept(pinch);
    return true;
}

bool QLBPDFReaderView::nativeZoom(QEvent *event)
{
    // A touchpad's pinch: each event carries the change of scale.
    if (event->type() != QEvent::NativeGesture)
        return false;
    auto *native = static_cast<QNativeGestureEvent *>(event);
    if (native->gestureType() != Qt::ZoomNativeGesture)
        return false;
    emit zoomRequested(PdfZoom::pinch(effectiveScale(), 1.0 + native->value()));
    event->accept();
    return true;
}

bool QLBPDFReaderView::event(QEvent *event)
{
    return nativeZoom(event) || QPdfView::event(event);
}

bool QLBPDFReaderView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::Gesture && gesture(static_cast<QGestureEvent *>(event)))
        return true;
    return QPdfView::viewportEvent(event);
}

void QLBPDFReaderView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QPdfView::mousePressEvent(event);
        return;
    }
    m_pressed = true;
    m_dragging = false;
    m_pressPos = event->position();
    event->accept();
}

void QLBPDFReaderView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressed) {
        QPdfView::mouseMoveEvent(event);
        return;
    }
    if (!m_dragging
        && (event->position() - m_pressPos).manhattanLength() >= QApplication::startDragDistance())
        m_dragging = true;
    if (m_dragging)
        selectBetween(m_pressPos, event->position());
    event->accept();
}

void QLBPDFReaderView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed) {
        QPdfView::mouseReleaseEvent(event);
        return;
    }
    m_pressed = false;
    if (m_dragging) {
        selectBetween(m_pressPos, event->position());
        m_dragging = false;
    } else {
        clearSelection();
        emit clicked();
    }
    event->accept();
}

void QLBPDFReaderView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QPdfView::mouseDoubleClickEvent(event);
        return;
    }
    // The release that follows ends no click of its own.
    m_pressed = false;
    clearSelection();
    emit doubleClicked();
    event->accept();
}
