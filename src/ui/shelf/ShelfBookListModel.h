// The books of the shown shelf as a list model: one row per ShelfEntry, with
// the title line, the list view's columns (QLBTableCellView's roles) and the
// cover, the blank book until setCover gives the real one.
//
// Main thread only. Holds its own copy of the rows; setBooks replaces them.
#pragma once

#include "core/library/BookMetaData.h"
#include "core/shelf/ShelfModel.h"

#include <QAbstractListModel>
#include <QHash>
#include <QIcon>
#include <functional>

class ShelfBookListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        FileNameRole = Qt::UserRole, // QString: the file in the contents folder
        PathRole = Qt::UserRole + 1, // QString: its full path
        IsPdfRole = Qt::UserRole + 2, // bool
        // Qt::UserRole + 3, + 5, + 6: QLBTableCellView's title, subtitle, time
        CoverMadeRole = Qt::UserRole + 4, // bool: the real cover is shown
    };

    explicit ShelfBookListModel(QObject *parent = nullptr);

    // The shelf's entries with their metadata (by file name; an entry
    // without is named by its file name). A cover `known` gives (called once
    // per entry, may be empty) is shown as made; the others show `blank`.
    void setBooks(const QList<ShelfEntry> &entries, const QHash<QString, BookMetaData> &books,
        const QIcon &blank, const std::function<QPixmap(const ShelfEntry &)> &known);
    // Shows `cover` for `row`'s book and marks it made; a row outside the
    // list is left alone.
    void setCover(int row, const QIcon &cover);
    // The entry of `row`; an empty entry outside the list.
    ShelfEntry entry(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    // Qt::DisplayRole: "title — creator" (the title alone without creator);
    // Qt::ToolTipRole: the file name; Qt::DecorationRole: the cover; an
    // invalid QVariant outside the list.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    struct Row {
        ShelfEntry entry;
        QString title;
        QString creator;
        QString subTitle;
        QString time;
        QIcon cover;
        bool coverMade = false;
    };
    QList<Row> m_rows;
};
