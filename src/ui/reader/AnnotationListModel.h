// One tab of the annotation list (bookmarks, highlights or memos of the open
// book) as a list model over AnnotationList: a row per record, named by
// AnnotationList::rowText.
//
// Main thread only. Holds its own copy of the rows; setRows replaces them.
#pragma once

#include "core/reader/AnnotationList.h"

#include <QAbstractListModel>

class AnnotationListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        PageRole = Qt::UserRole + 1, // int: the page index, from 0
        TimeRole, // QDateTime: the last change
        ChapterRole, // QString: the chapter title
        MarkedTextRole, // QString: the highlighted text, whole
        MemoRole, // QString
    };

    explicit AnnotationListModel(AnnotationList::Tab tab, QObject *parent = nullptr);

    AnnotationList::Tab tab() const { return m_tab; }
    // This model's tab of `list`.
    void setRows(const AnnotationList &list);
    // The record of `row`; nullptr outside the list (valid until setRows).
    const BookHighlightMemo *record(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    // Qt::DisplayRole: the row text; Qt::ToolTipRole: the time of the last
    // change; an invalid QVariant outside the list.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    AnnotationList::Tab m_tab;
    QList<BookHighlightMemo> m_rows;
};
