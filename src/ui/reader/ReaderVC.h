// The reader: an EPUB in the book web view (one spine item at a time) or a
// PDF in the PDF view; the reading state is saved when it is left. (The full
// reader's annotations and search build on this screen.) EPUB pages come
// with an outline of the table of contents, page buttons and the font size.
#pragma once

#include "ImageViewer.h"
#include "core/reader/NavigationHistory.h"
#include "ui/app/ScreenVC.h"

#include <QPointer>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

class EPUBManager;
class StayTimeCounter;
class QAction;
class QLabel;
class QMenu;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;
class PdfPane;
class ReaderAnnotationActions;
class QPrinter;
class QWebEngineView;

class ReaderVC : public ScreenVC
{
    Q_OBJECT
public:
    explicit ReaderVC(Navigation &app);
    ~ReaderVC() override;

    QVariantMap info;
    QVariantMap befoInfo;
    QString befoManifestID;

    void appear() override;
    QToolBar *toolbar() override { return m_toolbar; }
    int page() const { return m_history.page(); }
    // The page before the last jump (where going back returns to).
    int lastPage() const { return m_history.lastPage(); }
    // Shows page `page` (clamped to the book), keeping the page shown now
    // as the one to go back to.
    void goToPage(int page);
    // Previous (segment 0) or next (1) page; past either end the end page
    // is shown again.
    void tapDir(int segment);
    QWebEngineView *web() const { return m_web; }
    QTreeWidget *outline() const { return m_outline; }
    // True while a relayout of the outline rows for a new width is queued.
    bool outlineRelayoutPending() const { return m_outlineRelayout; }
    QLabel *pageLabel() const { return m_pageLabel; }

    // The book view's default font size, 11 to 27 (EPUB).
    static constexpr int kMinFontSize = 11;
    static constexpr int kMaxFontSize = 27;
    static constexpr int kDefaultFontSize = 16;
    int fontSize() const;
    void fontSizeDown();
    void fontSizeUp();
    void fontSizeDefault();
    QAction *fontDownAction() const { return m_fontDown; }
    QAction *fontUpAction() const { return m_fontUp; }

    // A "tavro://" link to another book: asks, then opens the target
    // document with this book kept for going back.
    void bookLinkClicked(const QUrl &url);
    // The go-back button: back to the book a link came from (after
    // asking), else to the page or the scroll position before the last jump.
    void tapBackBtn();
    QAction *backAction() const { return m_back; }
    bool openedFromLink() const { return m_history.returnsToOtherBook(); }

    // The splash of a book that has "OEBPS/splash_image1.jpg": shown over
    // the reader for the seconds of its "dc:splash" (2 when not a number).
    bool splashShown() const { return m_splash != nullptr; }
    void splashClear();
    QSplitter *splitter() const { return m_split; }

    // Opens the image viewer on the image at `pos` of the book view, if
    // there is one; `done` (optional) gets whether it opened.
    void openImageAt(const QPoint &pos, std::function<void(bool)> done = {});
    ImageViewer *imageViewer() const { return m_imageViewer; }

    // Prints what is shown on `printer` (kept alive by the caller until
    // `done` runs): the whole document for an EPUB page, only the page on
    // screen for a PDF. `done` gets whether printing succeeded.
    void printTo(QPrinter *printer, std::function<void(bool)> done);
    QAction *printAction() const { return m_print; }

    // The book view's context menu: empty without a selection, else the
    // actions on the selected text.
    void fillContextMenu(QMenu *menu);
    ReaderAnnotationActions *annotations() const { return m_annotations; }

    // Follows the outline entry of `item`: its "content", else the manifest
    // href of its "id".
    void openOutlineItem(QTreeWidgetItem *item);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void saveStatus();
    // The outline pane's share of the reader's width, kept in "r_split".
    void savesplit();
    void restoreSplit();
    // Loads the spine item of the history's page.
    void redispByPage();
    void scrollTo(int offset);
    // The go-back button follows the history.
    void syncBack();
    // The spine item a URL shows (the last that matches), if any.
    std::optional<int> spineIndex(const QUrl &url) const;
    // Every main-frame navigation of the book view, before it happens.
    void navigationStarted(const QUrl &url);
    // Every change of the shown URL; catches in-page "#" jumps, which are
    // no navigation of the page.
    void urlShown(const QUrl &url);
    // The page number, label and go-back button after a navigation.
    void pageNavigated(const QUrl &url);
    void webchangelate(const QUrl &url);
    // After each document has loaded: the page scripts, then the count.
    void didFinishLoad(bool ok);
    // Whether the page of load number `load` has its scripts, asking up to
    // `attempts` times; a page without them closes the reader.
    void checkPageScripts(quint64 load, int attempts);
    void closeImageShow();
    void setFontSize(int size);
    void fillOutline(QTreeWidgetItem *parent, const QVariantList &entries, int depth);
    void urlHandle(const QVariantMap &query);
    void tapPrint();
    // The access log of the opened book and the reading-time count.
    void startCounting();
    // The bookmark, highlight and memo commands of this book.
    void setUpAnnotations(bool epub);

    QToolBar *m_toolbar;
    QLabel *m_pageLabel;
    QWebEngineView *m_web = nullptr;
    QSplitter *m_split = nullptr;
    QTreeWidget *m_outline = nullptr;
    QAction *m_fontDown = nullptr;
    QAction *m_fontUp = nullptr;
    QAction *m_fontDefault = nullptr;
    std::unique_ptr<EPUBManager> m_epub;
    PdfPane *m_pdf = nullptr; // the pane of a PDF book
    bool m_pdfShown = false; // its first page has been shown
    NavigationHistory m_history; // the page shown and where going back leads
    bool m_loaded = false;
    quint64 m_loadsStarted = 0; // page loads begun in the book view
    bool m_selectingOutline = false;
    QUrl m_expectedUrl; // the navigation under way
    QUrl m_shownDocument; // the document shown, without fragment
    QWidget *m_splash = nullptr;
    QPointer<ImageViewer> m_imageViewer;
    bool m_dblClicked = false;
    bool m_outlineRelayout = false; // a relayout of the outline rows is queued
    QString m_currentManifestID;
    QAction *m_back = nullptr;
    QAction *m_print = nullptr;
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<StayTimeCounter> m_stay;
    ReaderAnnotationActions *m_annotations = nullptr; // owned by this screen
};
