// The shelf table: one row a shelf, in the order of the shelf list. Rows
// other than the first can be dragged onto another row other than the
// first; the table then only reports the drop (rowDropped) and leaves the
// reordering to its controller. Drags carry the row under
// "BasicTableViewDragAndDropDataType".
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

signals:
    void rowDropped(int from, int to);

protected:
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QList<QListWidgetItem *> &items) const override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // The dragged row and the row under the drop, or -1.
    int draggedRow(const QMimeData *data) const;
    int rowAt(const QPointF &pos) const;
};
