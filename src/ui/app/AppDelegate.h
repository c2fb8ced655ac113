// The application delegate: the start-up sequence, the one main window and
// its screens (top, shelf, store, reader; one at a time), the sign-in token
// state machine, and the shared service objects. Main thread only.
#pragma once

#include "screens/ReaderVC.h"
#include "screens/ShelfVC.h"
#include "screens/StoreVC.h"
#include "screens/TopVC.h"
#include "sheets/LoginWindow.h"
#include "store/LoginWindowLogic.h"

#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>

class Analytics;
class DictionaryManager;
class MainWindow;
class MsgBox;
class QMShareHelper;
class ServerConfig;
class StoreManager;
class VamoManager;
class QWidget;

class AppDelegate : public QObject, public LoginWindowDelegate
{
    Q_OBJECT
public:
    explicit AppDelegate(const ServerConfig &servers, QObject *parent = nullptr);
    ~AppDelegate() override;

    // The start-up sequence, in order.
    void applicationDidFinishLaunching();

    // Screen switching.
    void changeToTop();
    void changeToShelf();
    void changeToStore();
    void changeToMyMenu();
    void changeToAcquired();
    void changeToStoreDownloadPage(const QNetworkRequest &request, const QByteArray &body);
    void changeToReader(const QVariantMap &info);
    void changeToReader(const QVariantMap &info, const QVariantMap &befoInfo, const QString &befoManifestID);
    void changeToVC(ScreenVC *screen);

    // Sign-in token.
    void takeToken(std::function<void(bool)> completion);
    void checkToken(std::function<void(bool)> completion);
    void didTakeToken(bool success);
    void didLoginWindow(LoginWindowLogic *sheet, bool success) override;
    void didDevicesWindow(bool success);
    void getUserInfo();

    void downloadFromExternal(const QNetworkRequest &request);
    void showUpdateWindow();
    void showNotificationWindow();

    // The cover of a PDF ("name.cover", JPEG quality 50, first page), made
    // when missing. Whether a cover exists afterwards.
    static bool preparePdfCover(const QString &pdfPath);

    MainWindow *window() const { return m_window.get(); }
    ScreenVC *currentVC() const { return m_current; }
    TopVC *topVC() const { return m_top; }
    ShelfVC *shelfVC() const { return m_shelf; }
    StoreVC *storeVC() const { return m_store; }
    ReaderVC *readerVC() const { return m_reader; }
    LoginWindow *loginWindow() const { return m_loginWindow; }
    StoreManager &storeManager() { return *m_storeManager; }
    VamoManager &vamoManager() { return *m_vamo; }
    DictionaryManager &dictionaryManager() { return *m_dictionaries; }
    QMShareHelper &shareHelper() { return *m_sync; }
    const ServerConfig &servers() const { return m_servers; }
    bool hasPendingTokenRequest() const { return bool(m_tokenCompletion); }

private:
    void presentLoginSheet();

    const ServerConfig &m_servers;
    std::unique_ptr<MsgBox> m_messages;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<VamoManager> m_vamo;
    std::unique_ptr<StoreManager> m_storeManager;
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
    std::function<void(bool)> m_tokenCompletion;
};
