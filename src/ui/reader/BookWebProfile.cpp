#include "BookWebProfile.h"

#include "BookLinkSchemeHandler.h"
#include "EpubSchemeHandler.h"
#include "core/content/BookUrl.h"

#include <QCoreApplication>
#include <QWebEngineSettings>

QWebEngineProfile *BookWebProfile::shared()
{
    static QWebEngineProfile *profile = create(QCoreApplication::instance());
    return profile;
}

QWebEngineProfile *BookWebProfile::create(QObject *parent, const EPUBURLProtcol *protocol)
{
    // Off the record: book pages keep no cookies or caches on disk.
    auto *profile = new QWebEngineProfile(parent);
    profile->installUrlSchemeHandler(BookUrl::kScheme, new EpubSchemeHandler(protocol, profile));
    profile->installUrlSchemeHandler(BookLinkSchemeHandler::kScheme, new BookLinkSchemeHandler(profile));
    QWebEngineSettings *settings = profile->settings();
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    return profile;
}
