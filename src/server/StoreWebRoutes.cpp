// Store web server: "/store-web" + "/rest/setUnitInfo.php",
// "/rest/authentication.php", "/rest/getInformationsV2.php",
// "/store/uguide.php".
#include "Backend.h"
#include "HttpUtil.h"

void installStoreWeb(httplib::Server &server, Backend &b)
{
    const std::string prefix = "/store-web";

    server.Get(prefix + "/rest/setUnitInfo.php", [&b](const httplib::Request &req, httplib::Response &res) {
        const QString storeToken = param(req, "Authorization");
        if (!b.store.storeSession(storeToken)) {
            sendJson(res, QVariantMap { { QStringLiteral("result"), false } });
            return;
        }
        b.store.recordUnitInfo(
            storeToken, param(req, "userId"), param(req, "tavroVersion"), param(req, "unitInfo"));
        sendJson(res, QVariantMap { { QStringLiteral("result"), true } });
    });

    server.Get(
        prefix + "/rest/authentication.php", [&b](const httplib::Request &req, httplib::Response &res) {
            if (param(req, "cid") != b.config.newsCid || param(req, "pwd") != b.config.newsPwd) {
                sendJson(res, QVariantMap { { QStringLiteral("result"), false } });
                return;
            }
            sendJson(res,
                QVariantMap { { QStringLiteral("result"), true },
                    { QStringLiteral("token"), b.store.issueNewsToken() } });
        });

    server.Get(
        prefix + "/rest/getInformationsV2.php", [&b](const httplib::Request &req, httplib::Response &res) {
            if (!b.store.isNewsToken(paramTwice(req, "token")) || paramTwice(req, "exec") != u"G") {
                sendJson(res, QVariantMap { { QStringLiteral("result"), false } });
                return;
            }
            sendJson(res,
                QVariantMap {
                    { QStringLiteral("result"), true }, { QStringLiteral("records"), b.config.news } });
        });

    server.Get(prefix + "/store/uguide.php", [](const httplib::Request &, httplib::Response &res) {
        sendHtml(res,
            QStringLiteral(
                "<!DOCTYPE html><html lang=\"ja\"><head><meta "
                "charset=\"utf-8\"><title>ヘルプ</title></head><body>"
                "<h1>ご利用ガイド</h1><p>書籍はストアで購入し、本棚から開きます。</p>"
                "<p><a href=\"/store-api/store/index_m.php?bookId=epub-anatomy-basics&amp;gotostore\">"
                "ストアで見る</a></p></body></html>"));
    });
}
