// Searching the text of every installed book from the shelf: a field, the
// index's progress while it is being brought up to date, and one row per
// chapter (EPUB) or page (PDF) holding the term, with the book, the place
// and the words around the term. Choosing a row (one click, or Enter) emits
// hitChosen; the shelf opens the book there.
//
// Main thread only.
#pragma once

#include "core/shelf/LibrarySearchIndexer.h"

#include <QDialog>
#include <QPointer>

class ChoiceListView;
class LibrarySearchHitModel;
class QLabel;
class QLineEdit;

class LibrarySearchWindow : public QDialog
{
    Q_OBJECT
public:
    explicit LibrarySearchWindow(LibrarySearchIndexer *indexer, QWidget *parent = nullptr);

    // Searches for the field's text and lists the hits.
    void searchNow();

    QLineEdit *searchField() const { return m_field; }
    // The hits, over resultModel().
    ChoiceListView *results() const { return m_list; }
    LibrarySearchHitModel *resultModel() const { return m_model; }
    QLabel *status() const { return m_status; }
    const QList<LibrarySearchIndex::Hit> &hits() const { return m_hits; }

signals:
    void hitChosen(const LibrarySearchIndex::Hit &hit, const QString &term);

private:
    void showStatus();

    QPointer<LibrarySearchIndexer> m_indexer;
    QLineEdit *m_field;
    QLabel *m_status;
    LibrarySearchHitModel *m_model;
    ChoiceListView *m_list;
    QList<LibrarySearchIndex::Hit> m_hits;
    QString m_term;
};
