// The store screen: the store's pages in a web view, opened with the
// signed-in tokens; a link to "download.php" becomes a download that is
// installed into the library; "logout.php" signs the device out.
#pragma once

#include "ui/app/ScreenVC.h"

#include <QNetworkRequest>
#include <optional>

class QWebEngineView;
struct ApiRequest;

class StoreVC : public ScreenVC
{
    Q_OBJECT
public:
    explicit StoreVC(Navigation &app);
    ~StoreVC() override;

    bool mymenuFlag = false;
    bool acquiredFlag = false;

    void appear() override;
    // The page is blanked: each return loads its page anew.
    void disappear() override;
    QToolBar *toolbar() override { return m_toolbar; }
    QWebEngineView *web() const { return m_web; }

    void tapHome();
    void home2();
    void loadStore();
    void loadMyMenu();
    void loadAcquiredList();
    void loadStore(const QNetworkRequest &request, const QByteArray &body);
    // Starts the download in the application's download sheet.
    void doDownload(const QNetworkRequest &request);
    void doDownloadFromExternal(const QNetworkRequest &request) { doDownload(request); }

private:
    void loadApiRequest(const std::optional<ApiRequest> &request);
    // Says why there is no store page: no server while signed in, or sign in.
    void showUnavailable();
    void navigationFinished(bool ok);

    QToolBar *m_toolbar;
    QWebEngineView *m_web;
    std::optional<QPair<QNetworkRequest, QByteArray>> m_storeContentReq;
    QUrl m_lastNavigation;
};
