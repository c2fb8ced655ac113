// The top screen: the publisher's news, the recently read books (with
// covers) and the information articles, with the toolbar to the store, the
// acquired list, my menu, the shelf, help and the coffee-break page. News
// and information rows open the article screen over it; help, the
// coffee-break page and the acquired list open in a web view over it. While
// something covers it, the second toolbar ("Tavro TOP") brings it back.
#pragma once

#include "core/top/TopLogic.h"
#include "ui/app/EmptyStateOverlay.h"
#include "ui/app/ScreenVC.h"
#include "ui/shelf/CoverCache.h"

#include <QListWidget>
#include <QPointer>
#include <optional>

class QPropertyAnimation;
class QWebEngineView;
class TopShowInfoVC;

class TopVC : public ScreenVC
{
    Q_OBJECT
public:
    explicit TopVC(Navigation &app);
    void appear() override;
    // Clears isStoreFirst: a sign-in started here no longer opens the store.
    void disappear() override;
    QToolBar *toolbar() override { return m_covered ? m_toolbar2 : m_toolbar; }

    QListWidget *newsTable() const { return m_news; }
    QListWidget *historyTable() const { return m_history; }
    // What the reading history and the news say while they are empty.
    EmptyStateOverlay *historyEmptyState() const { return m_historyEmpty; }
    EmptyStateOverlay *newsEmptyState() const { return m_newsEmpty; }
    QListWidget *contentsTable() const { return m_contents; }
    QToolBar *mainToolbar() const { return m_toolbar; }
    QToolBar *secondToolbar() const { return m_toolbar2; }
    TopShowInfoVC *showInfoVC() const { return m_showInfoVC; }
    // The web page laid over the screen (help, coffee break, acquired
    // list), or null.
    QWebEngineView *overlayWeb() const;
    TopLogic &logic() { return m_logic; }

    // A sign-in started by a store button is running.
    bool isStoreFirst = false;

    // The toolbar.
    void tapStore();
    void tapNetStore();
    void tapMyMenu();
    void tapShelf();
    void tapHistory();
    void tapHelp();
    void tapCoffee();
    // Back to the top screen from any article or page over it.
    void tapHome();
    // The rows.
    void selectNews(int row);
    void selectContents(int row);
    void selectRecent(int row);
    // Opens the article screen with {"type", "contents", "row"}.
    void changeView(const QVariantMap &description);
    // Opens the store top, then `request` in it.
    void changeToStore(const TopLogic::StoreRequest &request);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    enum class StoreButton { Store, NetStore, MyMenu };
    void enterStore(StoreButton button);
    void openStorePage(StoreButton button);
    void reloadHistory();
    void reloadNews();
    void reloadContents();
    void cover(QWidget *view, int durationMs);
    QWebEngineView *openOverlay(bool policyDelegate);

    TopLogic m_logic;
    CoverCache m_covers;
    QToolBar *m_toolbar;
    QToolBar *m_toolbar2;
    QListWidget *m_news;
    QListWidget *m_history;
    EmptyStateOverlay *m_historyEmpty; // over m_history while no book was read
    EmptyStateOverlay *m_newsEmpty; // over m_news: no news, or no server
    QListWidget *m_contents;
    TopShowInfoVC *m_showInfoVC;
    QPointer<QWebEngineView> m_overlay;
    QPointer<QPropertyAnimation> m_animation;
    QList<BookMetaData> m_recent;
    std::optional<TopLogic::StoreRequest> m_storeContentReq;
    bool m_covered = false;
};
