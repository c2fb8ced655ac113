// Screen-by-screen paging of the book view: Space / Shift+Space, Page Down /
// Page Up and Down / Up, pressed while the book view has the focus, scroll
// the spine item shown by one screen less a line and go on into the next or
// previous item at its end or start (PageTurn decides). The page is
// measured and scrolled along its reading axis: down the page for
// horizontal lines, leftwards for vertical lines written right to left. The
// mouse wheel is left to the view.
//
// The keys are taken at the view's render widget (which the engine makes
// and may make anew) before the engine sees them, so the engine's own
// scrolling by those keys never runs as well.
//
// Main thread only. Owned by its parent (the pane); the view must outlive
// it. A page answer that comes after the object is gone is dropped.
#pragma once

#include <QObject>
#include <QPointer>
#include <optional>

class QKeyEvent;
class QWebEngineView;

class EpubPaging : public QObject
{
    Q_OBJECT
public:
    // `view` shows the book; the paging keys are taken from it.
    EpubPaging(QWebEngineView *view, QObject *parent);

    // The spine item shown and the book's item count, for deciding where a
    // step leads.
    void setItem(int item, int itemCount);

    // One screen forward or back (possibly into the next or previous item,
    // through itemWanted). Ignored while the previous step's answer from the
    // page is awaited, or while a new document loads.
    void step(bool forward);

    // Scrolls the document shown to its end (along its reading axis).
    void scrollToEnd();

    // The paging key `event` stands for: forward (true), back (false), or
    // none for any other key.
    static std::optional<bool> directionOf(const QKeyEvent &event);

signals:
    // Spine item `item` should be shown, at its end when `atEnd`, else at
    // its start.
    void itemWanted(int item, bool atEnd);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watchInput();

    QPointer<QWebEngineView> m_view;
    // The view compared by address only: its events still come while it is
    // being destroyed, when it is no longer a QWebEngineView.
    const QObject *m_viewObject = nullptr;
    QPointer<QObject> m_input; // the render widget watched for keys
    int m_item = 0;
    int m_itemCount = 0;
    bool m_busy = false; // a step awaits the page's answer
    quint64 m_loads = 0; // documents begun in the view
};
