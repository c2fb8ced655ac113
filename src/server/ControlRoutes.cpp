// Test control "/_control": faults on demand and a look at what the backend
// received. Not part of any real server.
#include "Backend.h"
#include "HttpUtil.h"

#include <QJsonDocument>

void installControl(httplib::Server &server, Backend &b)
{
    // {"path": "/store-api/api/login", "status": 500, "body": "...",
    //  "contentType": "...", "delayMs": 12000, "drop": true, "times": 1}
    server.Post("/_control/fault", [&b](const httplib::Request &req, httplib::Response &res) {
        const QVariantMap m
            = QJsonDocument::fromJson(QByteArray::fromStdString(req.body)).toVariant().toMap();
        const QString path = m.value(QStringLiteral("path")).toString();
        if (!path.startsWith(u'/') || path.startsWith(QStringLiteral("/_control"))) {
            sendJson(res, QVariantMap { { QStringLiteral("result"), false } }, 400);
            return;
        }
        Fault f;
        f.status = m.value(QStringLiteral("status"), 0).toInt();
        f.body = m.value(QStringLiteral("body")).toString().toUtf8();
        f.contentType
            = m.value(QStringLiteral("contentType"), QStringLiteral("text/plain")).toString().toUtf8();
        f.delayMs = m.value(QStringLiteral("delayMs"), 0).toInt();
        f.drop = m.value(QStringLiteral("drop"), false).toBool();
        f.times = m.value(QStringLiteral("times"), 1).toInt();
        b.faults.set(path, f);
        sendJson(res, QVariantMap { { QStringLiteral("result"), true } });
    });
    server.Post("/_control/reset", [&b](const httplib::Request &, httplib::Response &res) {
        b.faults.reset();
        sendJson(res, QVariantMap { { QStringLiteral("result"), true } });
    });
    server.Get("/_control/state", [&b](const httplib::Request &, httplib::Response &res) {
        sendJson(res,
            QVariantMap { { QStringLiteral("unitInfos"), b.store.unitInfos() },
                { QStringLiteral("entries"), b.store.entries() } });
    });
}
