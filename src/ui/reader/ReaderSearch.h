// The reader's in-book search: the search button (also Ctrl+F), its
// pop-over (Reader_SearchVC) and showing a chosen hit in the book's pane:
// an EPUB hit loads its spine item and, once the page is ready, selects and
// marks the term; a PDF hit shows its page with the found text marked. The
// search (results, last term) lives as long as the reader's book.
//
// Main thread only; owned by the reader screen.
#pragma once

#include "Reader_SearchVC.h"
#include "core/reader/InBookSearch.h"

#include <QObject>
#include <QPointer>

class EpubPane;
class PdfPane;
class PdfHitOverlay;
class QAction;
class QToolBar;

class ReaderSearch : public QObject
{
    Q_OBJECT
public:
    // Adds the search button to `toolbar` (hidden until a book is attached).
    ReaderSearch(QToolBar *toolbar, QWidget *shortcutScope);
    ~ReaderSearch() override;

    // The book to search: one of these, once.
    void attach(EpubPane *pane);
    void attach(PdfPane *pane, const QString &path);

    // The search button: opens the pop-over under the button; for an EPUB
    // the search starts at the page shown, and the chosen hit is selected
    // again.
    void tapSearch();
    // Marks `term` on the page about to be shown (a hit of the library
    // search), and lists its hits in the pop-over.
    void markOnOpen(const QString &term);

    QAction *searchAction() const { return m_action; }
    Reader_SearchVC *popover() const { return m_popover; }
    InBookSearch *search() const { return m_search; }
    PdfHitOverlay *pdfOverlay() const { return m_overlay; }
    // The search pop-over has been opened (and a hit's page is selected
    // when ready).
    bool inSearchMode() const { return m_inSearchMode; }

signals:
    // The term was selected (or not found) on the page after a hit was
    // chosen: for the reader's bookmark button and for tests.
    void hitShown(bool found);

private:
    void showHit(const InBookSearch::Choice &choice);
    // Selects the chosen hit on the page shown; `report`: emit hitShown.
    void selectToStr(bool report = true);

    QToolBar *m_toolbar;
    QAction *m_action;
    InBookSearch *m_search = nullptr;
    QPointer<Reader_SearchVC> m_popover;
    QPointer<EpubPane> m_epub;
    QPointer<PdfPane> m_pdf;
    PdfHitOverlay *m_overlay = nullptr;
    bool m_inSearchMode = false;
    bool m_isSearchSelect = false; // a chosen hit's page load is pending
};
