// The reader's bookmark, highlight and memo commands: toolbar actions with
// shortcuts, the items of the book view's context menu, the memo pop-over,
// the annotation list, and the drawing of the page's highlights. What each
// command does to the library is decided by ReaderAnnotations (core); this
// class gathers what the page answers and evaluates the scripts it gives.
//
// Main thread only. Owned by the reader screen (`host`); every page-script
// answer is tied to this object and ignored once the page has changed.
#pragma once

#include "core/reader/ReaderAnnotations.h"

#include <QObject>
#include <QPointer>
#include <functional>

class MemoPopover;
class QAction;
class QMenu;
class QToolBar;
class QWebEnginePage;
class QWidget;
class ReaderBookMarkVC;

// What a context-menu command acts on (the menu item's "bhm", "sel" and
// "time").
struct AnnotationTarget {
    std::optional<BookHighlightMemo> bhm;
    QString sel = QStringLiteral("false");
    std::optional<QDateTime> time;
};

class ReaderAnnotationActions : public QObject
{
    Q_OBJECT
public:
    struct Hooks {
        // The page shown now (bookmarks and highlights are keyed by it).
        std::function<AnnotationPage()> page;
        // The book page of an EPUB; null for a PDF.
        std::function<QWebEnginePage *()> web;
        // A bookmark's manifestId: the spine item id (EPUB) or the page
        // index as text (PDF).
        std::function<std::optional<QString>()> bookmarkManifestId;
        // Shows page `pageIdx` (a row chosen in the list).
        std::function<void(int pageIdx)> showPage;
        std::function<QString()> bookTitle;
    };

    // The annotations are read and written in `annotations`, whose store
    // must outlive the actions.
    ReaderAnnotationActions(AnnotationRepository annotations, QWidget *host, Hooks hooks);
    ~ReaderAnnotationActions() override;

    QAction *bookmarkAction() const { return m_bookmark; }
    QAction *listAction() const { return m_list; }
    QAction *highlightAction() const { return m_highlight; }
    QAction *memoAction() const { return m_memo; }
    QAction *deleteHighlightAction() const { return m_delete; }
    // Adds the actions to the reader's toolbar (the highlight ones only for
    // an EPUB).
    void addTo(QToolBar *toolbar, bool epub);

    // Asks the page which highlight is at `viewPos` (or under the
    // selection), then calls `ready` with it ("false" for none).
    void highlightAt(const QPoint &viewPos, std::function<void(const AnnotationTarget &)> ready);
    // The annotation items of the context menu for `target`.
    void addContextItems(QMenu *menu, bool hasSelection, const AnnotationTarget &target);

    // highlight: from the current selection; `done` (optional) gets the new
    // or covering record, or none.
    void highlight(std::function<void(const std::optional<BookHighlightMemo> &)> done = {});
    void delhighlight();
    void memo(const AnnotationTarget &target);
    void delmemo(const AnnotationTarget &target);
    void highlightInfo(const AnnotationTarget &target);
    // Draws every highlight of the page (after re-anchoring those whose text
    // moved); emits highlightsDrawn.
    void setLocalHighlightToCurrentIdx();
    // The bookmark button's state for the page shown.
    void reloadBookMark();
    void reloadBmHl();
    void bmBtnClick(bool on);
    // Opens the annotation list below the toolbar.
    void tapBookMark();
    // The page changed: answers still under way belong to the old one.
    void pageChanged();

    MemoPopover *memoPopover() const { return m_popover; }
    ReaderBookMarkVC *bookMarkVC() const { return m_listView; }

signals:
    // The page's highlights were drawn (`count` of them).
    void highlightsDrawn(int count);
    // A command finished its page work: "highlight", "delhighlight",
    // "memoSaved", "memoDeleted", "delmemo".
    void commandDone(const QString &name);

private:
    void run(const QString &script, std::function<void(const QVariant &)> done = {});
    void openMemo(const BookHighlightMemo &record, const QString &sel);
    QPoint popupPoint() const;

    QWidget *m_host;
    ReaderAnnotations m_rules;
    Hooks m_hooks;
    QAction *m_bookmark;
    QAction *m_list;
    QAction *m_highlight;
    QAction *m_memo;
    QAction *m_delete;
    MemoPopover *m_popover;
    ReaderBookMarkVC *m_listView;
    quint64 m_generation = 0; // page changes so far
    QString m_scrollTo; // the highlight to show once its page is drawn
};
