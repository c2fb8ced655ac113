#include "BookWebProfile.h"

#include "BookLinkSchemeHandler.h"
#include "EpubSchemeHandler.h"
#include "core/content/BookPagePolicy.h"
#include "core/content/BookUrl.h"
#include "core/util/Logging.h"

#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>

namespace
{

// Every request of a book page passes here first (on the engine's IO
// thread): a book reaches only its own entries, never the network. Web
// links the reader clicks never get here; BookPage hands them to the
// browser before any request is made.
class BookRequestFilter : public QWebEngineUrlRequestInterceptor
{
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        const bool mainFrame = info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame;
        const QUrl initiator = info.initiator();
        if (BookPagePolicy::allowsRequest(info.requestUrl(), initiator, mainFrame && initiator.isEmpty()))
            return;
        qCInfo(lcContent) << "book page request blocked:" << info.requestUrl() << "from" << initiator
                          << "type" << info.resourceType();
        info.block(true);
    }
};

} // namespace

QWebEngineProfile *BookWebProfile::create(QObject *parent, const EPUBURLProtcol *protocol)
{
    // Off the record: book pages keep no cookies or caches on disk.
    auto *profile = new QWebEngineProfile(parent);
    profile->installUrlSchemeHandler(BookUrl::kScheme, new EpubSchemeHandler(protocol, profile));
    profile->installUrlSchemeHandler(BookLinkSchemeHandler::kScheme, new BookLinkSchemeHandler(profile));
    profile->setUrlRequestInterceptor(new BookRequestFilter(profile));
    QWebEngineSettings *settings = profile->settings();
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    return profile;
}
