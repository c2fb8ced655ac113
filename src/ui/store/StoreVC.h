// The store screen: the store's pages in a web view, opened with the
// signed-in tokens; a link to "download.php" becomes a download that is
// installed into the library; "logout.php" signs the device out.
#pragma once

#include "core/store/PackageInstaller.h"
#include "ui/app/ScreenVC.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QPointer>
#include <memory>

class DownLoader;
class QLabel;
class QWebEngineView;
struct ApiRequest;

class StoreVC : public ScreenVC, public InstallerUi
{
    Q_OBJECT
public:
    explicit StoreVC(Navigation &app);
    ~StoreVC() override;

    bool mymenuFlag = false;
    bool acquiredFlag = false;

    void appear() override;
    QToolBar *toolbar() override { return m_toolbar; }
    QWebEngineView *web() const { return m_web; }

    void tapHome();
    void home2();
    void loadStore();
    void loadMyMenu();
    void loadAcquiredList();
    void loadStore(const QNetworkRequest &request, const QByteArray &body);
    void doDownload(const QNetworkRequest &request);
    void doDownloadFromExternal(const QNetworkRequest &request) { doDownload(request); }
    PackageInstaller &installer() { return m_installer; }

    // InstallerUi
    bool askOverwrite() override;
    void error(const QString &message) override;
    void showShelf() override;
    void importProgress(int status) override;

private:
    void loadApiRequest(const std::optional<ApiRequest> &request);
    void navigationFinished(bool ok);

    QToolBar *m_toolbar;
    QLabel *m_progress;
    QWebEngineView *m_web;
    PackageInstaller m_installer;
    QNetworkAccessManager m_network;
    // Shared with the download's own callback while it runs: a download
    // replaced inside a nested event loop of its installation (the
    // overwrite question) stays alive until its callback has returned.
    std::shared_ptr<DownLoader> m_down;
    std::optional<QPair<QNetworkRequest, QByteArray>> m_storeContentReq;
    QUrl m_lastNavigation;
};
