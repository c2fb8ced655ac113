// The books of the shown shelf, in one of two looks: covers standing on
// wooden boards along a dark wall, or list rows on the desktop's own
// background. One click or Enter chooses a book (ChoiceListView). The wheel
// moves by whole rows in either look: a notch is one shelf of covers or one
// list row (a touchpad's pixels move as they come).
//
// The wall and its boards are drawn behind the items at the rows the items
// actually stand on, so they move with the books however far the view
// scrolls; their colours and the titles' colour are the wall's own in any
// desktop palette. The list look takes the desktop's palette as it is, also
// when it changes later.
//
// Main thread only. The model and delegates stay owned by whoever sets them.
#pragma once

#include "ui/app/ChoiceListView.h"

class ShelfBookView : public ChoiceListView
{
    Q_OBJECT
public:
    explicit ShelfBookView(QWidget *parent = nullptr);

    // Switches the look: covers on boards (true) or list rows (false). Sets
    // the view mode, sizes, scrolling and palette; the delegate is the
    // caller's.
    void setCoverLook(bool covers);
    bool coverLook() const { return m_covers; }
    // The height of one row of the current look, in pixels.
    int rowHeight() const;
    // Where the next row's board starts below the top of a row of covers.
    static int boardTop();
    static constexpr int kBoardHeight = 14;
    // The wall behind the covers and the titles written on it.
    static QColor wallColour();
    static QColor titleColour();

protected:
    void paintEvent(QPaintEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    bool m_covers = false;
    int m_wheelRest = 0; // wheel angle not yet worth a notch
};
