// The shelf: the books of the shown shelf in a list, with the shelf chooser,
// the sort orders, the search field, the book menu ("削除", "書籍を移動する"),
// the shelf menu ("名前を変更", "削除"), new shelves and importing a PDF.
// The rules live in ShelfModel; this screen only draws them.
//
// Main thread only.
#pragma once

#include "CoverCache.h"
#include "LibrarySearchWindow.h"
#include "ShelfBookListModel.h"
#include "ShelfBookView.h"
#include "ShelfTableView.h"
#include "core/reader/BookInfo.h"
#include "core/shelf/ShelfModel.h"
#include "ui/app/EmptyStateOverlay.h"
#include "ui/app/ScreenVC.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QStyledItemDelegate>
#include <QTimer>
#include <atomic>
#include <memory>
#include <optional>

class ShelfVC : public ScreenVC
{
    Q_OBJECT
public:
    explicit ShelfVC(Navigation &app);
    ~ShelfVC() override;
    void appear() override;
    QToolBar *toolbar() override { return m_toolbar; }
    // The books of the shown shelf, over listModel(); one click or Enter
    // opens a book (a double click opens it once).
    ShelfBookView *list() const { return m_list; }
    // The message the books' list shows while it has no book.
    EmptyStateOverlay *emptyState() const { return m_empty; }
    ShelfBookListModel *listModel() const { return m_books; }
    // The shelf table beside the books: one row a shelf.
    ShelfTableView *shelfTable() const { return m_shelfTable; }
    QComboBox *sortBox() const { return m_sortBox; }
    QLineEdit *searchField() const { return m_search; }

    // The book info the reader opens a book of the contents folder with (no
    // annotation download), from `library`.
    static BookInfo bookInfo(const Library &library, const QString &fileName);

    // Covers on shelf boards (the default) or a list of titles.
    bool gridMode() const { return m_grid; }
    void setGridMode(bool grid);

    // The shown shelf, from 1 in the order of the shelf list.
    int pageID() const { return m_pageID; }
    void showShelf(int pageID);
    // Redraws the shown shelf's books.
    void reload();

    // What the controls do, callable without them.
    // Searching shows the title matches at once and adds the books whose
    // table of contents mentions the text when a background scan of the
    // shelf's files is done (searching() until then). A newer search or
    // clearing the field cancels the scan.
    void searchBook(const QString &text);
    bool searching() const;
    void chooseSort(const QString &label);
    void deleteBook(const QString &fileName);
    // Asks before deleting the book (its file, reading state and
    // annotations); the book menu's "削除" and the Delete key come here.
    void askDeleteBook(const QString &fileName);
    void moveBook(const QString &fileName, int shelfIndex);
    bool newShelf(const QString &name);
    bool renameShelf(int row, const QString &name);
    // Deletes the shelf at `row`; a shelf holding books is deleted, with
    // them, only after the user confirms.
    void deleteShelf(int row);
    // Drops shelf row `from` on row `to`: the two shelves swap places (the
    // first row neither moves nor is dropped on). Whether they swapped.
    bool dropShelf(int from, int to);
    // A horizontal swipe over the books that ended `offset` pixels towards
    // the next shelf (negative: the previous one): at most one shelf on.
    void swipeEnded(double offset);
    void importPdf(const QString &path);
    // Installs the dictionary file (CSV, dictd ".index", StarDict ".ifo")
    // through the download sheet: "辞書解析中" with its cancel, then the
    // shelf; the 辞書 menu's "辞書ファイルを追加…" asks for the file.
    void addDictionaryFile(const QString &path);
    // The full-text index of every installed book (kept up to date in the
    // background) and its search window; choosing a hit opens the book at
    // the hit's page with the term marked (BookInfo::searchTerm).
    LibrarySearchIndexer *textIndex() const { return m_textIndex; }
    LibrarySearchWindow *openLibrarySearch();
    void openSearchHit(const LibrarySearchIndex::Hit &hit, const QString &term);
    // Whether the dictionary takes part in look-ups; false when there is no
    // such dictionary or it could not be saved.
    bool setDictionaryUsed(qint64 dicId, bool used);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // The shelf's rules over the application's library.
    ShelfModel shelfModel() const { return ShelfModel(m_app.library()); }
    void setShelf();
    void fillShelfBox();
    void showBookMenu(const QPoint &pos);
    void askNewShelf();
    void askRenameShelf();
    void askImportPdf();
    void askAddDictionary();
    qint64 shownLabelID() const;
    // Makes a few missing covers, visible ones first, and comes back for the
    // rest on the next turn of the event loop.
    void loadSomeCovers();
    void openBook(int row);
    // What the empty list says, for the shown shelf and search.
    void updateEmptyState();

    QToolBar *m_toolbar;
    ShelfTableView *m_shelfTable;
    QComboBox *m_sortBox;
    QLineEdit *m_search;
    ShelfBookListModel *m_books;
    ShelfBookView *m_list;
    EmptyStateOverlay *m_empty;
    QString m_searchText; // the text of the search m_searchBookList came from
    QStyledItemDelegate *m_gridCells;
    QStyledItemDelegate *m_listRows;
    QAction *m_gridAction = nullptr;
    QAction *m_listAction = nullptr;
    int m_pageID = 1;
    std::optional<QStringList> m_searchBookList;
    bool m_grid = true;
    CoverCache m_covers;
    QTimer m_coverTimer;
    int m_coverScan = 0; // the next item the background pass looks at
    QLabel *m_searchBusy;
    QAction *m_searchBusyAction;
    // The number of the latest search; a background scan stops as soon as
    // it is no longer its own (shared with the scan, which may outlive this
    // screen).
    std::shared_ptr<std::atomic<int>> m_searchToken = std::make_shared<std::atomic<int>>(0);
    double m_swipe = 0; // the horizontal distance of the swipe under way
    QTimer m_swipeEnd; // a swipe without end phase ends when it pauses
    LibrarySearchIndexer *m_textIndex = nullptr;
    QPointer<LibrarySearchWindow> m_textSearch;
};
