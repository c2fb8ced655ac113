// What the reader screen asks of the pane that shows a book, whichever kind
// it is: the page shown and going to a page, turning, going back, the text
// size or zoom, the reading theme, the selection, the search, the layout
// kept for the next book, and printing. EpubPane shows the spine items of an
// EPUB in a web view; PdfPane shows a PDF. The screen names the concrete
// panes only where it makes them.
//
// Main thread only; the screen owns the pane (a child widget).
#pragma once

#include "core/reader/ReadingTheme.h"
#include "core/reader/Typography.h"

#include <QString>
#include <functional>
#include <optional>

class EPUBManager;
class QMenu;
class QPrinter;
class QWebEnginePage;
class QWidget;
class ReaderSearch;

class ReaderPane
{
public:
    virtual ~ReaderPane() = default;

    // The pane as a widget, for the screen's layout.
    virtual QWidget *widget() = 0;

    virtual int pageCount() const = 0;
    // Shows `page` (from 0) as a jump that going back returns from; a page
    // outside the book is clamped (EPUB) or ignored (PDF).
    virtual void goToPage(int page) = 0;
    // The previous (`step` < 0) or next (`step` > 0) page; past either end
    // the end page is shown again.
    virtual void turn(int step) = 0;
    // Going back to `page` (the navigation history's): a PDF shows it, an
    // EPUB loads the history's spine item and its scroll position.
    virtual void returnToPage(int page) = 0;
    // Going back within the document shown: its scroll position `offset`
    // (pixels from the top). Nothing where pages do not scroll (PDF).
    virtual void scrollTo(int offset) = 0;
    // The id the page `page` is known by in bookmarks: the spine item's id
    // (EPUB) or the page index as text (PDF); absent for a page outside the
    // book.
    virtual std::optional<QString> bookmarkId(int page) const = 0;

    // Text size (EPUB, kept per book) or zoom step (PDF).
    virtual void enlarge() = 0;
    virtual void shrink() = 0;
    virtual void resetSize() = 0;
    // Whether another step is left (the PDF zoom clamps by itself: always).
    virtual bool canEnlarge() const = 0;
    virtual bool canShrink() const = 0;
    // The text size kept with the reading state; absent for a PDF.
    virtual std::optional<int> textSize() const = 0;

    // Lays `kind` over this and every later page.
    virtual void setReadingTheme(ReadingTheme::Kind kind) = 0;
    // Sets the text of this and every later page so; nothing for a book
    // whose pages are pictures of print (PDF).
    virtual void setTypography(const Typography &) { }

    // The widget that shows the page (for placing pop-overs) and the text
    // selected in it (empty without a selection).
    virtual QWidget *pageView() const = 0;
    virtual QString selectedText() const = 0;
    // The actions on the selected text for the context menu; none without a
    // selection.
    virtual void fillContextMenu(QMenu *menu) = 0;

    // Hands the book's text and this pane to the in-book search, once.
    virtual void attachSearch(ReaderSearch &search) = 0;

    // The EPUB package shown and its web page (for links between books and
    // page annotations); null for a PDF.
    virtual const EPUBManager *package() const = 0;
    virtual QWebEnginePage *webPage() const = 0;
    // The manifest id and outline title of the document shown (EPUB); empty
    // for a PDF.
    virtual QString currentManifestID() const = 0;
    virtual QString currentOutlineTitle() const = 0;

    // A book that turns by a reading direction (PDF) shows its choice below
    // `anchor`; nothing for an EPUB.
    virtual bool hasReadingDirection() const = 0;
    virtual void showDirectionChoice(QWidget *anchor) = 0;

    // Keeps the outline column's share of the width for the next book.
    virtual void saveSplit() = 0;

    // Prints what is shown on `printer` (kept alive by the caller until
    // `done` runs); `done` gets whether printing succeeded. `done` runs
    // exactly once, at the latest after kPrintTimeoutMs, unless the pane is
    // destroyed first (then never: its caller is going too). A printer set
    // finer than kPrintDotsPerInch is set to it.
    virtual void printTo(QPrinter *printer, std::function<void(bool)> done) = 0;

    // Both panes hand the printer a raster of the page: at a printer's own
    // 1200 dpi that is 16 times the pixels of 300 dpi for no difference a
    // reader can see, and on a busy machine it took longer than a person
    // waits.
    static constexpr int kPrintDotsPerInch = 300;
    // Longer than any print of a chapter takes on a loaded machine; past
    // it the print counts as failed and the user is told.
    static constexpr int kPrintTimeoutMs = 120000;
    static void limitResolution(QPrinter *printer);
};
