// An EPUB book: the outline of its table of contents beside the book view,
// which shows one spine item at a time through the epub:// scheme. The pane
// keeps the reader's navigation history up to date as pages load (links,
// outline rows, in-page "#" jumps), shows the book's splash, opens pictures
// in the image viewer and holds the book view's font size.
//
// Lives on the main thread; owns the EPUBManager it is given. The history
// belongs to the reader screen and must outlive the pane.
#pragma once

#include "ImageViewer.h"
#include "ReaderPane.h"
#include "core/reader/ReadingPlace.h"
#include "core/reader/ReadingTheme.h"
#include "core/reader/Typography.h"
#include "core/reader/WritingMode.h"

#include <QPointer>
#include <QUrl>
#include <QVariantList>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class ConfigDictionary;
class EPUBManager;
class EpubPaging;
class NavigationHistory;
class QMenu;
class QSplitter;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class QWebEngineProfile;
class QWebEngineView;

class EpubPane : public QWidget, public ReaderPane
{
    Q_OBJECT
public:
    // The book view's default font size, 11 to 27.
    static constexpr int kMinFontSize = 11;
    static constexpr int kMaxFontSize = 27;
    static constexpr int kDefaultFontSize = 16;

    // `book` must have a spine (the reader refuses a book without one).
    // `history`, `profile` (book pages, BookWebProfile) and `config` (the
    // outline's width) must outlive the pane.
    EpubPane(std::unique_ptr<EPUBManager> book, NavigationHistory &history, QWebEngineProfile *profile,
        ConfigDictionary &config, QWidget *parent = nullptr);
    ~EpubPane() override;

    // Shows the book: `document` when it names one (a link from another
    // book), else the history's page; the book's splash first, if it has
    // one.
    void open(const QUrl &document);

    // ReaderPane
    QWidget *widget() override { return this; }
    int pageCount() const override;
    void goToPage(int page) override;
    void turn(int step) override;
    void returnToPage(int) override { showHistoryPage(); }
    // Scrolls the shown document to `offset` pixels from its top.
    void scrollTo(int offset) override;
    std::optional<QString> bookmarkId(int page) const override;
    void enlarge() override { setFontSize(fontSize() + 1); }
    void shrink() override { setFontSize(fontSize() - 1); }
    void resetSize() override { setFontSize(kDefaultFontSize); }
    bool canEnlarge() const override { return fontSize() < kMaxFontSize; }
    bool canShrink() const override { return fontSize() > kMinFontSize; }
    std::optional<int> textSize() const override { return fontSize(); }
    // Lays the theme over this and every later page of the book (day: the
    // book's own colours).
    void setReadingTheme(ReadingTheme::Kind kind) override;
    // Sets the text of this and every later page of the book so (the
    // web view's font size stays as it is).
    void setTypography(const Typography &typography) override;
    const Typography &typography() const { return m_typography; }
    QWidget *pageView() const override;
    QString selectedText() const override;
    void attachSearch(ReaderSearch &search) override;
    const EPUBManager *package() const override { return m_book.get(); }
    QWebEnginePage *webPage() const override;
    // The manifest id of the spine item shown, empty before the first.
    QString currentManifestID() const override { return m_currentManifestID; }
    // The first line of the outline row of the shown document, if any.
    QString currentOutlineTitle() const override;
    bool hasReadingDirection() const override { return false; }
    void showDirectionChoice(QWidget *) override { }
    void printTo(QPrinter *printer, std::function<void(bool)> done) override;

    // Loads the spine item of the history's page again (going back).
    void showHistoryPage();

    // The place to show when spine item `place.spineIndex` loads next
    // (loaded by the caller, after this call): the page stays hidden until
    // the place is at the top of the view, so it is first seen there.
    // Replaces an earlier one; dropped when another document loads first.
    void setPendingPlace(const ReadingPlace &place);
    // Goes to `place`: its place at once when its spine item is shown, else
    // the item is loaded as a jump (going back returns) and shown there.
    void showPlace(const ReadingPlace &place);
    // Where the reader is in the spine item shown, as the page last told
    // (a moment after scrolling, a new font size or width); the top of the
    // item until it has.
    ReadingPlace currentPlace() const { return m_place; }
    // The spine item `url` shows, if any.
    std::optional<int> spineIndexOf(const QUrl &url) const { return spineIndex(url); }

    const EPUBManager &book() const { return *m_book; }

    // One screen forward or back through the book (the paging keys of the
    // book view): within the spine item shown, then on into the next one
    // at its start or the previous one at its end.
    void pageScreen(bool forward);

    // Vertical writing: whether the book may be switched between vertical
    // and horizontal lines, whether it is shown vertical now, and whether
    // its pages follow each other from right to left as shown. The choice
    // is kept for the book.
    bool allowsBothWritingModes() const { return m_writing.allowsBoth; }
    bool showsVertical() const { return m_vertical; }
    void setVertical(bool vertical);
    bool pagesRightToLeft() const;

    int fontSize() const;
    // Clamped to kMinFontSize..kMaxFontSize.
    void setFontSize(int size);

    ReadingTheme::Kind readingTheme() const { return m_theme; }

    QWebEngineView *web() const { return m_web; }
    QTreeWidget *outline() const { return m_outline; }
    QSplitter *splitter() const { return m_split; }
    // True while a relayout of the outline rows for a new width is queued.
    bool outlineRelayoutPending() const { return m_outlineRelayout; }

