// The shelf table: one row a shelf, in the order of the shelf list. Rows
// other than the first can be dragged onto another row other than the
// first; the table then only reports the drop (rowDropped) and leaves the
// reordering to its controller. Drags carry the row under
// "BasicTableViewDragAndDropDataType".
//
// A shelf is chosen when the left button is released on the row it was
// pressed on, or by moving the current row with the keyboard (rowChosen);
// pressing alone chooses nothing, so a drag can start from any row without
// the table being refilled under it.
//
// Main thread only.
#pragma once

#include <QListWidget>

class ShelfTableView : public QListWidget
{
    Q_OBJECT
public:
    static constexpr const char *kDragType = "BasicTableViewDragAndDropDataType";

    explicit ShelfTableView(QWidget *parent = nullptr);

    // Whether dropping row `from` on row `to` would be taken: neither is
    // the first row, both exist and they differ.
    bool canDrop(int from, int to) const;

    // Whether the left button is held over the table (a click or a drag
    // under way): the current row follows the press, no choice is made.
    bool mouseHeld() const { return m_pressedRow != kNoRow; }

signals:
    void rowDropped(int from, int to);
    void rowChosen(int row);
    // A drag from the table ended, dropped or not.
    void dragEnded();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QList<QListWidgetItem *> &items) const override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // The dragged row and the row under the drop, or -1.
    int draggedRow(const QMimeData *data) const;
    int rowAt(const QPointF &pos) const;

    static constexpr int kNoRow = -2; // no left button held (-1: held off the rows)
    int m_pressedRow = kNoRow;
};
