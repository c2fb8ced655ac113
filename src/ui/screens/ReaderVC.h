// The reader: an EPUB in the book web view (one spine item at a time) or a
// PDF in the PDF view; the reading state is saved when it is left. (The full
// reader's annotations and search build on this screen.) EPUB pages come
// with an outline of the table of contents, page buttons and the font size.
#pragma once

#include "ScreenVC.h"

#include <QVariantMap>
#include <functional>
#include <memory>

class EPUBManager;
class StayTimeCounter;
class QAction;
class QLabel;
class QMenu;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;
class QPdfDocument;
class QPrinter;
class QWebEngineView;

class ReaderVC : public ScreenVC
{
    Q_OBJECT
public:
    explicit ReaderVC(AppDelegate &app);
    ~ReaderVC() override;

    QVariantMap info;
    QVariantMap befoInfo;
    QString befoManifestID;

    void appear() override;
    QToolBar *toolbar() override { return m_toolbar; }
    int page() const { return m_page; }
    void goToPage(int page);
    QWebEngineView *web() const { return m_web; }
    QTreeWidget *outline() const { return m_outline; }
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
    // Back to the book a link came from (after asking).
    void goBackToPreviousBook();
    bool openedFromLink() const { return m_fromLink; }

    // Prints what is shown on `printer` (kept alive by the caller until
    // `done` runs): the whole document for an EPUB page, only the page on
    // screen for a PDF. `done` gets whether printing succeeded.
    void printTo(QPrinter *printer, std::function<void(bool)> done);
    QAction *printAction() const { return m_print; }

    // The book view's context menu: empty without a selection, else the
    // actions on the selected text.
    void fillContextMenu(QMenu *menu);

    // Follows the outline entry of `item`: its "content", else the manifest
    // href of its "id".
    void openOutlineItem(QTreeWidgetItem *item);

private:
    void saveStatus();
    void setFontSize(int size);
    void fillOutline(QTreeWidgetItem *parent, const QVariantList &entries, int depth);
    // Keeps the page number, page label and outline row in step with the
    // document the book view shows.
    void pageShown(const QUrl &url);
    void urlHandle(const QVariantMap &query);
    void tapPrint();
    // The access log of the opened book and the reading-time count.
    void startCounting();

    QToolBar *m_toolbar;
    QLabel *m_pageLabel;
    QWebEngineView *m_web = nullptr;
    QSplitter *m_split = nullptr;
    QTreeWidget *m_outline = nullptr;
    QAction *m_fontDown = nullptr;
    QAction *m_fontUp = nullptr;
    QAction *m_fontDefault = nullptr;
    std::unique_ptr<EPUBManager> m_epub;
    QPdfDocument *m_pdf = nullptr;
    int m_page = 0;
    bool m_loaded = false;
    bool m_selectingOutline = false;
    bool m_fromLink = false;
    QString m_currentManifestID;
    QAction *m_back = nullptr;
    QAction *m_print = nullptr;
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<StayTimeCounter> m_stay;
};
