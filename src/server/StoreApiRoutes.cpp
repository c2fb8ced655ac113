// Store API server: "/store-api" + "/api/token", "/api/login",
// "/api/user/device", the store pages, downloads, "logout.php", "/api/entry".
#include "Backend.h"
#include "HttpUtil.h"
#include "ServerSecret.h"

#include "core/util/StringHelpers.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace
{

const std::string kPrefix = "/store-api";
const char *kCookie = "tavro_store";

QString cookieToken(const httplib::Request &req)
{
    const QString cookies = header(req, "Cookie");
    for (const QString &c : cookies.split(u';')) {
        const QString t = c.trimmed();
        if (t.startsWith(QLatin1String(kCookie) + u'='))
            return t.mid(int(strlen(kCookie)) + 1);
    }
    return {};
}

struct Session {
    Account account;
    QString storeToken;
};

// The signed-in store session of a page request: the client's headers
// ("X-Tavro-Uid", "Authorization" = store token, "appVersion") with the
// form's tokens, or the cookie a signed-in page set.
std::optional<Session> pageSession(
    Backend &b, const httplib::Request &req, httplib::Response &res, QString *why)
{
    const QString storeToken = header(req, "Authorization");
    if (!storeToken.isEmpty()) {
        const auto session = b.store.storeSession(storeToken);
        if (!session) {
            *why = QStringLiteral("ストアトークンが無効です。");
            return std::nullopt;
        }
        if (header(req, "X-Tavro-Uid") != session->second) {
            *why = QStringLiteral("端末IDが一致しません。");
            return std::nullopt;
        }
        if (header(req, "appVersion").isEmpty()) {
            *why = QStringLiteral("アプリのバージョンがありません。");
            return std::nullopt;
        }
        if (paramTwice(req, "tavro_token") != storeToken) {
            *why = QStringLiteral("フォームのトークンが一致しません。");
            return std::nullopt;
        }
        const auto account = b.store.accountByAccessToken(paramTwice(req, "vamo_token"));
        if (!account || account->id != session->first.id) {
            *why = QStringLiteral("アカウントのトークンが無効です。");
            return std::nullopt;
        }
        res.set_header("Set-Cookie",
            (QLatin1String(kCookie) + u'=' + storeToken + QStringLiteral("; Path=/store-api; HttpOnly"))
                .toStdString());
        return Session { session->first, storeToken };
    }
    const QString cookie = cookieToken(req);
    if (const auto session = b.store.storeSession(cookie))
        return Session { session->first, cookie };
    *why = QStringLiteral("ストアにログインしてください。");
    return std::nullopt;
}

QString page(const QString &title, const QString &body)
{
    return QStringLiteral("<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"utf-8\"><title>%1</title>"
                          "<style>body{font-family:sans-serif;margin:1.5em}li{margin:.4em 0}"
                          "a.buy{margin-left:1em}</style></head><body><h1>%1</h1>%2"
                          "<p><a href=\"/store-api/store/mypage/index.php\">マイメニュー</a> | "
                          "<a href=\"/store-api/store/logout.php\">ログアウト</a></p></body></html>")
        .arg(htmlEscape(title), body);
}

// A download link of a signed-in page. The client downloads with a
// connection of its own that carries neither the page's headers nor its
// cookie, so the link carries the session: a key over the account, the book
// and the page's store token, signed with the server's secret. It stops
// working when that session ends (logout, device released).
QString downloadLink(const Backend &b, const Session &session, const CatalogueItem &item)
{
    QString query = QStringLiteral("bookId=%1&bookTitle=%2&bookAuthor=%3&bookPublisher=%4")
                        .arg(encodeURI(item.bookId), encodeURI(item.title), encodeURI(item.author),
                            encodeURI(item.publisher));
    if (item.print)
        query += QStringLiteral("&print=%1").arg(*item.print);
    query += QStringLiteral("&account=%1&key=%2")
                 .arg(session.account.id)
                 .arg(downloadKey(b.secret, session.storeToken, session.account.id, item.bookId));
    return QStringLiteral("/store-api/store/download.php?") + query;
}

QString listing(const Backend &b, const Session &session, const QList<const CatalogueItem *> &items,
    bool buyLinks, const QString &focus)
{
    QString html = QStringLiteral("<ul id=\"catalogue\">");
    for (const CatalogueItem *item : items) {
        html += QStringLiteral("<li%1><span class=\"title\">%2</span> / %3 / %4円 "
                               "<a class=\"download\" href=\"%5\">ダウンロード</a>")
                    .arg(item->bookId == focus ? QStringLiteral(" class=\"focus\"") : QString(),
                        htmlEscape(item->title), htmlEscape(item->author))
                    .arg(item->price)
                    .arg(htmlEscape(downloadLink(b, session, *item)));
        if (buyLinks)
            html += QStringLiteral("<a class=\"buy\" href=\"/store-api/store/buy.php?bookId=%1\">購入</a>")
                        .arg(encodeURI(item->bookId));
        html += QStringLiteral("</li>");
    }
    return html + QStringLiteral("</ul>");
}

// The account a download is made for: the store session of the request
// (cookie or store token), or the session a link's key was made in. Absent,
// with `why` set, when there is neither.
std::optional<qint64> downloadAccount(
    Backend &b, const httplib::Request &req, const QString &bookId, QString *why)
{
    const QString named = param(req, "account");
    const QString storeToken
        = header(req, "Authorization").isEmpty() ? cookieToken(req) : header(req, "Authorization");
    if (const auto session = b.store.storeSession(storeToken)) {
        if (!named.isEmpty() && named != QString::number(session->first.id)) {
            *why = QStringLiteral("download for account %1 in a session of account %2")
                       .arg(named.left(20))
                       .arg(session->first.id);
            return std::nullopt;
        }
        return session->first.id;
    }
    const QString key = param(req, "key");
    bool numeric = false;
    const qint64 accountId = named.toLongLong(&numeric);
    if (!numeric || key.isEmpty()) {
        *why = QStringLiteral("download without a session");
        return std::nullopt;
    }
    for (const QString &token : b.store.liveStoreTokens(accountId))
        if (sameKey(key, downloadKey(b.secret, token, accountId, bookId)))
            return accountId;
    *why = QStringLiteral("download key of no live session of account %1").arg(accountId);
    return std::nullopt;
}

void storePage(Backend &b, const httplib::Request &req, httplib::Response &res, const QString &which)
{
    QString why;
    const auto session = pageSession(b, req, res, &why);
    if (!session) {
        sendHtml(res,
            page(QStringLiteral("ストア"), QStringLiteral("<p class=\"error\">%1</p>").arg(htmlEscape(why))),
            401);
        return;
    }
    const Account *account = &session->account;
    const QString name = account->lastName.toString() + account->firstName.toString();
    if (which == u"top") {
        QList<const CatalogueItem *> all;
        for (const CatalogueItem &i : b.config.catalogue)
            all.append(&i);
        sendHtml(res,
            page(QStringLiteral("ストア"),
                QStringLiteral("<p class=\"user\">%1 様</p>").arg(htmlEscape(name))
                    + listing(b, *session, all, true, paramTwice(req, "bookId"))));
    } else if (which == u"acquired") {
        QList<const CatalogueItem *> owned;
        for (const QString &id : b.store.purchases(account->id))
            if (const CatalogueItem *i = b.config.item(id))
                owned.append(i);
        sendHtml(res,
            page(QStringLiteral("取得済み書籍"),
                owned.isEmpty() ? QStringLiteral("<p id=\"empty\">取得済みの書籍はありません。</p>")
                                : listing(b, *session, owned, false, QString())));
    } else {
        sendHtml(res,
            page(QStringLiteral("マイメニュー"),
                QStringLiteral("<p class=\"user\">%1 様（%2）</p><p>登録端末: %3台</p>")
                    .arg(htmlEscape(name), htmlEscape(account->login))
                    .arg(b.store.devices(account->id).size())));
    }
}

} // namespace

