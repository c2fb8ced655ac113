#include "Backend.h"

#include "BackendLog.h"
#include "BackendServer.h"
#include "HttpUtil.h"

#include <QThread>
#include <cerrno>
#include <cstdlib>
#include <httplib.h>

namespace
{

struct BodyLimit {
    const char *prefix;
    size_t bytes;
};

// Request bodies per path: an analytics hit is a few hundred bytes and an
// XML-RPC call well under a kilobyte; a sync upload carries every
// annotation of a book.
constexpr BodyLimit kBodyLimits[] = {
    { "/analytics/", size_t(8) << 10 },
    { "/news-rpc", size_t(64) << 10 },
    { "/sync/", size_t(4) << 20 },
    // Tests make faults with whole answers in them, oversize ones included.
    { "/_control/", size_t(8) << 20 },
};
constexpr size_t kDefaultBodyLimit = size_t(64) << 10;

bool isRefusal(int status)
{
    switch (status) {
    case 400:
    case 403:
    case 408:
    case 411:
    case 413:
    case 414:
    case 429:
    case 431:
    case 503:
        return true;
    default:
        return false;
    }
}

// httplib's own refusals, which come without a reason of ours.
QString defaultReason(int status)
{
    switch (status) {
    case 400:
        return QStringLiteral("malformed request");
    case 413:
        return QStringLiteral("body too large");
    case 414:
        return QStringLiteral("request line too long");
    default:
        return QStringLiteral("refused");
    }
}

// What must not reach a route: too many query parameters, a body over the
// path's limit (judged by the length it announces, before it is read), a
// body without an announced length. True when `res` holds the refusal.
bool refusedBeforeRouting(const httplib::Request &req, httplib::Response &res)
{
    if (qsizetype(req.params.size()) > kMaxParameters) {
        refuse(res, 400,
            QStringLiteral("too many parameters (%1; at most %2)").arg(req.params.size()).arg(kMaxParameters),
            true);
        return true;
    }
    const size_t limit = bodyLimit(req.path);
    if (req.has_header("Content-Length")) {
        const std::string text = req.get_header_value("Content-Length");
        char *end = nullptr;
        errno = 0;
        const unsigned long long length = std::strtoull(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0' || errno == ERANGE || length > limit) {
            refuse(res, 413,
                QStringLiteral("body of %1 bytes over the limit of %2 bytes for this path")
                    .arg(QString::fromStdString(text).left(20))
                    .arg(limit),
                true);
            return true;
        }
    } else if (req.has_header("Transfer-Encoding")) {
        refuse(res, 411, QStringLiteral("a request body needs a Content-Length"), true);
        return true;
    }
    return false;
}

} // namespace

size_t bodyLimit(const std::string &path)
{
    for (const BodyLimit &l : kBodyLimits)
        if (path.rfind(l.prefix, 0) == 0)
            return l.bytes;
    return kDefaultBodyLimit;
}

size_t largestBodyLimit()
{
    size_t largest = kDefaultBodyLimit;
    for (const BodyLimit &l : kBodyLimits)
        largest = std::max(largest, l.bytes);
    return largest;
}

void Backend::install(httplib::Server &server)
{
    server.set_payload_max_length(largestBodyLimit());
    server.set_expect_100_continue_handler([](const httplib::Request &req, httplib::Response &res) {
        return refusedBeforeRouting(req, res) ? res.status : 100;
    });
    server.set_logger([](const httplib::Request &req, const httplib::Response &res) {
        const QString why = takeRefusalReason();
        if (!isRefusal(res.status))
            return;
        // A refusal of httplib's own may leave the rest of the request
        // unread: what follows is no request.
        if (res.status != 403)
            BackendServer::closeAfterThisAnswer();
        const QString what = req.method.empty() || req.path.empty()
            ? QStringLiteral("a request")
            : logSafe(req.method, 20) + u' ' + logSafe(req.path);
        QString reason = why;
        if (reason.isEmpty())
            reason = BackendServer::currentRequestTimedOut() ? QStringLiteral("request read timed out")
                                                             : defaultReason(res.status);
        qCWarning(lcBackend).noquote() << QStringLiteral("refused %1 (%2) from %3: %4")
                                              .arg(what)
                                              .arg(res.status)
                                              .arg(logSafe(BackendServer::currentClient(), 64), reason);
    });
    server.set_pre_routing_handler([this](const httplib::Request &req, httplib::Response &res) {
        if (refusedBeforeRouting(req, res))
            return httplib::Server::HandlerResponse::Handled;
        const auto fault = faults.take(QString::fromStdString(req.path));
        if (!fault)
            return httplib::Server::HandlerResponse::Unhandled;
        if (fault->delayMs > 0)
            QThread::msleep(ulong(fault->delayMs));
        if (fault->drop) {
            // Headers promise a body that never comes: the client sees the
            // connection close mid-answer.
            res.set_content_provider(
                size_t(1) << 20, "text/plain", [](size_t, size_t, httplib::DataSink &) { return false; });
            return httplib::Server::HandlerResponse::Handled;
        }
        if (fault->status == 0)
            return httplib::Server::HandlerResponse::Unhandled;
        // Answered before the request's body was read: the connection ends
        // with the answer, or the body would be taken for the next request.
        res.set_header("Connection", "close");
        BackendServer::closeAfterThisAnswer();
        res.status = fault->status;
        res.set_content(fault->body.toStdString(), fault->contentType.toStdString());
        return httplib::Server::HandlerResponse::Handled;
    });
    installStoreApi(server, *this);
    installStoreWeb(server, *this);
    installProfile(server, *this);
    installSync(server, *this);
    installNewsRpc(server, *this);
    installFiles(server, *this);
    installAnalytics(server, *this);
    installControl(server, *this);
}
