// The application delegate, the program's assembly: the start-up sequence,
// the one main window and its screens (top, shelf, store, reader; one at a
// time), the sheets of the account session, and the service objects, which
// it makes and owns and hands down by reference (the configuration
// dictionary of the data folder when it is made, the rest in
// applicationDidFinishLaunching). Screens reach it through Navigation.
// `servers` must outlive it. Main thread only.
#pragma once

#include "core/account/AccountSession.h"
#include "core/library/Library.h"
#include "core/store/LoginWindowLogic.h"
#include "ui/app/Navigation.h"
#include "ui/reader/ReaderVC.h"
#include "ui/shelf/ShelfVC.h"
#include "ui/store/DownloadSheet.h"
#include "ui/store/LoginWindow.h"
#include "ui/store/StoreVC.h"
#include "ui/top/TopVC.h"

#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

class Analytics;
class ConfigDictionary;
class DictionaryManager;
class LibraryStore;
class MainWindow;
class MsgBox;
class QMShareHelper;
class ServerConfig;
class StoreManager;
class VamoManager;
class QWebEngineProfile;
class QWidget;

class AppDelegate : public QObject, public Navigation, public LoginWindowDelegate, public AccountSessionUi
{
    Q_OBJECT
public:
    // `store` is the application's library store, which start-up owns and
    // which must outlive the delegate; it is opened at its default place by
    // applicationDidFinishLaunching() unless it is open already.
    AppDelegate(LibraryStore &store, const ServerConfig &servers, QObject *parent = nullptr);
    ~AppDelegate() override;

    // The start-up sequence, in order.
    void applicationDidFinishLaunching();
    // Before the application quits: annotation changes still waiting are
    // uploaded, waiting at most a few seconds; what is not sent goes next
    // time.
    void applicationWillTerminate();
    static constexpr int kQuitUploadWaitMs = 5000;

    // Navigation: screen switching.
    void changeToTop() override;
    void changeToShelf() override;
    void changeToStore() override;
    void changeToMyMenu() override;
    void changeToAcquired() override;
    void changeToStoreDownloadPage(const QNetworkRequest &request, const QByteArray &body) override;
    void changeToReader(const BookInfo &book) override;
    void changeToReader(const BookInfo &book, const LinkOrigin &from) override;
    void changeToVC(ScreenVC *screen);

    // Sign-in token (the account session's state machine).
    void takeToken(std::function<void(bool)> completion) { m_session->takeToken(std::move(completion)); }
    void checkToken(std::function<void(bool)> completion) { m_session->checkToken(std::move(completion)); }
    void didTakeToken(bool success) { m_session->didTakeToken(success); }
    void didLoginWindow(LoginWindowLogic *sheet, bool success) override;
    void didDevicesWindow(bool success) { m_session->didDevicesWindow(success); }
    void getUserInfo();

    void downloadFromExternal(const QNetworkRequest &request) override;
    DownloadSheet &downloadSheet() override;
    void showUpdateWindow();
    void showNotificationWindow();

    MainWindow *window() const override { return m_window.get(); }
    AccountSession &account() override { return *m_session; }
    ScreenVC *currentVC() const { return m_current; }
    TopVC *topVC() const { return m_top; }
    ShelfVC *shelfVC() const { return m_shelf; }
    StoreVC *storeVC() const { return m_store; }
    ReaderVC *readerVC() const { return m_reader; }
    LoginWindow *loginWindow() const { return m_loginWindow; }
    StoreManager &storeManager() override { return *m_storeManager; }
    VamoManager &vamoManager() override { return *m_vamo; }
    DictionaryManager &dictionaryManager() override { return *m_dictionaries; }
    QMShareHelper &shareHelper() override { return *m_sync; }
    Library &library() override { return m_library; }
    const ServerConfig &servers() const override { return m_servers; }
    Analytics &analytics() override { return *m_analytics; }
    ConfigDictionary &config() override { return *m_config; }
    // Made when the first book is opened: the web engine starts no earlier.
    QWebEngineProfile *bookProfile() override;
    bool hasPendingTokenRequest() const { return m_session && m_session->hasPendingTokenRequest(); }

private:
    // A new reader screen on `book` in place of the one shown.
    void showReader(const BookInfo &book, const std::optional<LinkOrigin> &from);

    // AccountSessionUi
    void presentLoginSheet() override;
    void showLiftedWarning() override;
    void refreshTopIfShown() override;
    void refreshTop() override;

    Library m_library;
    const ServerConfig &m_servers;
    std::unique_ptr<ConfigDictionary> m_config;
    std::unique_ptr<MsgBox> m_messages;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<VamoManager> m_vamo;
    std::unique_ptr<StoreManager> m_storeManager;
    std::unique_ptr<AccountSession> m_session;
    std::unique_ptr<DictionaryManager> m_dictionaries;
    std::unique_ptr<QMShareHelper> m_sync;
    std::unique_ptr<Analytics> m_analytics;
    QPointer<TopVC> m_top;
    QPointer<ShelfVC> m_shelf;
    QPointer<StoreVC> m_store;
    QPointer<ReaderVC> m_reader;
    QPointer<ScreenVC> m_current;
    QPointer<LoginWindow> m_loginWindow;
    QPointer<QWidget> m_updateWindow;
    QPointer<QWidget> m_notificationWindow;
    QPointer<DownloadSheet> m_downloadSheet;
    QWebEngineProfile *m_bookProfile = nullptr; // a child of this object, made by bookProfile()
};
