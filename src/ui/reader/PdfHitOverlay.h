// Marks a found text on the page a PDF view shows: the hit's rectangles
// (from the document's text geometry) painted over the view, since the PDF
// view itself has no selection to set. Mouse events pass through.
//
// Main thread only.
#pragma once

#include <QList>
#include <QPolygonF>
#include <QWidget>

class QPdfDocument;
class QPdfView;

class PdfHitOverlay : public QWidget
{
    Q_OBJECT
public:
    PdfHitOverlay(QPdfView *view, QPdfDocument *document);

    // Marks `length` characters from `start` of `page`'s text; a page or
    // range without text marks nothing.
    void showHit(int page, int start, int length);
    void clear();

    int page() const { return m_page; }
    // The marked rectangles in page points; empty when nothing is marked.
    const QList<QPolygonF> &bounds() const { return m_bounds; }
    // Where a point of page `page` lies in the view's viewport (single page
    // mode, as the view lays the page out).
    QPointF toViewport(const QPointF &point) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPdfView *m_view;
    QPdfDocument *m_document;
    int m_page = -1;
    QList<QPolygonF> m_bounds;
};
