// The reading-direction pop-over of a PDF book: two segments, "右開き"
// (segment 0) and "左開き" (segment 1), shown below the direction button.
// Choosing a segment stores it for the book and closes the pop-over.
//
// Main thread only.
#pragma once

#include <QWidget>

class QButtonGroup;
class ReadingDirection;

class PdfDirectionPopover : public QWidget
{
    Q_OBJECT
public:
    // `direction` must outlive the pop-over.
    PdfDirectionPopover(ReadingDirection &direction, QWidget *parent);

    // Shows the pop-over below `anchor` with the book's segment selected.
    void showBelow(QWidget *anchor);
    QButtonGroup *segments() const { return m_segments; }

signals:
    void segmentChosen(int segment);

private:
    ReadingDirection &m_direction;
    QButtonGroup *m_segments;
};
