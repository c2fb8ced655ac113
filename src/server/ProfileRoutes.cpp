// Profile server: "/profile" + "/oauth/token", "/api/account", sign-up and
// password-reset pages.
#include "Backend.h"
#include "HttpUtil.h"

#include <QDateTime>

namespace
{

QString formPage(const QString &error)
{
    return QStringLiteral(
        "<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"utf-8\"><title>新規登録</title></head><body>"
        "<h1>新規登録</h1>%1<form id=\"signup\" action=\"/profile/users\" method=\"post\">"
        "<p><label>ログインID <input name=\"user[username]\" id=\"username\"></label></p>"
        "<p><label>パスワード <input type=\"password\" name=\"user[password]\" id=\"password\"></label></p>"
        "<p><label>姓 <input name=\"user[last_name]\" id=\"last_name\"></label></p>"
        "<p><label>名 <input name=\"user[first_name]\" id=\"first_name\"></label></p>"
        "<p><label>メール <input name=\"user[email]\" id=\"email\"></label></p>"
        "<p><button type=\"submit\" id=\"submit\">登録</button></p></form></body></html>")
        .arg(
            error.isEmpty() ? QString() : QStringLiteral("<p class=\"error\">%1</p>").arg(htmlEscape(error)));
}

QVariant orNull(const QString &s)
{
    return s.isEmpty() ? QVariant::fromValue(nullptr) : QVariant(s);
}

} // namespace

void installProfile(httplib::Server &server, Backend &b)
{
    const std::string prefix = "/profile";

    server.Post(prefix + "/oauth/token", [&b](const httplib::Request &req, httplib::Response &res) {
        if (param(req, "client_id") != b.config.clientId
            || param(req, "client_secret") != b.config.clientSecret) {
            sendJson(res,
                QVariantMap { { QStringLiteral("error"), QStringLiteral("invalid_client") },
                    { QStringLiteral("error_description"),
                        QStringLiteral("Client authentication failed due to unknown client.") } },
                401);
            return;
        }
        if (param(req, "grant_type") != u"password") {
            sendJson(res,
                QVariantMap { { QStringLiteral("error"), QStringLiteral("unsupported_grant_type") },
                    { QStringLiteral("error_description"),
                        QStringLiteral("Only the password grant is supported.") } },
                400);
            return;
        }
        const auto account = b.store.accountByPassword(param(req, "username"), param(req, "password"));
        if (!account) {
            sendJson(res,
                QVariantMap { { QStringLiteral("error"), QStringLiteral("invalid_grant") },
                    { QStringLiteral("error_description"),
                        QStringLiteral("The provided authorization grant is invalid.") } },
                401);
            return;
        }
        sendJson(res,
            QVariantMap { { QStringLiteral("access_token"), b.store.issueAccessToken(account->id) },
                { QStringLiteral("token_type"), QStringLiteral("Bearer") },
                { QStringLiteral("expires_in"), 7200 },
                { QStringLiteral("created_at"), QDateTime::currentSecsSinceEpoch() } });
    });

    server.Get(prefix + "/api/account", [&b](const httplib::Request &req, httplib::Response &res) {
        const QString auth = header(req, "Authorization");
        const auto account = auth.startsWith(QStringLiteral("Bearer "))
            ? b.store.accountByAccessToken(auth.mid(7))
            : std::nullopt;
        if (!account) {
            sendJson(res, QVariantMap { { QStringLiteral("error"), QStringLiteral("unauthorized") } }, 401);
            return;
        }
        auto value = [](const QVariant &v) { return v.isValid() ? v : QVariant::fromValue(nullptr); };
        sendJson(res,
            QVariantMap { { QStringLiteral("notice_email"), value(account->email) },
                { QStringLiteral("user_profiles"),
                    QVariantMap { { QStringLiteral("last_name"), value(account->lastName) },
                        { QStringLiteral("first_name"), value(account->firstName) } } } });
    });

    server.Get(prefix + "/users/sign_up",
        [](const httplib::Request &, httplib::Response &res) { sendHtml(res, formPage(QString())); });

    server.Post(prefix + "/users", [&b](const httplib::Request &req, httplib::Response &res) {
        const QString login = param(req, "user[username]");
        const QString password = param(req, "user[password]");
        if (login.isEmpty() || password.size() < 6) {
            sendHtml(
                res, formPage(QStringLiteral("ログインIDと6文字以上のパスワードを入力してください。")), 422);
            return;
        }
        if (!b.store.createAccount(login, password, orNull(param(req, "user[last_name]")),
                orNull(param(req, "user[first_name]")), orNull(param(req, "user[email]")))) {
            sendHtml(res, formPage(QStringLiteral("そのログインIDは使われています。")), 422);
            return;
        }
        res.set_redirect("/profile/home/index", 302);
    });

    server.Get(prefix + "/home/index", [](const httplib::Request &, httplib::Response &res) {
        sendHtml(res,
            QStringLiteral(
                "<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"utf-8\"><title>登録完了</title>"
                "</head><body><p id=\"done\">登録が完了しました。</p></body></html>"));
    });

    server.Get(prefix + "/users/password/new", [](const httplib::Request &, httplib::Response &res) {
        sendHtml(res,
            QStringLiteral(
                "<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"utf-8\"><title>パスワード再設定"
                "</title></head><body><h1>パスワード再設定</h1><form><input name=\"email\">"
                "<button>送信</button></form></body></html>"));
    });
}
