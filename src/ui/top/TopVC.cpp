#include "TopVC.h"

#include "TopShowInfoVC.h"
#include "core/account/AccountSession.h"
#include "core/app/Analytics.h"
#include "core/app/EmptyStates.h"
#include "core/library/Library.h"
#include "core/platform/ServerConfig.h"
#include "core/shelf/ShelfModel.h"
#include "core/store/ApiRequest.h"
#include "core/store/StoreManager.h"
#include "core/store/VamoManager.h"
#include "core/util/ContextGuard.h"
#include "core/util/Logging.h"
#include "core/util/StringHelpers.h"
#include "ui/app/MainWindow.h"
#include "ui/app/Navigation.h"
#include "ui/store/ApiRequestPage.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPropertyAnimation>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace
{

QWidget *titled(const QString &title, QListWidget *list, QWidget *parent)
{
    auto *box = new QWidget(parent);
    auto *layout = new QVBoxLayout(box);
    layout->addWidget(new QLabel(QStringLiteral("<b>%1</b>").arg(title), box));
    layout->addWidget(list);
    return box;
}

// Help and coffee-break pages: a "gotostore" link opens the store.
class OverlayPage : public QWebEnginePage
{
public:
    OverlayPage(std::function<bool(const QUrl &)> decide, QObject *parent)
        : QWebEnginePage(parent)
        , m_decide(std::move(decide))
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override
    {
        if (m_decide && !m_decide(url))
            return false;
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }

private:
    std::function<bool(const QUrl &)> m_decide;
};

QAction *addNamed(
    QToolBar *bar, const QString &text, const char *name, QObject *receiver, std::function<void()> slot)
{
    QAction *a = bar->addAction(text, receiver, std::move(slot));
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

} // namespace

TopVC::TopVC(Navigation &app)
    : ScreenVC(app)
    , m_logic(app.library(), app.servers(), app.storeManager(), &app.shareHelper())
    , m_covers(60)
{
    setObjectName(QStringLiteral("TopVC"));
    m_toolbar = new QToolBar(QStringLiteral("TOP"), this);
    m_toolbar->setObjectName(QStringLiteral("topToolbar"));
    addNamed(m_toolbar, QStringLiteral("ストア"), "tapStoreBtn", this, [this] { tapStore(); });
    addNamed(m_toolbar, QStringLiteral("取得済み"), "netStoreBtn", this, [this] { tapNetStore(); });
    addNamed(m_toolbar, QStringLiteral("マイメニュー"), "mymenuBtn", this, [this] { tapMyMenu(); });
    addNamed(m_toolbar, QStringLiteral("本棚"), "shelfBtn", this, [this] { tapShelf(); });
    addNamed(m_toolbar, QStringLiteral("購入履歴"), "historyBtn", this, [this] { tapHistory(); });
    addNamed(m_toolbar, QStringLiteral("ヘルプ"), "helpBtn", this, [this] { tapHelp(); });
    addNamed(m_toolbar, QStringLiteral("コーヒーブレイク"), "coffeeBreakBtn", this, [this] { tapCoffee(); });

    m_toolbar2 = new QToolBar(QStringLiteral("Tavro TOP"), this);
    m_toolbar2->setObjectName(QStringLiteral("topToolbar2"));
    addNamed(m_toolbar2, QStringLiteral("Tavro TOP"), "tapHome", this, [this] { tapHome(); });
    m_toolbar2->hide(); // shown by the window while installed

    m_news = new QListWidget(this);
    m_news->setObjectName(QStringLiteral("newsTable"));
    m_history = new QListWidget(this);
    m_history->setObjectName(QStringLiteral("historyTable"));
    m_history->setIconSize(QSize(44, 56));
    m_historyEmpty = new EmptyStateOverlay(m_history);
    m_historyEmpty->setMessage(EmptyStates::readingHistory());
    m_newsEmpty = new EmptyStateOverlay(m_news); // says something once the news came or failed
    m_contents = new QListWidget(this);
    m_contents->setObjectName(QStringLiteral("contentsTable"));
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(titled(QStringLiteral("Tavroからのお知らせ"), m_news, this), 1);
    layout->addWidget(titled(QStringLiteral("閲覧履歴"), m_history, this), 1);
    layout->addWidget(titled(QStringLiteral("医療関連情報"), m_contents, this), 1);

    m_showInfoVC = new TopShowInfoVC(app, this);
    for (QAction *a : m_showInfoVC->toolbarActions())
        m_toolbar2->addAction(a);
    connect(m_showInfoVC, &TopShowInfoVC::closeRequested, this, &TopVC::tapHome);

    // A click or Enter opens a row.
    auto rows = [this](QListWidget *list, void (TopVC::*open)(int)) {
        connect(list, &QListWidget::itemClicked, this,
            [this, list, open](QListWidgetItem *item) { (this->*open)(list->row(item)); });
        connect(list, &QListWidget::itemActivated, this,
            [this, list, open](QListWidgetItem *item) { (this->*open)(list->row(item)); });
    };
    rows(m_news, &TopVC::selectNews);
    rows(m_contents, &TopVC::selectContents);
    rows(m_history, &TopVC::selectRecent);
    m_logic.newsReloaded = [this] { reloadNews(); };

    appear();
    // The information file and the news: after the window is up.
    QTimer::singleShot(0, this, [this] {
        m_logic.loadJsonFile([this] {
            m_logic.processTheData();
            reloadContents();
            m_logic.reconnectForToken();
        });
    });
}

void TopVC::appear()
{
    m_app.window()->installToolbar(toolbar());
    m_app.window()->setWindowTitle(QStringLiteral("%1 - TOP").arg(QCoreApplication::applicationName()));
    m_app.analytics().sendGoogleAnalyticsWithScreenName(QStringLiteral("TOP"));
    reloadHistory();
    if (m_app.vamoManager().isLogined()) {
        m_logic.processTheData();
        reloadContents();
    }
}

QWebEngineView *TopVC::overlayWeb() const
{
    return m_overlay;
}

void TopVC::disappear()
{
    isStoreFirst = false;
}

void TopVC::reloadHistory()
{
    m_recent = TopLogic::recentItems(m_app.library().books());
    m_history->clear();
    for (const BookMetaData &b : std::as_const(m_recent)) {
        const QString fileName = b.fileName.value_or(QString());
        const QString text = TopLogic::recentBookText(b);
        auto *item = new QListWidgetItem(
            m_covers.cover(ShelfModel::entryFor(fileName), text.section(u'\r', 0, 0)), text, m_history);
        item->setToolTip(text);
    }
}

void TopVC::reloadNews()
{
    m_news->clear();
    for (const QVariant &v : std::as_const(m_logic.newsLists))
        m_news->addItem(stringByStrippingHTML(v.toMap().value(QStringLiteral("info_detail")).toString()));
    m_newsEmpty->setMessage(EmptyStates::news(m_logic.newsUnreachable));
}

void TopVC::reloadContents()
{
    m_contents->clear();
    for (const QVariant &v : std::as_const(m_logic.contentsArray))
        m_contents->addItem(v.toMap().value(QStringLiteral("title")).toString());
}

void TopVC::selectNews(int row)
{
    // Covered already: the second half of a double click.
    if (m_covered || row < 0 || row >= m_logic.newsLists.size())
        return;
    m_app.analytics().sendGoogleAnalyticsWithScreenName(QStringLiteral("Tavroからのお知らせ"));
    changeView({ { QStringLiteral("type"), QStringLiteral("news") },
        { QStringLiteral("contents"), m_logic.newsLists }, { QStringLiteral("row"), row } });
    m_news->clearSelection();
}

void TopVC::selectContents(int row)
{
    // Covered already: the second half of a double click.
    if (m_covered || row < 0 || row >= m_logic.contentsArray.size())
        return;
    changeView({ { QStringLiteral("type"), QStringLiteral("contents") },
        { QStringLiteral("contents"), m_logic.contentsArray }, { QStringLiteral("row"), row } });
    m_contents->clearSelection();
}

void TopVC::selectRecent(int row)
{
    if (row < 0 || row >= m_recent.size())
        return;
    m_app.analytics().sendGoogleAnalyticsWithScreenName(QStringLiteral("閲覧履歴"));
    m_app.changeToReader(m_logic.readerInfoForRecentBook(m_recent.at(row).fileName.value_or(QString())));
}

void TopVC::resizeEvent(QResizeEvent *event)
{
    ScreenVC::resizeEvent(event);
    if (m_showInfoVC->isVisible())
        m_showInfoVC->setGeometry(rect());
    if (m_overlay)
        m_overlay->setGeometry(rect());
}

void TopVC::cover(QWidget *view, int durationMs)
{
    m_covered = true;
    m_app.window()->installToolbar(m_toolbar2);
    view->setGeometry(rect().translated(width(), 0));
    view->show();
    view->raise();
    if (m_animation)
        m_animation->stop();
    // Moves in from the right.
    m_animation = new QPropertyAnimation(view, "pos", view);
    m_animation->setDuration(durationMs);
    m_animation->setStartValue(QPoint(width(), 0));
    m_animation->setEndValue(QPoint(0, 0));
    m_animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void TopVC::changeView(const QVariantMap &description)
{
    if (m_overlay)
        m_overlay->deleteLater();
    m_showInfoVC->setGeometry(rect());
    m_showInfoVC->show();
    m_showInfoVC->appear(description);
    cover(m_showInfoVC, 300);
}

QWebEngineView *TopVC::openOverlay(bool policyDelegate)
{
    if (m_overlay)
        m_overlay->deleteLater();
    m_showInfoVC->dismissInfoView();
    auto *web = new QWebEngineView(this);
    web->setObjectName(QStringLiteral("overlayWeb"));
    web->setAttribute(Qt::WA_DeleteOnClose);
    std::function<bool(const QUrl &)> decide;
    if (policyDelegate)
        decide = [this](const QUrl &url) {
            const auto request = TopLogic::gotostoreRequest(url);
            if (!request)
                return true;
            // After this navigation has been refused.
            QTimer::singleShot(0, this, [this, r = *request] { changeToStore(r); });
            return false;
        };
    web->setPage(new OverlayPage(std::move(decide), web));
    web->page()->settings()->setFontSize(QWebEngineSettings::DefaultFontSize, 16);
    m_overlay = web;
    m_showInfoVC->setToolbarBtn(true, web);
    cover(web, 500);
    return web;
}

void TopVC::tapHistory()
{
    m_app.account().fetchStoreToken(guardedBy(this, [this] {
        StoreManager &s = m_app.storeManager();
        const auto request = s.requestForDLHis(m_app.vamoManager().token().value_or(QString()),
            s.token().value_or(QString()), m_app.library().account().currentUserId());
        QWebEngineView *web = openOverlay(false);
        if (request)
            web->load(webPostRequest(*request));
    }));
}

void TopVC::tapHelp()
{
    qCInfo(lcTop) << "ヘルプ";
    m_app.analytics().sendGoogleAnalyticsWithScreenName(QStringLiteral("Help"));
    openOverlay(true)->setUrl(
        m_app.servers().url(ServerConfig::Endpoint::StoreWeb, QStringLiteral("/store/uguide.php")));
}

void TopVC::tapCoffee()
{
    m_app.analytics().sendGoogleAnalyticsWithScreenName(QStringLiteral("CoffeeBreak"));
    openOverlay(true)->setUrl(m_app.servers().coffeeBreakUrl());
}

void TopVC::tapHome()
{
    m_covered = false;
    m_app.window()->installToolbar(m_toolbar);
    if (m_animation)
        m_animation->stop();
    // The covering view slides out to the right, revealing the screen.
    QWidget *covering = m_overlay ? static_cast<QWidget *>(m_overlay.data())
                                  : (m_showInfoVC->isVisible() ? m_showInfoVC : nullptr);
    if (m_overlay) {
        m_overlay->page()->triggerAction(QWebEnginePage::Stop);
        m_overlay = nullptr;
    }
    if (!covering)
        return;
    auto *out = new QPropertyAnimation(covering, "pos", covering);
    out->setDuration(300);
    out->setStartValue(covering->pos());
    out->setEndValue(QPoint(width(), 0));
    QPointer<QWidget> guard(covering);
    connect(out, &QPropertyAnimation::finished, this, [this, guard] {
        if (!guard)
            return;
        if (guard != m_showInfoVC)
            guard->deleteLater();
        else if (!m_covered) // not opened again meanwhile
            m_showInfoVC->dismissInfoView();
    });
    // A new cover stops it (without "finished").
    m_animation = out;
    out->start(QAbstractAnimation::DeleteWhenStopped);
    if (covering != m_showInfoVC)
        m_showInfoVC->dismissInfoView();
}

void TopVC::changeToStore(const TopLogic::StoreRequest &request)
{
    m_storeContentReq = request;
    tapHome();
    tapStore();
}

void TopVC::tapStore()
{
    enterStore(StoreButton::Store);
}

void TopVC::tapNetStore()
{
    qCInfo(lcTop) << "取得済み〜";
    enterStore(StoreButton::NetStore);
}

void TopVC::tapMyMenu()
{
    qCInfo(lcTop) << "マイメニュー";
    enterStore(StoreButton::MyMenu);
}

void TopVC::tapShelf()
{
    m_app.changeToShelf();
}

void TopVC::enterStore(StoreButton button)
{
    m_app.account().forgetTokenIfLifted();
    if (!m_app.vamoManager().token()) {
        isStoreFirst = true;
        m_app.account().takeToken(guardedBy(this, [this, button](bool) {
            // Left meanwhile: the user went elsewhere, the store stays shut.
            if (!std::exchange(isStoreFirst, false))
                return;
            m_app.account().fetchStoreToken(guardedBy(this, [this, button] { openStorePage(button); }));
        }));
        return;
    }
    m_app.account().fetchStoreToken(guardedBy(this, [this, button] { openStorePage(button); }));
}

void TopVC::openStorePage(StoreButton button)
{
    switch (button) {
    case StoreButton::Store:
        if (m_storeContentReq) {
            qCInfo(lcTop) << "coffeebreak -> download";
            const TopLogic::StoreRequest r = *std::exchange(m_storeContentReq, std::nullopt);
            m_app.changeToStoreDownloadPage(r.request, r.body);
        } else {
            qCInfo(lcTop) << "top";
            m_app.changeToStore();
        }
        break;
    case StoreButton::NetStore:
        m_app.changeToAcquired();
        break;
    case StoreButton::MyMenu:
        m_app.changeToMyMenu();
        break;
    }
}
