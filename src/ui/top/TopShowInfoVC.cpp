#include "TopShowInfoVC.h"

#include "EntryController.h"
#include "TopShowSubVC.h"
#include "core/app/Analytics.h"
#include "core/library/Library.h"
#include "core/platform/UserDefaults.h"
#include "core/top/ArticleNavigation.h"
#include "core/util/Logging.h"
#include "core/util/StringHelpers.h"
#include "ui/app/MainWindow.h"
#include "ui/app/Navigation.h"

#include <QAction>
#include <QHBoxLayout>
#include <QListWidget>
#include <QSplitter>
#include <QStackedWidget>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace
{

// Asks the article screen about every navigation of its web view.
class ArticlePage : public QWebEnginePage
{
public:
    ArticlePage(std::function<bool(const QUrl &)> decide, QObject *parent)
        : QWebEnginePage(parent)
        , m_decide(std::move(decide))
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override
    {
        if (!m_decide(url))
            return false;
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }

private:
    std::function<bool(const QUrl &)> m_decide;
};

} // namespace

TopShowInfoVC::TopShowInfoVC(Navigation &app, QWidget *parent)
    : QWidget(parent)
    , m_app(app)
{
    setObjectName(QStringLiteral("TopShowInfoVC"));
    setAutoFillBackground(true);
    m_split = new QSplitter(Qt::Horizontal, this);
    m_mainTable = new QListWidget(m_split);
    m_mainTable->setObjectName(QStringLiteral("mainTable"));
    m_stack = new QStackedWidget(m_split);
    m_showSubVC = new TopShowSubVC(app.library().news(), app.servers(), m_stack);
    m_stack->addWidget(m_showSubVC);
    m_split->addWidget(m_mainTable);
    m_split->addWidget(m_stack);
    m_split->setChildrenCollapsible(false);
    m_split->handle(1)->setEnabled(false);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_split);

    m_backAction = new QAction(QStringLiteral("◀"), this);
    m_backAction->setObjectName(QStringLiteral("backAction"));
    m_backAction->setToolTip(QStringLiteral("戻る"));
    m_forwardAction = new QAction(QStringLiteral("▶"), this);
    m_forwardAction->setObjectName(QStringLiteral("forwardAction"));
    m_forwardAction->setToolTip(QStringLiteral("進む"));
    m_reloadAction = new QAction(QStringLiteral("再読込"), this);
    m_reloadAction->setObjectName(QStringLiteral("reloadBtn"));
    connect(m_backAction, &QAction::triggered, this, [this] { tapWebControll(0); });
    connect(m_forwardAction, &QAction::triggered, this, [this] { tapWebControll(1); });
    connect(m_reloadAction, &QAction::triggered, this, &TopShowInfoVC::tapReload);
    setToolbarBtn(false);

    connect(m_mainTable, &QListWidget::itemClicked, this,
        [this](QListWidgetItem *item) { selectRow(m_mainTable->row(item)); });
    connect(m_mainTable, &QListWidget::itemActivated, this,
        [this](QListWidgetItem *item) { selectRow(m_mainTable->row(item)); });
    hide();
}

QWebEngineView *TopShowInfoVC::mainWeb()
{
    if (!m_mainWeb) {
        m_mainWeb = new QWebEngineView(m_stack);
        m_mainWeb->setObjectName(QStringLiteral("mainWeb"));
        m_mainWeb->setPage(
            new ArticlePage([this](const QUrl &url) { return decideNavigation(url); }, m_mainWeb));
        m_mainWeb->page()->settings()->setFontSize(QWebEngineSettings::DefaultFontSize, 16);
        m_stack->insertWidget(0, m_mainWeb);
    }
    return m_mainWeb;
}

QList<QAction *> TopShowInfoVC::toolbarActions() const
{
    return { m_backAction, m_forwardAction, m_reloadAction };
}

EntryController *TopShowInfoVC::entryController() const
{
    return m_entryController;
}

bool TopShowInfoVC::showsArticleList() const
{
    return m_stack->currentWidget() == m_showSubVC;
}