    // The splash of a book that has "OEBPS/splash_image1.jpg": shown over
    // the pane for the seconds of its "dc:splash" (2 when not a number).
    bool splashShown() const { return m_splash != nullptr; }
    void splashClear();
    // The outline's share of the width, kept in "r_split" (not while the
    // splash has the outline closed).
    void saveSplit() override;

    // Opens the image viewer on the image at `pos` of the book view, if
    // there is one; `done` (optional) gets whether it opened.
    void openImageAt(const QPoint &pos, std::function<void(bool)> done = {});
    ImageViewer *imageViewer() const { return m_imageViewer; }

    // The book view's context menu: empty without a selection, else the
    // actions on the selected text.
    void fillContextMenu(QMenu *menu) override;

    // Follows the outline entry of `item`: its "content", else the manifest
    // href of its "id".
    void openOutlineItem(QTreeWidgetItem *item);

signals:
    // Spine item `index` of `count` is shown.
    void pageShown(int index, int count);
    // Where going back leads may have changed.
    void historyChanged();
    // A "tavro://" link to another book was followed.
    void bookLinkRequested(const QUrl &url);
    // The shown document is ready to be read: its page scripts answered, or
    // it is a picture or drawing that needs none.
    void pageReady();
    // The page scripts of the shown document answered (just before
    // pageReady): the page can be annotated.
    void pageScriptsReady();
    // An (X)HTML page came without its page scripts; it cannot be read.
    void pageScriptsMissing();
    // Another document is about to be shown.
    void documentChanging();
    // A context menu was asked for at `pos` of the book view. Without a
    // receiver the pane shows fillContextMenu's items itself.
    void contextMenuRequested(const QPoint &pos);
    // A double click selected `word` (not over a picture) at `globalPos`.
    void wordDoubleClicked(const QString &word, const QPoint &globalPos);
    // currentPlace() changed.
    void placeChanged(const ReadingPlace &place);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void restoreSplit();
    void showSplash();
    std::optional<int> spineIndex(const QUrl &url) const;
    // Every main-frame navigation of the book view, before it happens.
    void navigationStarted(const QUrl &url);
    // Every change of the shown URL; catches in-page "#" jumps, which are
    // no navigation of the page.
    void urlShown(const QUrl &url);
    void pageNavigated(const QUrl &url);
    // The outline row of the shown document, a moment after it changed.
    void webchangelate(const QUrl &url);
    void didFinishLoad(bool ok);
    // Whether the page of load number `load` has its scripts, asking up to
    // `attempts` times.
    void checkPageScripts(quint64 load, int attempts);
    void closeImageShow();
    // A step of the paging keys past the spine item shown: item `item`,
    // shown at its end when `atEnd`.
    void pagedToItem(int item, bool atEnd);
    // The spine item `item` is shown and, once loaded, scrolled to its end
    // (the previous item's end, reached by paging back).
    void showItemAtEnd(int item);
    // The end asked for by showItemAtEnd, applied when its document loaded.
    void landAtEndIfAsked();
    // Lays the shown writing mode over this and every later page.
    void applyWritingMode();
    void fillOutline(QTreeWidgetItem *parent, const QVariantList &entries, int depth);
    // The pending place's script in the page's script collection, or none.
    void putPendingScript(const std::optional<ReadingPlace> &place);
    // Asks the page where the reader is, a moment after it may have moved.
    void askPlaceSoon();
    void askPlace();

    std::unique_ptr<EPUBManager> m_book;
    NavigationHistory &m_history;
    ConfigDictionary &m_config;
    QSplitter *m_split;
    QTreeWidget *m_outline;
    QWebEngineView *m_web;
    QWidget *m_splash = nullptr;
    QPointer<ImageViewer> m_imageViewer;
    quint64 m_loadsStarted = 0; // page loads begun in the book view
    bool m_selectingOutline = false;
    bool m_dblClicked = false;
    // The double click's word: the engine reports the selection it made a
    // moment later than the click, so the word is taken when it comes.
    bool m_wordPending = false;
    QPoint m_wordAt;
    void offerSelectedWord();
    bool m_outlineRelayout = false;
    bool m_splitLaidOut = false; // the splitter has had its width on screen
    bool m_closing = false; // the pane is being destroyed
    // The print under way: its callback and the watchdog that ends it when
    // the engine never answers.
    std::function<void(bool)> m_printDone;
    QTimer *m_printWatchdog = nullptr;
    void finishPrint(bool ok);
    ReadingTheme::Kind m_theme = ReadingTheme::Day;
    Typography m_typography;
    // Puts the theme's and the typography's sheet into this and every later
    // page.
    void applyPageStyle();
    QUrl m_expectedUrl; // the navigation under way
    QUrl m_shownDocument; // the document shown, without fragment
    QString m_currentManifestID;
    EpubPaging *m_paging = nullptr; // a child of the pane
    int m_endOf = -1; // the spine item to show at its end once loaded
    WritingMode::Layout m_writing; // what the book asks for
    QString m_writingKey; // where the reader's choice is kept
    bool m_vertical = false; // shown vertical
    std::optional<ReadingPlace> m_pendingPlace;
    ReadingPlace m_place;
    std::optional<int> m_loadedSpine; // the spine item loaded and shown, none while loading
    QTimer *m_placeTimer = nullptr;
};
