// The PDF view of the reader: one page at a time, turned the way the book
// opens (right-opening books go forward to the lower page number, the
// view's own next and previous pages included), zoomed by Ctrl+wheel and
// pinch, and with text selection and copying on the page shown.
//
// The view asks for a zoom (zoomRequested) rather than zooming itself, so
// that the pane applies every zoom one way. Main thread only.
#pragma once

#include "core/reader/ReadingDirection.h"
#include "core/reader/ReadingTheme.h"

#include <QPdfSelection>
#include <QPdfView>
#include <memory>

class QGestureEvent;

class QLBPDFReaderView : public QPdfView
{
    Q_OBJECT
public:
    // `metaBookId` names the book whose reading direction is used (none:
    // left-opening, not stored).
    explicit QLBPDFReaderView(const QString &metaBookId, QWidget *parent = nullptr);

    ReadingDirection &direction() { return m_direction; }
    // "directionUD-" + metaBookId (empty without an id).
    QString directionUD() const { return m_direction.directionUD(); }

    int currentPage() const;
    // Shows `page` (from 0) at the view's zoom; a page outside the document
    // is ignored.
    void goToPage(int page);
    // The view's own page turns: with a right-opening book the next page is
    // the lower page number. Both stop at the ends of the book.
    void goToNextPage();
    void goToPreviousPage();
    // Turning is always offered; at the ends it stays on the page.
    bool canGoToNextPage() const { return true; }
    bool canGoToPreviousPage() const { return true; }

    // The scale the page is drawn at (for the fit modes, the one they
    // give), 1.0 being the page at its size.
    double effectiveScale() const;
    // Where the shown page lies in the viewport, in pixels.
    QRectF pageRect() const;

    // The selected text on the shown page (empty when nothing is selected).
    // Day draws pages as they are; sepia tints them; night inverts them.
    void setReadingTheme(ReadingTheme::Kind kind);
    ReadingTheme::Kind readingTheme() const { return m_theme; }

    QString selectedText() const { return m_selection ? m_selection->text() : QString(); }
    // Selects the text between two viewport points (a drag).
    void selectBetween(const QPointF &from, const QPointF &to);
    void clearSelection();
    // Puts the selected text on the clipboard; false when nothing is
    // selected.
    bool copySelection();

signals:
    void zoomRequested(double scale);
    // A click without a drag, and a double click (which also clears the
    // selection).
    void clicked();
    void doubleClicked();

protected:
    bool event(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    bool gesture(QGestureEvent *event);
    bool nativeZoom(QEvent *event);
    // A viewport point in page points.
    QPointF toPage(const QPointF &viewportPos) const;

    ReadingDirection m_direction;
    std::unique_ptr<QPdfSelection> m_selection;
    ReadingTheme::Kind m_theme = ReadingTheme::Day;
    int m_selectionPage = -1;
    QPointF m_pressPos;
    bool m_pressed = false;
    bool m_dragging = false;
    double m_pinchStart = 1.0;
};
