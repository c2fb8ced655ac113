// Store API server: "/store-api" + "/api/token", "/api/login",
// "/api/user/device", the store pages, downloads, "logout.php", "/api/entry".
#include "Backend.h"
#include "HttpUtil.h"

#include "util/StringHelpers.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace
{

const std::string kPrefix = "/store-api";
const char *kCookie = "tavro_store";

// The key that lets a download link of a signed-in page work without the
// page's headers (the client downloads with its own connection).
QString downloadKey(const Backend &b, qint64 accountId, const QString &bookId)
{
    return QString::fromLatin1(QCryptographicHash::hash(
        (b.config.clientSecret + u'|' + QString::number(accountId) + u'|' + bookId).toUtf8(),
        QCryptographicHash::Sha256)
                                   .toHex()
                                   .left(24));
}

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

// The signed-in store session of a page request: the client's headers
// ("X-Tavro-Uid", "Authorization" = store token, "appVersion") with the
// form's tokens, or the cookie a signed-in page set.
std::optional<Account> pageSession(
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
        return session->first;
    }
    if (const auto session = b.store.storeSession(cookieToken(req)))
        return session->first;
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

QString downloadLink(const Backend &b, const Account &account, const CatalogueItem &item)
{
    QString query = QStringLiteral("bookId=%1&bookTitle=%2&bookAuthor=%3&bookPublisher=%4")
                        .arg(encodeURI(item.bookId), encodeURI(item.title), encodeURI(item.author),
                            encodeURI(item.publisher));
    if (item.print)
        query += QStringLiteral("&print=%1").arg(*item.print);
    query
        += QStringLiteral("&account=%1&key=%2").arg(account.id).arg(downloadKey(b, account.id, item.bookId));
    return QStringLiteral("/store-api/store/download.php?") + query;
}

QString listing(const Backend &b, const Account &account, const QList<const CatalogueItem *> &items,
    bool buyLinks, const QString &focus)
{
    QString html = QStringLiteral("<ul id=\"catalogue\">");
    for (const CatalogueItem *item : items) {
        html += QStringLiteral("<li%1><span class=\"title\">%2</span> / %3 / %4円 "
                               "<a class=\"download\" href=\"%5\">ダウンロード</a>")
                    .arg(item->bookId == focus ? QStringLiteral(" class=\"focus\"") : QString(),
                        htmlEscape(item->title), htmlEscape(item->author))
                    .arg(item->price)
                    .arg(htmlEscape(downloadLink(b, account, *item)));
        if (buyLinks)
            html += QStringLiteral("<a class=\"buy\" href=\"/store-api/store/buy.php?bookId=%1\">購入</a>")
                        .arg(encodeURI(item->bookId));
        html += QStringLiteral("</li>");
    }
    return html + QStringLiteral("</ul>");
}

void storePage(Backend &b, const httplib::Request &req, httplib::Response &res, const QString &which)
{
    QString why;
    const auto account = pageSession(b, req, res, &why);
    if (!account) {
        sendHtml(res,
            page(QStringLiteral("ストア"), QStringLiteral("<p class=\"error\">%1</p>").arg(htmlEscape(why))),
            401);
        return;
    }
    const QString name = account->lastName.toString() + account->firstName.toString();
    if (which == u"top") {
        QList<const CatalogueItem *> all;
        for (const CatalogueItem &i : b.config.catalogue)
            all.append(&i);
        sendHtml(res,
            page(QStringLiteral("ストア"),
                QStringLiteral("<p class=\"user\">%1 様</p>").arg(htmlEscape(name))
                    + listing(b, *account, all, true, paramTwice(req, "bookId"))));
    } else if (which == u"acquired") {
        QList<const CatalogueItem *> owned;
        for (const QString &id : b.store.purchases(account->id))
            if (const CatalogueItem *i = b.config.item(id))
                owned.append(i);
        sendHtml(res,
            page(QStringLiteral("取得済み書籍"),
                owned.isEmpty() ? QStringLiteral("<p id=\"empty\">取得済みの書籍はありません。</p>")
                                : listing(b, *account, owned, false, QString())));
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
        const auto session = b.store.storeSession(cookieToken(req));
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
                    .arg(htmlEscape(item->title), htmlEscape(downloadLink(b, session->first, *item)))));
    });

    server.Get(kPrefix + "/store/download.php", [&b](const httplib::Request &req, httplib::Response &res) {
        const CatalogueItem *item = b.config.item(param(req, "bookId"));
        if (!item) {
            sendHtml(res,
                page(QStringLiteral("ダウンロード"), QStringLiteral("<p>その書籍はありません。</p>")), 404);
            return;
        }
        const qint64 account = param(req, "account").toLongLong();
        if (!item->freeSample && param(req, "key") != downloadKey(b, account, item->bookId)) {
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
        if (account > 0)
            b.store.purchase(account, item->bookId);
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
