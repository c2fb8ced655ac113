// The hits of the library search as a list model: one row per chapter (EPUB)
// or page (PDF) holding the term, with the book, the place and the words
// around the term.
//
// Main thread only. Holds its own copy of the hits; setHits replaces them.
#pragma once

#include "core/shelf/LibrarySearchIndex.h"

#include <QAbstractListModel>

class LibrarySearchHitModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        // The row with the term marked (RichTextRowDelegate::HtmlRole).
        HtmlRole = Qt::UserRole + 100,
        FileNameRole = Qt::UserRole + 1, // QString: the book's file in the contents folder
        PageRole, // int: EPUB spine index or PDF page, from 0
        PlaceRole, // QString: chapter title, or "Nページ"
    };

    explicit LibrarySearchHitModel(QObject *parent = nullptr);

    void setHits(const QList<LibrarySearchIndex::Hit> &hits);
    const QList<LibrarySearchIndex::Hit> &hits() const { return m_hits; }

    // Where a hit is, as the row shows it.
    static QString place(const LibrarySearchIndex::Hit &hit);

    int rowCount(const QModelIndex &parent = {}) const override;
    // Qt::DisplayRole: "title place" and the words around the term on a
    // second line (not drawn: the view draws HtmlRole); an invalid QVariant
    // outside the list.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QList<LibrarySearchIndex::Hit> m_hits;
};
