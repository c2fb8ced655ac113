// A list whose rows are chosen by one left click or by Enter, for lists where
// a row says what it does (a search hit, "More", an annotation). A double
// click chooses the row once, not twice: the click before it already did.
// Other activations of the view (the style's single- or double-click
// activation) choose nothing, so that one gesture never chooses a row twice.
//
// Main thread only. The model stays owned by whoever sets it.
#pragma once

#include <QListView>

class ChoiceListView : public QListView
{
    Q_OBJECT
public:
    explicit ChoiceListView(QWidget *parent = nullptr);

signals:
    // The row of the view's model that was chosen (always a valid row).
    void rowChosen(int row);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPersistentModelIndex m_pressed; // the row under the left button's press
    bool m_afterDoubleClick = false; // the release that ends a double click
};
