// A PDF book: one page at a time in the reader's PDF view, with its outline
// rows, zoom (keys, wheel, pinch, the zoom slider, fit width and fit page),
// reading direction and the way it was shown when it was left. Printing
// prints only the page on screen, fitted to the paper and turned to match
// it.
//
// Main thread only. The pane owns its document, view and zoom bar.
#pragma once

#include "ReaderPane.h"
#include "core/reader/PdfOutline.h"
#include "core/reader/PdfViewState.h"

#include <QPointer>
#include <QWidget>

class ConfigDictionary;
class PdfDirectionPopover;
class PdfZoomBar;
class QLBPDFReaderView;
class QPdfDocument;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;

class PdfPane : public QWidget, public ReaderPane
{
    Q_OBJECT
public:
    // Loads the PDF at `path` once PdfProbe found it readable (waiting at
    // most its budget); an unreadable, crashing or stalling file gives a
    // book of no pages.
    // `metaBookId` names the book's reading direction. `config` (the
    // outline's width) must outlive the pane.
    PdfPane(const QString &path, ConfigDictionary &config, const QString &metaBookId = {},
        QWidget *parent = nullptr);
    ~PdfPane() override;

    int page() const { return m_page; }

    // ReaderPane
    QWidget *widget() override { return this; }
    int pageCount() const override;
    void goToPage(int page) override;
    void turn(int step) override;
    void returnToPage(int page) override { goToPage(page); }
    void scrollTo(int) override { }
    // The page index as text, for any page of the book.
    std::optional<QString> bookmarkId(int page) const override;
    void enlarge() override { zoomIn(); }
    void shrink() override { zoomOut(); }
    void resetSize() override { zoomDefault(); }
    bool canEnlarge() const override { return true; }
    bool canShrink() const override { return true; }
    std::optional<int> textSize() const override { return std::nullopt; }
    // Tints (sepia) or inverts (night) the page as it is drawn.
    void setReadingTheme(ReadingTheme::Kind kind) override;
    QWidget *pageView() const override;
    QString selectedText() const override;
    // The selection is copied with the view's own keys; no menu items.
    void fillContextMenu(QMenu *) override { }
    void attachSearch(ReaderSearch &search) override;
    const EPUBManager *package() const override { return nullptr; }
    QWebEnginePage *webPage() const override { return nullptr; }
    QString currentManifestID() const override { return {}; }
    QString currentOutlineTitle() const override { return {}; }
    bool hasReadingDirection() const override { return true; }
    void showDirectionChoice(QWidget *anchor) override { showDirectionPopover(anchor); }
    void printTo(QPrinter *printer, std::function<void(bool)> done) override;
    QLBPDFReaderView *view() const { return m_view; }
    QPdfDocument *document() const { return m_pdf; }
    const QString &path() const { return m_path; }

    // The outline rows (".toc" file, the document's outline or the pages),
    // shown in the outline column beside the page; choosing a row goes to
    // its page and the row follows the page.
    const PdfOutline &outlineRows() const { return m_outline; }
    QTreeWidget *outlineTree() const { return m_outlineTree; }
    QSplitter *splitter() const { return m_split; }
    // Keeps the outline column's share of the width ("r_split", shared with
    // EPUB books), once the pane has been on screen.
    void saveSplit() override;

    // Back (segment 0) or forward (1) by the book's reading direction; at
    // either end the page stays.
    void tapDir(int segment);
    // Shows the reading-direction pop-over below `anchor`.
    void showDirectionPopover(QWidget *anchor);
    PdfDirectionPopover *directionPopover() const;

    // The scale the page is drawn at (1.0: its size); in a fit mode the one
    // the mode gives.
    double scale() const;
    PdfViewState::Fit fit() const { return m_fit; }
    // Zooms to `scale` (within 10% to 400%), leaving any fit mode.
    void setScale(double scale);
    void setFit(PdfViewState::Fit fit);
    void zoomIn();
    void zoomOut();
    void zoomDefault();
    PdfZoomBar *zoomBar() const { return m_zoomBar; }
    bool zoomBarShown() const;

    // How the book is shown now, and showing it so (zoom, fit mode, page,
    // scroll position within the page) without the zoom bar. The scroll
    // position is applied as the view gets its size, until the reader
    // scrolls or turns the page.
    PdfViewState viewState() const;
    void restore(const PdfViewState &state);

signals:
    // The page on screen changed (by goToPage or in the view itself).
    void pageShown(int page, int pageCount);
    // The zoom changed (not by a resize in a fit mode).
    void scaleChanged(double scale);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void applyScale(double scale);
    // The zoom bar follows a zoom and appears.
    void scaleDidChange();
    void placeZoomBar();
    void openOutlineItem(QTreeWidgetItem *item);
    // The scroll position within the page, 0 to 1.
    double pageOffset() const;
    void applyPendingOffset();

    QString m_path;
    ConfigDictionary &m_config;
    QPdfDocument *m_pdf;
    QSplitter *m_split;
    QTreeWidget *m_outlineTree;
    QLBPDFReaderView *m_view;
    PdfZoomBar *m_zoomBar;
    QPointer<PdfDirectionPopover> m_popover;
    PdfOutline m_outline;
    PdfViewState::Fit m_fit = PdfViewState::Fit::None;
    int m_page = 0;
    // The scroll position restore() asked for, until it holds.
    std::optional<double> m_pendingOffset;
    bool m_barShownBeforeClick = false;
    bool m_splitRestored = false;
};
