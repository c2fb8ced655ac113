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
    // `done` runs); `done` gets whether printing succeeded.
    virtual void printTo(QPrinter *printer, std::function<void(bool)> done) = 0;
};