void TopShowInfoVC::appear(const QVariantMap &description)
{
    const int width = std::max(m_split->width(), 100);
    m_split->setSizes({ width / 4, width - width / 4 });
    m_contentsArray = description.value(QStringLiteral("contents")).toList();
    m_isNews = description.value(QStringLiteral("type")).toString() == u"news";
    m_mainTable->clear();
    for (const QVariant &v : std::as_const(m_contentsArray)) {
        const QVariantMap row = v.toMap();
        m_mainTable->addItem(m_isNews
                ? stringByStrippingHTML(row.value(QStringLiteral("info_detail")).toString())
                : row.value(QStringLiteral("title")).toString());
    }
    m_stack->setCurrentWidget(mainWeb());
    selectRow(description.value(QStringLiteral("row")).toInt());
}

void TopShowInfoVC::selectRow(int row)
{
    if (row < 0 || row >= m_contentsArray.size())
        return;
    m_mainTable->setCurrentRow(row);
    setToolbarBtn(false);
    const QVariantMap item = m_contentsArray.at(row).toMap();
    if (m_isNews) {
        m_stack->setCurrentWidget(mainWeb());
        mainWeb()->setHtml(QStringLiteral("<html><body>%1</body></html>")
                               .arg(item.value(QStringLiteral("info_detail")).toString()));
        return;
    }
    const QString tracking = item.value(QStringLiteral("trackingName")).toString();
    if (!tracking.isEmpty())
        m_app.analytics().sendGoogleAnalyticsWithScreenName(tracking);
    const QString content = item.value(QStringLiteral("content")).toString();
    if (row == 0 && content == u"wic") {
        if (m_mainWeb)
            m_mainWeb->setUrl(QUrl(QStringLiteral("about:blank")));
        buildNewTable();
        return;
    }
    setToolbarBtn(true);
    m_stack->setCurrentWidget(mainWeb());
    mainWeb()->history()->clear();
    mainWeb()->setUrl(QUrl(content));
}

void TopShowInfoVC::buildNewTable()
{
    m_stack->setCurrentWidget(m_showSubVC);
    m_showSubVC->appear();
}

void TopShowInfoVC::setToolbarBtn(bool show, QWebEngineView *web)
{
    for (QAction *a : toolbarActions())
        a->setVisible(show);
    m_externalWeb = web;
}

QWebEngineView *TopShowInfoVC::controlledWeb()
{
    return m_externalWeb ? m_externalWeb.data() : mainWeb();
}

void TopShowInfoVC::tapReload()
{
    controlledWeb()->reload();
}

void TopShowInfoVC::tapWebControll(int segment)
{
    if (segment == 0)
        controlledWeb()->back();
    else
        controlledWeb()->forward();
}

void TopShowInfoVC::dismissInfoView()
{
    if (m_mainWeb) {
        m_stack->setCurrentWidget(m_mainWeb);
        m_mainWeb->setUrl(QUrl(QStringLiteral("about:blank")));
    }
    setToolbarBtn(false);
    hide();
}

bool TopShowInfoVC::decideNavigation(const QUrl &url)
{
    const ArticleNavigation n = ArticleNavigation::decide(url);
    switch (n.action) {
    case ArticleNavigation::Allow:
        return true;
    case ArticleNavigation::OpenEntry:
        callEntryVC(n.entryQuery);
        return false;
    case ArticleNavigation::Download:
        m_app.downloadFromExternal(QNetworkRequest(url));
        emit closeRequested();
        return false;
    }
    return true;
}

void TopShowInfoVC::callEntryVC(const QVariantMap &query)
{
    if (m_entryController)
        m_entryController->deleteLater();
    m_entryController = new EntryController(m_app.servers(), m_app.vamoManager(), m_app.window());
    m_entryController->setAttribute(Qt::WA_DeleteOnClose);
    m_entryController->query = query;
    m_entryController->setName(
        UserDefaults::stringForKey(QString::fromLatin1(UserDefaults::vamoUserName)).value_or(QString()),
        UserDefaults::stringForKey(QString::fromLatin1(UserDefaults::noticeEmail)).value_or(QString()));
    connect(m_entryController, &QDialog::finished, this, [](int code) {
        qCInfo(lcTop) << (code == 1 ? "OK" : code == 2 ? "Cancel" : "Oops!");
    });
    m_entryController->open();
}
