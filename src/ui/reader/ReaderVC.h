// The reader: a book in its pane (EpubPane for an EPUB, PdfPane for a PDF)
// under the reader's toolbar; the reading state is saved when it is left.
// The screen holds what both kinds share: the page label, turning pages,
// the go-back button and its history, links between books, printing, the
// reading-time count.
#pragma once

#include "core/reader/BookInfo.h"
#include "core/reader/NavigationHistory.h"
#include "core/reader/ReadingTheme.h"
#include "core/reader/Typography.h"
#include "ui/app/ScreenVC.h"

#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

class EpubPane;
class PdfPane;
class PdfReaderControls;
class QActionGroup;
class ReaderDisplayPopover;
class ReaderThemePalette;
class ReaderAnnotationActions;
class ReaderDictMenu;
class ReaderProgressBar;
class ReaderSearch;
class ReaderPane;
class StayTimeCounter;
class QAction;
class QLabel;
class QMenu;
class QPrinter;

class ReaderVC : public ScreenVC
{
    Q_OBJECT
public:
    // The reader on `book`; `from` is where a link between books was
    // followed from (going back returns there). The book is shown once the
    // screen first appears.
    ReaderVC(Navigation &app, BookInfo book, std::optional<LinkOrigin> from = std::nullopt);
    ~ReaderVC() override;

    const BookInfo &book() const { return m_book; }
    const std::optional<LinkOrigin> &linkOrigin() const { return m_from; }

    void appear() override;
    QToolBar *toolbar() override { return m_toolbar; }
    // The pane of the book shown, once the reader has appeared with a
    // readable book; null before.
    ReaderPane *pane() const { return m_pane; }
    // The same pane as its kind: one of these is set, the other null.
    EpubPane *epubPane() const;
    PdfPane *pdfPane() const;

    int page() const { return m_history.page(); }
    // The page before the last jump (where going back returns to).
    int lastPage() const { return m_history.lastPage(); }
    // Shows page `page` (clamped to the book), keeping the page shown now
    // as the one to go back to.
    void goToPage(int page);
    // Previous (segment 0) or next (1) page; past either end the end page
    // is shown again.
    void tapDir(int segment);
    QLabel *pageLabel() const { return m_pageLabel; }
    // The Left (`left`) or Right arrow key: the previous or next spine item,
    // swapped for a book whose pages run right to left; a screen forward
    // (Left) or back (Right) through a book shown in vertical lines.
    void arrowKey(bool left);
    // Switches a book that allows both between vertical and horizontal
    // lines (hidden for other books).
    QAction *verticalAction() const { return m_verticalAction; }

    // The book view's font size (EPUB; 16 for a PDF or before the book is
    // shown). For a PDF the three font-size buttons zoom out, back to 1.0
    // and in.
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
    // A PDF book's reading-direction button (hidden for an EPUB).
    QAction *directionAction() const { return m_direction; }
    bool openedFromLink() const { return m_history.returnsToOtherBook(); }

    // Prints what is shown on `printer` (kept alive by the caller until
    // `done` runs): the whole document for an EPUB page, only the page on
    // screen for a PDF. `done` gets whether printing succeeded.
    void printTo(QPrinter *printer, std::function<void(bool)> done);
    QAction *printAction() const { return m_print; }

    // The bookmark, highlight and memo commands of the book shown (null
    // before the reader has appeared with a readable book).
    ReaderAnnotationActions *annotations() const { return m_annotations; }
    // The status line of an EPUB book: chapter, share of the book, slider
    // (null for a PDF and before the book is shown).
    ReaderProgressBar *progressBar() const { return m_progressBar; }

    // The in-book search: the search button, Ctrl+F and its pop-over.
    ReaderSearch *search() const { return m_search; }
    // The dictionary look-up of the selection (context menu and shortcut).
    ReaderDictMenu *dictMenu() const { return m_dict; }
    // The context menu's items for the EPUB page's selection: copy, "辞書"
    // when the dictionaries have entries for it (opening the pop-over at
    // `globalPos`), then a separator. Nothing without a selection.
    void addSelectionItems(QMenu *menu, const QPoint &globalPos);
    // Looks the selected text of the book up and shows what was found, or
    // says that nothing was selected or found.
    void lookUpSelection();

    // Keeps `key` ("day", "sepia", "night"; empty: follow the desktop) as
    // the reading theme of every book and lays it over the open one.
    void chooseReadingTheme(const QString &key);
    // The theme over the open book.
    ReadingTheme::Kind readingTheme() const { return m_theme; }
    // The theme choices (follow the desktop, then each theme), checked as
    // chosen.
    QActionGroup *themeChoices() const { return m_themes; }

    // The 表示 button: the pop-over with the theme, the text size and the
    // typography, below the button.
    void tapDisplay();
    ReaderDisplayPopover *displayPopover() const { return m_display; }
    QAction *displayAction() const { return m_themeAction; }
    // Keeps `typography` for every book (UserDefaults "bookTypography") and
    // sets the open book's pages so.
    void chooseTypography(const Typography &typography);
    const Typography &typography() const { return m_typography; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyReadingTheme();

    void openPdf(int last);
    void openEpub(int last);
    // Puts the pane made for the book below the toolbar and lays the theme
    // over it.
    void placePane(ReaderPane *pane);
    void saveStatus();
    // The status line under an EPUB book, and the text lengths behind its
    // share: kept ones, else measured off the main thread and kept.
    void setUpProgress(EpubPane *epub);
    // The go-back button follows the history.
    void syncBack();
    // The font-size buttons follow the pane's size.
    void syncSizeButtons();
    void urlHandle(const QVariantMap &query);
    void tapPrint();
    // The access log of the opened book and the reading-time count.
    void startCounting();
    void startIncreasingStaytime();
    // The bookmark, highlight and memo commands of this book.
    void setUpAnnotations();
    // The book view's context menu at `pos`: the pane's items, then the
    // annotation items for the highlight there.
    void showContextMenu(const QPoint &pos);

    QToolBar *m_toolbar;
    QLabel *m_pageLabel;
    QAction *m_fontDown = nullptr;
    QAction *m_fontUp = nullptr;
    QAction *m_fontDefault = nullptr;
    QAction *m_back = nullptr;
    QAction *m_print = nullptr;
    QAction *m_direction = nullptr;
    QAction *m_themeAction = nullptr; // the 表示 pop-over
    QActionGroup *m_themes = nullptr; // follow the desktop, day, sepia, night
    ReaderDisplayPopover *m_display = nullptr; // a child of this screen
    ReaderThemePalette *m_themePalette = nullptr;
    bool m_applyingTheme = false;
    QAction *m_verticalAction = nullptr;
    ReadingTheme::Kind m_theme = ReadingTheme::Day;
    Typography m_typography;
    BookInfo m_book;
    std::optional<LinkOrigin> m_from; // the book a link was followed from
    ReaderPane *m_pane = nullptr; // the pane below, a child of this screen
    PdfReaderControls *m_pdfControls = nullptr; // label, kept state, page turns of a PDF
    NavigationHistory m_history; // the page shown and where going back leads
    bool m_loaded = false;
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<StayTimeCounter> m_stay;
    ReaderAnnotationActions *m_annotations = nullptr; // a child of this screen
    ReaderSearch *m_search = nullptr;
    ReaderDictMenu *m_dict = nullptr; // a child of this screen
    ReaderProgressBar *m_progressBar = nullptr; // a child of this screen
};
