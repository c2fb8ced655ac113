// What the reader screen asks of the pane that shows a book: the page shown,
// going to a page, and printing. The EPUB pages live in the reader screen's
// book view; a PDF is shown by PdfPane.
#pragma once

#include <functional>

class QPrinter;

class ReaderPane
{
public:
    virtual ~ReaderPane() = default;
    virtual int pageCount() const = 0;
    // Shows `page` (from 0); a page outside the book is ignored.
    virtual void goToPage(int page) = 0;
    // Prints what is shown on `printer` (kept alive by the caller until
    // `done` runs); `done` gets whether printing succeeded.
    virtual void printTo(QPrinter *printer, std::function<void(bool)> done) = 0;
};
