// The article screen laid over the top screen: a list on the left (a
// quarter of the width) and a web view on the right. News rows show their
// text; information rows load their page (with back, forward and reload in
// the top screen's second toolbar), report their "trackingName", and the
// first row marked "wic" shows the provider's article list instead. Entry
// links open the entry sheet; "export=download" links go to the download
// sheet and close this screen.
//
// Owned by the top screen. Main thread only.
#pragma once

#include <QPointer>
#include <QVariantList>
#include <QVariantMap>
#include <QWidget>

class EntryController;
class Navigation;
class QAction;
class QListWidget;
class QSplitter;
class QStackedWidget;
class QWebEngineView;
class TopShowSubVC;

class TopShowInfoVC : public QWidget
{
    Q_OBJECT
public:
    TopShowInfoVC(Navigation &app, QWidget *parent);

    // {"type": "news" or "contents", "contents": the rows, "row": the row to
    // open}.
    void appear(const QVariantMap &description);
    // Shows or hides back/forward and reload, which then act on this
    // screen's web view, or on `web` (a page the top screen laid over
    // itself) when given.
    void setToolbarBtn(bool show, QWebEngineView *web = nullptr);
    // Takes the article list and this screen off the window.
    void dismissInfoView();
    void tapReload();
    // Segment 0 goes back, any other forward.
    void tapWebControll(int segment);
    // Opens the entry sheet for an entry link's query.
    void callEntryVC(const QVariantMap &query);
    // Opens a row of the list.
    void selectRow(int row);

    // Back, forward and reload, for the top screen's second toolbar.
    QList<QAction *> toolbarActions() const;

    QListWidget *mainTable() const { return m_mainTable; }
    // The article view, made on first use: the top screen starts no web
    // engine until an article is shown.
    QWebEngineView *mainWeb();
    TopShowSubVC *showSubVC() const { return m_showSubVC; }
    // The open entry sheet, or null.
    EntryController *entryController() const;
    bool isNews() const { return m_isNews; }
    bool showsArticleList() const;

signals:
    // A download link was followed: the top screen closes the article.
    void closeRequested();

private:
    bool decideNavigation(const QUrl &url);
    void buildNewTable();
    QWebEngineView *controlledWeb();

    Navigation &m_app;
    QVariantList m_contentsArray;
    bool m_isNews = false;
    QSplitter *m_split;
    QListWidget *m_mainTable;
    QStackedWidget *m_stack;
    QWebEngineView *m_mainWeb = nullptr;
    TopShowSubVC *m_showSubVC;
    QAction *m_backAction;
    QAction *m_forwardAction;
    QAction *m_reloadAction;
    QPointer<EntryController> m_entryController;
    QPointer<QWebEngineView> m_externalWeb;
};
