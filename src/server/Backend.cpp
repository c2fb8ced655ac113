#include "Backend.h"

#include <QThread>
#include <httplib.h>

void Backend::install(httplib::Server &server)
{
    server.set_pre_routing_handler([this](const httplib::Request &req, httplib::Response &res) {
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
