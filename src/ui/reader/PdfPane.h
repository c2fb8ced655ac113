// A PDF book: one page at a time in a PDF view. Printing prints only the
// page on screen, fitted to the paper and turned to match it.
#pragma once

#include "ReaderPane.h"

#include <QWidget>

class QPdfDocument;
class QPdfView;

class PdfPane : public QWidget, public ReaderPane
{
    Q_OBJECT
public:
    // Loads the PDF at `path`; an unreadable file gives a book of no pages.
    explicit PdfPane(const QString &path, QWidget *parent = nullptr);

    int page() const { return m_page; }
    int pageCount() const override;
    void goToPage(int page) override;
    void turn(int step) override;
    void printTo(QPrinter *printer, std::function<void(bool)> done) override;
    QPdfView *view() const { return m_view; }
    QPdfDocument *document() const { return m_pdf; }

signals:
    // The page on screen changed (by goToPage or in the view itself).
    void pageShown(int page, int pageCount);

private:
    QPdfDocument *m_pdf;
    QPdfView *m_view;
    int m_page = 0;
};
