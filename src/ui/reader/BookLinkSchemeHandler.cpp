#include "BookLinkSchemeHandler.h"

#include <QWebEngineUrlRequestJob>

void BookLinkSchemeHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    job->fail(QWebEngineUrlRequestJob::UrlInvalid);
}
