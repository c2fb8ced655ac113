#include "TopVC.h"

#include "core/account/AccountSession.h"
#include "core/app/Analytics.h"
#include "core/library/DataBaseHelper.h"
#include "core/platform/UserDefaults.h"
#include "core/store/StoreManager.h"
#include "core/store/VamoManager.h"
#include "core/sync/QMShareHelper.h"
#include "core/util/ContextGuard.h"
#include "core/util/StringHelpers.h"
#include "ui/app/MainWindow.h"
#include "ui/app/Navigation.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

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

} // namespace

TopVC::TopVC(Navigation &app)
    : ScreenVC(app)
    , m_logic(app.servers(), app.storeManager(), &app.shareHelper())
{
    setObjectName(QStringLiteral("TopVC"));
    m_toolbar = new QToolBar(QStringLiteral("TOP"), this);
    m_toolbar->setObjectName(QStringLiteral("topToolbar"));
    m_toolbar->addAction(
        QStringLiteral("ストア"), this, [this] { openStore([this] { m_app.changeToStore(); }); });
    m_toolbar->addAction(
        QStringLiteral("取得済み"), this, [this] { openStore([this] { m_app.changeToAcquired(); }); });
    m_toolbar->addAction(
        QStringLiteral("マイメニュー"), this, [this] { openStore([this] { m_app.changeToMyMenu(); }); });
    m_toolbar->addAction(QStringLiteral("本棚"), this, [this] { m_app.changeToShelf(); });

    m_news = new QListWidget(this);
    m_news->setObjectName(QStringLiteral("newsTable"));
    m_history = new QListWidget(this);
    m_history->setObjectName(QStringLiteral("historyTable"));
    m_contents = new QListWidget(this);
    m_contents->setObjectName(QStringLiteral("contentsTable"));
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(titled(QStringLiteral("Tavroからのお知らせ"), m_news, this), 1);
    layout->addWidget(titled(QStringLiteral("閲覧履歴"), m_history, this), 1);
    layout->addWidget(titled(QStringLiteral("医療関連情報"), m_contents, this), 1);

    connect(m_history, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
        const int row = m_history->row(item);
        if (row < 0 || row >= m_recent.size())
            return;
        Analytics::shared().sendGoogleAnalyticsWithScreenName(QStringLiteral("閲覧履歴"));
        m_app.changeToReader(m_logic.readerInfoForRecentBook(m_recent.at(row).fileName.value_or(QString())));
    });
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
    m_app.window()->installToolbar(m_toolbar);
    m_app.window()->setWindowTitle(QStringLiteral("%1 - TOP").arg(QCoreApplication::applicationName()));
    Analytics::shared().sendGoogleAnalyticsWithScreenName(QStringLiteral("TOP"));
    reloadHistory();
    if (m_app.vamoManager().isLogined()) {
        m_logic.processTheData();
        reloadContents();
    }
}

void TopVC::reloadHistory()
{
    m_recent = TopLogic::recentItems();
    m_history->clear();
    for (const BookMetaData &b : m_recent)
        m_history->addItem(
            QStringLiteral("%1\r\n%2")
                .arg(decodeURI(b.title.value_or(QString())).value_or(b.title.value_or(QString())),
                    b.publisher.value_or(QString())));
}

void TopVC::reloadNews()
{
    m_news->clear();
    for (const QVariant &v : m_logic.newsLists)
        m_news->addItem(stringByStrippingHTML(v.toMap().value(QStringLiteral("info_detail")).toString()));
}

void TopVC::reloadContents()
{
    m_contents->clear();
    for (const QVariant &v : m_logic.contentsArray)
        m_contents->addItem(v.toMap().value(QStringLiteral("title")).toString());
}

void TopVC::openStore(std::function<void()> open)
{
    m_app.account().forgetTokenIfLifted();
    auto fetchStoreToken
        = [this, open] { m_app.account().fetchStoreToken(guardedBy(this, [open] { open(); })); };
    if (!m_app.vamoManager().token()) {
        m_app.account().takeToken(guardedBy(this, [fetchStoreToken](bool) { fetchStoreToken(); }));
        return;
    }
    fetchStoreToken();
}