void installStoreApi(httplib::Server &server, Backend &b)
{
    server.Get(kPrefix + "/api/token", [&b](const httplib::Request &req, httplib::Response &res) {
        const QString token = b.store.issueStoreToken(paramTwice(req, "token"), paramTwice(req, "uid"));
        if (token.isEmpty()) {
            sendJson(res,
                QVariantMap { { QStringLiteral("result"), false },
                    { QStringLiteral("message"), QStringLiteral("認証に失敗しました。") } },
                401);
            return;
        }
        res.set_header("token", token.toStdString());
        sendJson(res, QVariantMap { { QStringLiteral("result"), true } });
    });

    server.Post(kPrefix + "/api/login", [&b](const httplib::Request &req, httplib::Response &res) {
        const auto answer
            = b.store.login(paramTwice(req, "token"), paramTwice(req, "uid"), b.config.deviceLimit);
        sendJson(res, answer.body, answer.status);
    });

    server.Delete(kPrefix + "/api/user/device", [&b](const httplib::Request &req, httplib::Response &res) {
        sendJson(res,
            b.store.releaseDevice(paramTwice(req, "token"), paramTwice(req, "uid"), paramTwice(req, "id")));
    });

    server.Post(kPrefix + "/store/index_m.php", [&b](const httplib::Request &req, httplib::Response &res) {
        storePage(b, req, res, QStringLiteral("top"));
    });
    server.Get(kPrefix + "/store/index_m.php", [&b](const httplib::Request &req, httplib::Response &res) {
        storePage(b, req, res, QStringLiteral("top"));
    });
    server.Post(
        kPrefix + "/store/mypage/index.php", [&b](const httplib::Request &req, httplib::Response &res) {
            storePage(b, req, res, QStringLiteral("mypage"));
        });
    server.Get(
        kPrefix + "/store/mypage/index.php", [&b](const httplib::Request &req, httplib::Response &res) {
            storePage(b, req, res, QStringLiteral("mypage"));
        });
    server.Post(
        kPrefix + "/store/acquired_list.php", [&b](const httplib::Request &req, httplib::Response &res) {
            storePage(b, req, res, QStringLiteral("acquired"));
        });
    server.Get(
        kPrefix + "/store/acquired_list.php", [&b](const httplib::Request &req, httplib::Response &res) {
            storePage(b, req, res, QStringLiteral("acquired"));
        });

    server.Get(kPrefix + "/store/buy.php", [&b](const httplib::Request &req, httplib::Response &res) {
        const QString cookie = cookieToken(req);
        const auto session = b.store.storeSession(cookie);
        const CatalogueItem *item = b.config.item(param(req, "bookId"));
        if (!session || !item) {
            sendHtml(res,
                page(QStringLiteral("購入"), QStringLiteral("<p class=\"error\">購入できませんでした。</p>")),
                403);
            return;
        }
        b.store.purchase(session->first.id, item->bookId);
        sendHtml(res,
            page(QStringLiteral("購入完了"),
                QStringLiteral("<p id=\"bought\">「%1」を購入しました。</p>"
                               "<p><a class=\"download\" href=\"%2\">ダウンロード</a></p>")
                    .arg(htmlEscape(item->title),
                        htmlEscape(downloadLink(b, Session { session->first, cookie }, *item)))));
    });

    server.Get(kPrefix + "/store/download.php", [&b](const httplib::Request &req, httplib::Response &res) {
        const CatalogueItem *item = b.config.item(param(req, "bookId"));
        if (!item) {
            sendHtml(res,
                page(QStringLiteral("ダウンロード"), QStringLiteral("<p>その書籍はありません。</p>")), 404);
            return;
        }
        QString why;
        const std::optional<qint64> account = downloadAccount(b, req, item->bookId, &why);
        if (!account && !item->freeSample) {
            refuse(res, 403, why);
            sendHtml(res,
                page(QStringLiteral("ダウンロード"),
                    QStringLiteral("<p>ダウンロードの権限がありません。</p>")),
                403);
            return;
        }
        QFile file(b.samplesDir + u'/' + item->file);
        if (!file.open(QIODevice::ReadOnly)) {
            sendHtml(res,
                page(QStringLiteral("ダウンロード"), QStringLiteral("<p>ファイルがありません。</p>")), 500);
            return;
        }
        // A free sample downloads for anyone; it is counted as acquired
        // only for a proven session.
        if (account)
            b.store.purchase(*account, item->bookId);
        const QString name = QFileInfo(item->file).fileName();
        const QByteArray data = file.readAll();
        const QString suffix = QFileInfo(name).suffix().toLower();
        const char *type = suffix == u"epub" ? "application/epub+zip"
            : suffix == u"pdf"               ? "application/pdf"
                                             : "application/zip";
        // The ASCII fallback keeps old clients working; filename* carries
        // the real (UTF-8) name.
        QString ascii = name;
        for (QChar &c : ascii)
            if (c.unicode() > 0x7E || c == u'"' || c == u'\\')
                c = u'_';
        res.set_header("Content-Disposition",
            QStringLiteral("attachment; filename=\"%1\"; filename*=UTF-8''%2")
                .arg(ascii, encodeURI(name))
                .toStdString());
        res.set_content(data.toStdString(), type);
    });

    server.Get(kPrefix + "/store/logout.php", [&b](const httplib::Request &req, httplib::Response &res) {
        b.store.revokeStoreToken(cookieToken(req));
        res.set_header("Set-Cookie", std::string(kCookie) + "=; Path=/store-api; Max-Age=0");
        sendHtml(res,
            QStringLiteral(
                "<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"utf-8\"><title>ログアウト</title>"
                "</head><body><p>ログアウトしました。</p></body></html>"));
    });

    server.Post(kPrefix + "/api/entry", [&b](const httplib::Request &req, httplib::Response &res) {
        if (formFieldCount(req.body) > kMaxParameters) {
            refuse(res, 400, QStringLiteral("too many form fields"));
            return;
        }
        // The client may send the form values as they are or percent-encoded.
        const QVariantMap form = splitForm(QString::fromStdString(req.body));
        const auto account = b.store.accountByAccessToken(form.value(QStringLiteral("token")).toString());
        const QString provider = form.value(QStringLiteral("provider")).toString();
        const QString item = form.value(QStringLiteral("item")).toString();
        if (!account || provider.isEmpty() || item.isEmpty()) {
            sendJson(res,
                QVariantMap { { QStringLiteral("messages"), QVariant::fromValue(nullptr) },
                    { QStringLiteral("error"), QStringLiteral("entry refused") } });
            return;
        }
        QVariantMap fields = form;
        fields.insert(QStringLiteral("account"), account->login);
        b.store.recordEntry(fields);
        sendJson(res,
            QVariantMap { { QStringLiteral("messages"), QStringLiteral("エントリーを受け付けました。") } });
    });
}
