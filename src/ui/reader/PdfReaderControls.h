// What the reader screen does around a PDF book's pane: the page label
// "n/count", the view state kept per book (restored on opening, saved on
// leaving), and one signal per page shown for the reading-time count and
// the bookmark button.
//
// Main thread only. Does not own the pane or the label; they must outlive
// it (children of the same screen).
#pragma once

#include <QObject>

class PdfPane;
class QLabel;

class PdfReaderControls : public QObject
{
    Q_OBJECT
public:
    PdfReaderControls(PdfPane *pane, QLabel *pageLabel, QObject *parent);

    // Shows the book as it was left: the page of the library record
    // (`lastPage`, -1 when never read) or the kept one, the kept zoom and
    // fit mode; the page label and pageTurned follow.
    void open(int lastPage);
    // Keeps the page count, zoom, page and fit mode for the next opening.
    void save() const;

signals:
    // A page was shown (the first one included).
    void pageTurned(int page);

private:
    void pageShown(int page, int pageCount);

    PdfPane *m_pane;
    QLabel *m_pageLabel;
    int m_lastTurned = -1;
};
