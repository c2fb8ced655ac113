#include "BookPage.h"

#include "core/util/Logging.h"

#include <QDesktopServices>

BookPage::BookPage(QWebEngineProfile *profile, QObject *parent)
    : QWebEnginePage(profile, parent)
{
}

bool BookPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    const QString scheme = url.scheme().toLower();
    if (scheme.startsWith(QLatin1String("http"))) {
        // Only a link the reader chose leaves for the browser; a book's own
        // script or frame never opens anything by itself.
        if (type == NavigationTypeLinkClicked && isMainFrame)
            QDesktopServices::openUrl(url);
        else
            qCInfo(lcContent) << "web navigation refused:" << url;
        return false;
    }
    if (scheme == QLatin1String("tavro")) {
        if (type == NavigationTypeLinkClicked)
            emit bookLinkRequested(url);
        return false;
    }
    const bool accepted = QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    if (accepted && isMainFrame)
        emit navigationAccepted(url);
    return accepted;
}
