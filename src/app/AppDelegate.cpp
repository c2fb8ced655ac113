#include "AppDelegate.h"

#include "core/account/UserProfile.h"
#include "core/app/Analytics.h"
#include "core/dictionary/DictionaryManager.h"
#include "core/library/LibraryStore.h"
#include "core/platform/ConfigDictionary.h"
#include "core/platform/DataFolder.h"
#include "core/platform/ServerConfig.h"
#include "core/shelf/PdfCover.h"
#include "core/store/InstallRecovery.h"
#include "core/store/StoreManager.h"
#include "core/store/VamoManager.h"
#include "core/sync/QMShareHelper.h"
#include "core/util/Logging.h"
#include "core/util/NotificationCenter.h"
#include "ui/app/AppShortcuts.h"
#include "ui/app/MainWindow.h"
#include "ui/app/MsgBox.h"
#include "ui/app/UpdateWindows.h"
#include "ui/reader/BookWebProfile.h"
#include "ui/reader/ReaderVC.h"
#include "ui/shelf/ShelfVC.h"
#include "ui/store/StoreVC.h"
#include "ui/top/TopVC.h"

AppDelegate::AppDelegate(LibraryStore &store, const ServerConfig &servers, QObject *parent)
    : QObject(parent)
    , m_library(store)
    , m_servers(servers)
    , m_config(std::make_unique<ConfigDictionary>(DataFolder::configFile()))
    , m_messages(std::make_unique<MsgBox>())
{
}

AppDelegate::~AppDelegate()
{
    delete m_reader;
    if (m_loginWindow)
        delete m_loginWindow;
    m_window.reset();
    // Screens made before the window ever hosted them (the store made for a
    // download from disk) are no children of it.
    delete m_top.data();
    delete m_shelf.data();
    delete m_store.data();
}

void AppDelegate::applicationDidFinishLaunching()
{
    // 1. The library store.
    // Without it the application runs with an empty library.
    if (!m_library.store().isOpen())
        m_library.store().open(LibraryStore::defaultPath());
    // 2-3. Analytics: watch the collector, resend what was kept.
    m_analytics = std::make_unique<Analytics>(m_servers, *m_config);
    m_analytics->setReachableBlock();
    m_analytics->sendLostGAData();
    // 4. The main window.
    m_window = std::make_unique<MainWindow>();
    m_window->restoreFrame();
    MsgBox::setMainWindow(m_window.get());
    AppShortcuts::install(*m_window, *this);
    m_window->show();
    // 5-6. Data folder (the configuration was read when this object was
    // made), contents folder.
    DataFolder::createContentsFolder();
    // What an installation cut short by a crash or a kill left behind.
    InstallRecovery::run(m_library.books());
    // 7. The book content scheme's handler on the book profile: made with
    // the first reader (bookProfile()), so that the web engine starts only
    // when a screen needs it.
    // 8. The shared services.
    m_vamo = std::make_unique<VamoManager>(m_servers);
    m_storeManager = std::make_unique<StoreManager>(m_servers, *m_config, *m_vamo);
    m_session = std::make_unique<AccountSession>(m_library.account(), *m_storeManager, *m_vamo, *this);
    m_dictionaries = std::make_unique<DictionaryManager>(m_library.store());
    m_sync = std::make_unique<QMShareHelper>(m_library, m_servers, *m_vamo);
    // 10. The account session.
    if (m_library.account().firstUserInfo()) {
        if (AccountSession::isLifted())
            showLiftedWarning();
        else
            checkToken({});
    }
    // 11-14.
    changeToTop();
    getUserInfo();
    showUpdateWindow();
    showNotificationWindow();
    // 15. First run.
    m_library.books().addLibarywithFirstSetup();
}

QWebEngineProfile *AppDelegate::bookProfile()
{
    if (!m_bookProfile)
        m_bookProfile = BookWebProfile::create(this);
    return m_bookProfile;
}

void AppDelegate::changeToVC(ScreenVC *screen)
{
    ScreenVC *previous = m_current;
    m_current = screen;
    if (previous && previous != screen)
        previous->disappear();
    m_window->hostScreen(screen);
    if (screen)
        m_window->installToolbar(screen->toolbar());
    // A reader lives while it is shown.
    if (previous && previous == m_reader && previous != screen) {
        m_reader = nullptr;
        previous->deleteLater();
    }
}

