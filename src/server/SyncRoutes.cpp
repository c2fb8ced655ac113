// Annotation sync server: "/sync" + "/shareapi/insertBookAll",
// "/shareapi/insertPdfAll", "/shareapi/getMyBookAll", "/shareapi/getMyPdfAll".
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

void upload(Backend &b, bool isPdf, const httplib::Request &req, httplib::Response &res,
    const httplib::ContentReader &content)
{
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
    for (const QVariant &v : doc->value(QStringLiteral("insertList")).toList())
        b.store.upsertAnnotation(isPdf, kindOf(v.toMap(), isPdf), v.toMap());
    for (const QVariant &v : doc->value(QStringLiteral("deleteList")).toList()) {
        const QVariantMap entry = v.toMap();
        const QVariantMap identity
            = QJsonDocument::fromJson(entry.value(QStringLiteral("JsonString")).toString().toUtf8())
                  .toVariant()
                  .toMap();
        b.store.deleteAnnotation(isPdf, entry.value(QStringLiteral("TableName")).toString(), identity,
            entry.value(QStringLiteral("updateDate")).toString());
    }
    sendJson(res, QVariantMap { { QStringLiteral("result"), QStringLiteral("1") } });
}

void download(Backend &b, bool isPdf, const httplib::Request &req, httplib::Response &res)
{
    if (formFieldCount(req.body) > kMaxParameters) {
        refuse(res, 400, QStringLiteral("too many form fields"));
        return;
    }
    const QVariantMap form = splitForm(QString::fromStdString(req.body));
    const QString bookId = form.value(QStringLiteral("bookId")).toString();
    const QString user = form.value(QStringLiteral("user")).toString();
    if (bookId.isEmpty()) {
        sendJson(res, QVariantMap { { QStringLiteral("result"), QStringLiteral("0") } }, 400);
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
