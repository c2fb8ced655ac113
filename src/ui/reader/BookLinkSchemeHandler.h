// "tavro://" links between books. The reader's page turns them into a
// question before any request is made (BookPage); a request that still
// reaches this handler, from an image or a frame, fails with nothing served.
//
// Main thread only; owned by the profile it is installed on.
#pragma once

#include <QWebEngineUrlSchemeHandler>

class BookLinkSchemeHandler : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT
public:
    static constexpr const char *kScheme = "tavro";
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob *job) override;
};
