// Annotation sync server: "/sync" + "/shareapi/insertBookAll",
// "/shareapi/insertPdfAll", "/shareapi/getMyBookAll", "/shareapi/getMyPdfAll".
//
// Both directions need the signed-in session: the profile access token as
// "Authorization: Bearer TOKEN". An upload writes only the session's own
// annotations (a record without a user becomes the session's); a download
// reads only them.
#include "Backend.h"
#include "HttpUtil.h"

#include "core/util/StringHelpers.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace
{

// The "json" value of an upload body, sent as it is ("json={...}") or
// percent-encoded as a form value: the raw text is tried first, so a memo
// holding "%41" or "+" arrives as written either way.
std::optional<QVariantMap> uploadDocument(const std::string &body)
{
    QString text = QString::fromUtf8(body.data(), qsizetype(body.size()));
    if (!text.startsWith(QStringLiteral("json=")))
        return std::nullopt;
    text = text.mid(5);
    QJsonParseError error {};
    QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (!doc.isObject()) {
        const qsizetype amp = text.indexOf(u'&');
        const QString value = amp < 0 ? text : text.left(amp);
        const auto decoded = decodeURI(value);
        if (!decoded)
            return std::nullopt;
        doc = QJsonDocument::fromJson(decoded->toUtf8(), &error);
    }
    if (!doc.isObject())
        return std::nullopt;
    return doc.object().toVariantMap();
}

QString kindOf(const QVariantMap &record, bool isPdf)
{
    const QString prefix = isPdf ? QStringLiteral("Pdfs") : QStringLiteral("Books");
    const QString memo = record.value(QStringLiteral("memoText")).toString();
    if (!memo.isEmpty() && memo != u"(null)")
        return prefix + QStringLiteral("Memo");
    if (record.value(QStringLiteral("highlightNo")).toString().toLongLong() >= 1)
        return prefix + QStringLiteral("Highlight");
    return prefix + QStringLiteral("Shiori");
}

// Records in one upload: more than any book's annotations.
constexpr qsizetype kMaxRecords = 10000;

// The signed-in account of the request, if any.
std::optional<Account> sessionAccount(Backend &b, const httplib::Request &req)
{
    const QString auth = header(req, "Authorization");
    if (!auth.startsWith(QStringLiteral("Bearer ")) || auth.size() <= 7)
        return std::nullopt;
    return b.store.accountByAccessToken(auth.mid(7));
}

void refuseJson(httplib::Response &res, int status, const QString &message, bool closeConnection = false)
{
    refuse(res, status, message, closeConnection);
    sendJson(res,
        QVariantMap {
            { QStringLiteral("result"), QStringLiteral("0") }, { QStringLiteral("message"), message } },
        status);
}

void upload(Backend &b, bool isPdf, const httplib::Request &req, httplib::Response &res,
    const httplib::ContentReader &content)
{
    // Judged before the body is read: the connection ends with the answer.
    const auto account = sessionAccount(b, req);
    if (!account) {
        refuseJson(res, 401, QStringLiteral("annotation upload without a signed-in session"), true);
        return;
    }
    // Read here rather than by httplib, which caps form bodies at 8 KB: a
    // book's annotations are more. The path's own limit holds (see
    // Backend::install).
    const size_t limit = bodyLimit(req.path);
    std::string body;
    const bool read = content([&](const char *data, size_t length) {
        body.append(data, length);
        return body.size() <= limit;
    });
    if (!read || body.size() > limit) {
        refuse(res, 413, QStringLiteral("sync upload over %1 bytes").arg(limit), true);
        return;
    }
    const auto doc = uploadDocument(body);
    if (!doc) {
        sendJson(res,
            QVariantMap { { QStringLiteral("result"), QStringLiteral("0") },
                { QStringLiteral("message"), QStringLiteral("json がありません") } },
            400);
        return;
    }
    if (doc->value(QStringLiteral("insertList")).toList().size()
            + doc->value(QStringLiteral("deleteList")).toList().size()
        > kMaxRecords) {
        refuse(res, 413, QStringLiteral("more than %1 records in one upload").arg(kMaxRecords));
        return;
    }
    // Every record must be the session's own; one made before signing in
    // (no user yet) becomes the session's.
    const QString self = QString::number(account->id);
    const QString userKey = QStringLiteral("user");
    auto ownedBySession = [&](QVariantMap &record) {
        const QString user = record.value(userKey).toString();
        if (user.isEmpty())
            record.insert(userKey, self);
        return user.isEmpty() || user == self;
    };
    QVariantList inserts = doc->value(QStringLiteral("insertList")).toList();
    QList<BackendStore::AnnotationDeletion> deletions;
    bool foreign = false;
    for (QVariant &v : inserts) {
        QVariantMap record = v.toMap();
        foreign = !ownedBySession(record) || foreign;
        v = record;
    }
    for (const QVariant &v : doc->value(QStringLiteral("deleteList")).toList()) {
        const QVariantMap entry = v.toMap();
        QVariantMap identity
            = QJsonDocument::fromJson(entry.value(QStringLiteral("JsonString")).toString().toUtf8())
                  .toVariant()
                  .toMap();
        foreign = !ownedBySession(identity) || foreign;
        deletions.append({ identity, entry.value(QStringLiteral("updateDate")).toString() });
    }
    if (foreign) {
        refuseJson(res, 403, QStringLiteral("annotation upload names another user"));
        return;
    }
    if (!b.store.applyAnnotationUpload(
            isPdf, inserts, deletions, [isPdf](const QVariantMap &r) { return kindOf(r, isPdf); })) {
        refuseJson(res, 500, QStringLiteral("annotation upload could not be stored"));
        return;
    }
    sendJson(res, QVariantMap { { QStringLiteral("result"), QStringLiteral("1") } });
}

void download(Backend &b, bool isPdf, const httplib::Request &req, httplib::Response &res)
{
    if (formFieldCount(req.body) > kMaxParameters) {
        refuse(res, 400, QStringLiteral("too many form fields"));
        return;
    }
    const auto account = sessionAccount(b, req);
    if (!account) {
        refuseJson(res, 401, QStringLiteral("annotation download without a signed-in session"));
        return;
    }
    const QVariantMap form = splitForm(QString::fromStdString(req.body));
    const QString bookId = form.value(QStringLiteral("bookId")).toString();
    const QString self = QString::number(account->id);
    QString user = form.value(QStringLiteral("user")).toString();
    if (user.isEmpty())
        user = self;
    if (bookId.isEmpty()) {
        sendJson(res, QVariantMap { { QStringLiteral("result"), QStringLiteral("0") } }, 400);
        return;
    }
    if (user != self) {
        refuseJson(res, 403, QStringLiteral("annotation download for another user"));
        return;
    }
    sendJson(res, b.store.annotations(isPdf, bookId, user));
}

} // namespace

void installSync(httplib::Server &server, Backend &b)
{
    const std::string prefix = "/sync/shareapi";
    server.Post(prefix + "/insertBookAll",
        [&b](const httplib::Request &req, httplib::Response &res, const httplib::ContentReader &content) {
            upload(b, false, req, res, content);
        });
    server.Post(prefix + "/insertPdfAll",
        [&b](const httplib::Request &req, httplib::Response &res, const httplib::ContentReader &content) {
            upload(b, true, req, res, content);
        });
    server.Post(prefix + "/getMyBookAll",
        [&b](const httplib::Request &req, httplib::Response &res) { download(b, false, req, res); });
    server.Post(prefix + "/getMyPdfAll",
        [&b](const httplib::Request &req, httplib::Response &res) { download(b, true, req, res); });
}
