#include "EpubSchemeHandler.h"

#include "core/content/EPUBURLProtcol.h"
#include "core/util/Logging.h"

#include <QBuffer>
#include <QDebug>
#include <QWebEngineUrlRequestJob>

EpubSchemeHandler::EpubSchemeHandler(const EPUBURLProtcol *protocol, QObject *parent)
    : QWebEngineUrlSchemeHandler(parent)
    , m_protocol(protocol ? protocol : &EPUBURLProtcol::shared())
{
}

void EpubSchemeHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    if (job->requestMethod() != "GET") {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    const EpubResponse response = m_protocol->startLoading(job->requestUrl());
    qCDebug(lcContent) << "epub request" << job->requestUrl() << (response.failed() ? "failed" : "served");
    if (response.failed()) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    // The job does not own the device; parenting it to the job frees it with
    // the request.
    auto *buffer = new QBuffer(job);
    buffer->setData(*response.data);
    buffer->open(QIODevice::ReadOnly);
    job->reply(
        response.mimeType.isEmpty() ? QByteArrayLiteral("application/octet-stream") : response.mimeType,
        buffer);
}
