#include "StoreVC.h"

#include "ApiRequestPage.h"

#include "core/account/AccountSession.h"
#include "core/app/Analytics.h"
#include "core/app/EmptyStates.h"
#include "core/dictionary/DictionaryManager.h"
#include "core/library/Library.h"
#include "core/platform/UserDefaults.h"
#include "core/store/StoreManager.h"
#include "core/store/VamoManager.h"
#include "core/sync/QMShareHelper.h"
#include "core/util/ContextGuard.h"
#include "core/util/Logging.h"
#include "core/util/StringHelpers.h"
#include "ui/app/MainWindow.h"
#include "ui/app/MsgBox.h"
#include "ui/app/Navigation.h"
#include "ui/store/DownloadSheet.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineHttpRequest>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace
{

class StorePage : public QWebEnginePage
{
public:
    StorePage(StoreVC &store, QUrl &last, QObject *parent)
        : QWebEnginePage(parent)
        , m_store(store)
        , m_last(last)
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override
    {
        qCInfo(lcStore) << "^^^^^^^^^^^^^^^^^^^^," << url;
        m_last = url;
        const bool userAction = type == NavigationTypeLinkClicked || type == NavigationTypeFormSubmitted
            || type == NavigationTypeBackForward || type == NavigationTypeReload;
        if (userAction && url.path().section(u'/', -1) == u"download.php") {
            m_store.doDownload(QNetworkRequest(url));
            return false;
        }
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }

private:
    StoreVC &m_store;
    QUrl &m_last;
};

} // namespace

StoreVC::StoreVC(Navigation &app)
    : ScreenVC(app)
{
    setObjectName(QStringLiteral("StoreVC"));
    m_toolbar = new QToolBar(QStringLiteral("Store"), this);
    m_toolbar->setObjectName(QStringLiteral("storeToolbar"));
    m_toolbar->addAction(QStringLiteral("TOP"), this, [this] { m_app.changeToTop(); });
    m_toolbar->addAction(QStringLiteral("本棚"), this, [this] { m_app.changeToShelf(); });
    m_toolbar->addAction(QStringLiteral("◀"), this, [this] { m_web->back(); })
        ->setShortcut(QKeySequence::Back);
    m_toolbar->addAction(QStringLiteral("▶"), this, [this] { m_web->forward(); })
        ->setShortcut(QKeySequence::Forward);
    m_toolbar->addAction(QStringLiteral("再読込"), this, [this] { m_web->reload(); })
        ->setShortcut(QKeySequence::Refresh);
    m_toolbar->addAction(QStringLiteral("ホーム"), this, [this] { tapHome(); })
        ->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));
    m_web = new QWebEngineView(this);
    m_web->setObjectName(QStringLiteral("storeView"));
    m_web->setPage(new StorePage(*this, m_lastNavigation, m_web));
    m_web->page()->settings()->setFontSize(QWebEngineSettings::DefaultFontSize, 16);
    connect(m_web, &QWebEngineView::loadFinished, this, &StoreVC::navigationFinished);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_web);
    appear();
    QTimer::singleShot(0, this, [this] { tapHome(); });
}

StoreVC::~StoreVC() = default;

void StoreVC::appear()
{
    m_app.window()->installToolbar(m_toolbar);
    m_app.window()->setWindowTitle(QStringLiteral("%1 - Store").arg(QCoreApplication::applicationName()));
    m_app.analytics().sendGoogleAnalyticsWithScreenName(QStringLiteral("ストア"));
}

void StoreVC::disappear()
{
    m_storeContentReq.reset();
    m_web->setUrl(QUrl(QStringLiteral("about:blank")));
}

void StoreVC::loadApiRequest(const std::optional<ApiRequest> &request)
{
    if (request) {
        m_web->load(webPostRequest(*request));
        return;
    }
    // No store token: the server did not answer, or no one is signed in.
    showUnavailable();
}

void StoreVC::showUnavailable()
{
    m_web->setHtml(QStringLiteral("<html><body>%1</body></html>")
                       .arg(EmptyStates::store(m_app.vamoManager().token().has_value()).toHtmlEscaped()));
}

void StoreVC::loadStore()
{
    StoreManager &s = m_app.storeManager();
    loadApiRequest(s.requestForStoreTop(
        m_app.vamoManager().token(), s.token(), m_app.library().account().currentUserId()));
}

void StoreVC::loadMyMenu()
{
    StoreManager &s = m_app.storeManager();
    loadApiRequest(s.requestForMyMenu(
        m_app.vamoManager().token(), s.token(), m_app.library().account().currentUserId()));
}

void StoreVC::loadAcquiredList()
{
    StoreManager &s = m_app.storeManager();
    loadApiRequest(
        s.requestForDLHis(m_app.vamoManager().token(), s.token(), m_app.library().account().currentUserId()));
}

void StoreVC::loadStore(const QNetworkRequest &request, const QByteArray &body)
{
    m_storeContentReq = qMakePair(request, body);
    loadStore();
}

void StoreVC::tapHome()
{
    if (!m_app.storeManager().token()) {
        m_app.account().takeToken(guardedBy(this, [this](bool ok) {
            if (ok)
                home2();
            else
                showUnavailable();
        }));
        return;
    }
    home2();
}

void StoreVC::home2()
{
    m_app.account().fetchStoreToken(guardedBy(this, [this] {
        if (mymenuFlag) {
            mymenuFlag = false;
            loadMyMenu();
        } else if (acquiredFlag) {
            acquiredFlag = false;
            loadAcquiredList();
        } else {
            loadStore();
        }
    }));
}

void StoreVC::navigationFinished(bool)
{
    if (m_storeContentReq) {
        const auto [request, body] = *m_storeContentReq;
        m_storeContentReq.reset();
        QWebEngineHttpRequest r(
            request.url(), body.isEmpty() ? QWebEngineHttpRequest::Get : QWebEngineHttpRequest::Post);
        r.setPostData(body);
        m_web->load(r);
    }
    if (m_lastNavigation.toString().contains(QStringLiteral("logout.php"))) {
        m_lastNavigation.clear();
        m_app.storeManager().logout();
        AccountSession::setLifted(true);
        m_app.changeToTop();
        MsgBox::showMessage(QStringLiteral("ログアウトされました。"), QStringLiteral("確認"));
    }
}

void StoreVC::doDownload(const QNetworkRequest &request)
{
    // Bought or free, a book of the store is bound to the signed-in account.
    m_app.downloadSheet().doDownload(request, true);
}
