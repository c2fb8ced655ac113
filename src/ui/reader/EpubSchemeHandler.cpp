#include "EpubSchemeHandler.h"

#include "core/content/BookPagePolicy.h"
#include "core/content/EPUBURLProtcol.h"
#include "core/util/Logging.h"

#include <QBuffer>
#include <QDebug>
#include <QWebEngineUrlRequestJob>

EpubSchemeHandler::EpubSchemeHandler(const EPUBURLProtcol *protocol, QObject *parent)
    : QWebEngineUrlSchemeHandler(parent)
    , m_protocol(protocol ? *protocol : EPUBURLProtcol::forDataFolder())
{
}

void EpubSchemeHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    if (job->requestMethod() != "GET") {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    // A book's page asking for another book's entries (a picture to read
    // back through a canvas, a frame, a fetch) is refused here too, whatever
    // the request filter saw: only the reader itself or the book's own pages
    // load a book's entries.
    const QUrl initiator = job->initiator();
    if (!BookPagePolicy::allowsRequest(job->requestUrl(), initiator, initiator.isEmpty())) {
        qCInfo(lcContent) << "epub request refused:" << job->requestUrl() << "from" << initiator;
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    const EpubResponse response = m_protocol.startLoading(job->requestUrl());
    qCDebug(lcContent) << "epub request" << job->requestUrl() << (response.failed() ? "failed" : "served");
    if (response.failed()) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    // The job does not own the device; parenting it to the job frees it with
    // the request.
    auto *buffer = new QBuffer(job);
    const QByteArray mimeType
        = response.mimeType.isEmpty() ? QByteArrayLiteral("application/octet-stream") : response.mimeType;
    // Replies carry no headers here, so pages get their content security
    // policy as a <meta> element.
    if (BookPagePolicy::isPageType(mimeType))
        buffer->setData(BookPagePolicy::withPolicy(*response.data, !mimeType.startsWith("text/html")));
    else
        buffer->setData(*response.data);
    buffer->open(QIODevice::ReadOnly);
    job->reply(mimeType, buffer);
}
