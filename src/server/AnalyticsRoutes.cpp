// Analytics collector "/analytics": records every hit of "/collect" and lets
// a test read them back ("/hits").
#include "Backend.h"
#include "HttpUtil.h"

void installAnalytics(httplib::Server &server, Backend &b)
{
    server.Post("/analytics/collect", [&b](const httplib::Request &req, httplib::Response &res) {
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
