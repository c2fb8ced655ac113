// Analytics collector "/analytics": records every hit of "/collect" and lets
// a test read them back ("/hits").
#include "Backend.h"
#include "HttpUtil.h"

void installAnalytics(httplib::Server &server, Backend &b)
{
    // The body's size is bounded before it is read (see Backend::install).
    server.Post("/analytics/collect", [&b](const httplib::Request &req, httplib::Response &res) {
        if (formFieldCount(req.body) > kMaxParameters) {
            refuse(res, 400, QStringLiteral("too many fields in a hit"));
            return;
        }
        b.store.recordHit(QByteArray::fromStdString(req.body));
        res.set_content("GIF89a", "image/gif");
    });
    server.Get("/analytics/hits", [&b](const httplib::Request &, httplib::Response &res) {
        QVariantList hits;
        for (const QVariant &body : b.store.hits())
            hits.append(QVariantMap {
                { QStringLiteral("body"), body }, { QStringLiteral("fields"), splitForm(body.toString()) } });
        sendJson(res, hits);
    });
    server.Delete("/analytics/hits", [&b](const httplib::Request &, httplib::Response &res) {
        b.store.clearHits();
        sendJson(res, QVariantMap { { QStringLiteral("result"), true } });
    });
}