void AppDelegate::changeToTop()
{
    if (!m_top)
        m_top = new TopVC(*this);
    else
        m_top->appear();
    changeToVC(m_top);
}

void AppDelegate::changeToShelf()
{
    if (!m_shelf)
        m_shelf = new ShelfVC(*this);
    else
        m_shelf->appear();
    changeToVC(m_shelf);
}

void AppDelegate::changeToStore()
{
    if (!m_store)
        m_store = new StoreVC(*this);
    else
        m_store->appear();
    m_store->loadStore();
    changeToVC(m_store);
}

void AppDelegate::changeToMyMenu()
{
    if (!m_store) {
        m_store = new StoreVC(*this);
        m_store->mymenuFlag = true;
    } else {
        m_store->appear();
    }
    m_store->loadMyMenu();
    changeToVC(m_store);
}

void AppDelegate::changeToAcquired()
{
    if (!m_store) {
        m_store = new StoreVC(*this);
        m_store->acquiredFlag = true;
    } else {
        m_store->appear();
    }
    m_store->loadAcquiredList();
    changeToVC(m_store);
}

void AppDelegate::changeToStoreDownloadPage(const QNetworkRequest &request, const QByteArray &body)
{
    if (!m_store)
        m_store = new StoreVC(*this);
    else
        m_store->appear();
    m_store->loadStore(request, body);
    changeToVC(m_store);
}

void AppDelegate::changeToReader(const BookInfo &book)
{
    showReader(book, std::nullopt);
}

void AppDelegate::changeToReader(const BookInfo &book, const LinkOrigin &from)
{
    showReader(book, from);
}

void AppDelegate::showReader(const BookInfo &book, const std::optional<LinkOrigin> &from)
{
    if (book.isPdf())
        PdfCover::prepare(book.pdfUrl);
    auto *reader = new ReaderVC(*this, book, from);
    ScreenVC *old = m_reader;
    m_reader = reader;
    changeToVC(reader);
    if (old && old != reader)
        old->deleteLater();
    reader->appear();
}

void AppDelegate::presentLoginSheet()
{
    if (!m_loginWindow)
        m_loginWindow = new LoginWindow(m_library, *m_vamo, *m_storeManager, *m_messages, m_window.get());
    m_loginWindow->logic().parent = this;
    m_loginWindow->open();
}

void AppDelegate::showLiftedWarning()
{
    MsgBox::showMessage(AccountSession::kLiftedMessage, AccountSession::kWarning);
}

void AppDelegate::refreshTopIfShown()
{
    // The screen switched to, not the window's title: a shelf or a book
    // may be named "TOP" too.
    if (m_top && m_current == m_top)
        m_top->appear();
}

void AppDelegate::refreshTop()
{
    if (m_top)
        m_top->appear();
}

void AppDelegate::didLoginWindow(LoginWindowLogic *, bool success)
{
    if (m_loginWindow) {
        m_loginWindow->hide();
        m_window->focusShownScreen();
    }
    getUserInfo();
    m_session->didLoginWindow(success);
    // Annotations made while signed out go now.
    if (success && m_sync)
        m_sync->uploadPending();
}

void AppDelegate::applicationWillTerminate()
{
    if (m_sync)
        m_sync->uploadPendingAndWait(kQuitUploadWaitMs);
}

void AppDelegate::getUserInfo()
{
    m_vamo->getUserInfo([](const QVariant &result, const std::optional<ApiError> &) {
        UserProfile::fromAnswer(result).store();
    });
}

void AppDelegate::downloadFromExternal(const QNetworkRequest &request)
{
    // Through the sheet alone: a file from disk needs no store screen (nor
    // its toolbar, title, screen view or sign-in).
    downloadSheet().doDownload(request);
}

DownloadSheet &AppDelegate::downloadSheet()
{
    if (!m_downloadSheet)
        m_downloadSheet = new DownloadSheet(*this, m_window.get());
    return *m_downloadSheet;
}

void AppDelegate::showUpdateWindow()
{
    m_updateWindow = new UpdateWindow(m_servers, m_window.get());
}

void AppDelegate::showNotificationWindow()
{
    auto *notice = new QLBNotificationWindow(m_servers, m_window.get());
    // One after the other: both would open at the same place.
    notice->showAfter(m_updateWindow);
    m_notificationWindow = notice;
}
