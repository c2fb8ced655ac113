// What the reader screen asks of the pane that shows a book: the page shown,
// going to a page, turning, and printing. EpubPane shows the spine items of
// an EPUB in a web view; PdfPane shows a PDF.
#pragma once

#include <functional>

class QPrinter;

class ReaderPane
{
public:
    virtual ~ReaderPane() = default;
    virtual int pageCount() const = 0;
    // Shows `page` (from 0) as a jump that going back returns from; a page
    // outside the book is clamped (EPUB) or ignored (PDF).
    virtual void goToPage(int page) = 0;
    // The previous (`step` < 0) or next (`step` > 0) page; past either end
    // the end page is shown again.
    virtual void turn(int step) = 0;
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
