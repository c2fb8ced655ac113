// A message over a list that has no rows: centred, wrapped, in the list's
// own text colour (so it stays readable on whatever the list draws behind
// its rows), and hidden as soon as the list has a row or the message is
// empty.
//
// Main thread only. The overlay is a child of the view's viewport, which
// owns it; it follows the model the view has when the overlay is made.
#pragma once

#include <QLabel>

class QAbstractItemView;

class EmptyStateOverlay : public QLabel
{
    Q_OBJECT
public:
    explicit EmptyStateOverlay(QAbstractItemView *view);

    // The message shown while the list is empty; empty: nothing is shown.
    void setMessage(const QString &message);
    // Whether the message is shown now.
    bool showing() const { return isVisibleTo(parentWidget()); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh();

    QAbstractItemView *m_view;
};
