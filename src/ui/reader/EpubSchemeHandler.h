// Answers the web view's epub:// requests from the book content resolver.
// Thin: one resolver call per request. Lives on the GUI thread.
#pragma once

#include "core/content/EPUBURLProtcol.h"

#include <QWebEngineUrlSchemeHandler>

class EpubSchemeHandler : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT
public:
    // Serves through a copy of `protocol` (EPUBURLProtcol::forDataFolder()
    // when null).
    explicit EpubSchemeHandler(const EPUBURLProtcol *protocol = nullptr, QObject *parent = nullptr);

    // Serves GET requests; anything else is denied, as is a request a page of
    // another book started (BookPagePolicy::allowsRequest), and a missing
    // archive or entry fails the request (UrlNotFound). (X)HTML replies carry
    // BookPagePolicy's content security policy as a <meta> element.
    void requestStarted(QWebEngineUrlRequestJob *job) override;

private:
    EPUBURLProtcol m_protocol;
};
