// The news provider's XML-RPC endpoint "/news-rpc": "get_article_update_status",
// "get_article_list", "get_article"; faults for bad credentials.
#include "Backend.h"
#include "BackendLog.h"
#include "HttpUtil.h"

#include "core/content/XML2DicParser.h"
#include "core/util/DictionaryHelpers.h"

#include <algorithm>

namespace
{

QString xmlText(const QString &s)
{
    return s.toHtmlEscaped();
}

QString valueXml(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
        return QStringLiteral("<value><int>%1</int></value>").arg(v.toLongLong());
    case QMetaType::Bool:
        return QStringLiteral("<value><boolean>%1</boolean></value>").arg(v.toBool() ? 1 : 0);
    case QMetaType::QVariantList: {
        QString out = QStringLiteral("<value><array><data>");
        for (const QVariant &e : v.toList())
            out += valueXml(e);
        return out + QStringLiteral("</data></array></value>");
    }
    case QMetaType::QVariantMap: {
        QString out = QStringLiteral("<value><struct>");
        const QVariantMap m = v.toMap();
        for (auto it = m.cbegin(); it != m.cend(); ++it)
            out += QStringLiteral("<member><name>%1</name>%2</member>")
                       .arg(xmlText(it.key()), valueXml(it.value()));
        return out + QStringLiteral("</struct></value>");
    }
    default:
        return QStringLiteral("<value><string>%1</string></value>").arg(xmlText(v.toString()));
    }
}

void respond(httplib::Response &res, const QVariant &value)
{
    res.set_content(("<?xml version=\"1.0\"?><methodResponse><params><param>" + valueXml(value)
                        + "</param></params></methodResponse>")
                        .toStdString(),
        "text/xml; charset=utf-8");
}

void fault(httplib::Response &res, int code, const QString &message)
{
    res.set_content(("<?xml version=\"1.0\"?><methodResponse><fault>"
                        + valueXml(QVariantMap { { QStringLiteral("faultCode"), code },
                            { QStringLiteral("faultString"), message } })
                        + "</fault></methodResponse>")
                        .toStdString(),
        "text/xml; charset=utf-8");
}

// The scalar parameters of a method call, as text, in order.
QStringList callParams(const QVariantMap &call)
{
    QStringList out;
    for (const QVariant &p :
        pathToArray(call, QStringLiteral("methodCall/params/param")).value_or(QVariantList())) {
        const auto value = pathToDictionary(p.toMap(), QStringLiteral("value"));
        if (!value) {
            out << QString();
            continue;
        }
        QString text = pathToString(*value, QStringLiteral("value")).value_or(QString());
        for (auto it = value->cbegin(); it != value->cend(); ++it)
            if (it.value().metaType().id() == QMetaType::QVariantMap)
                text = pathToString(it.value().toMap(), QStringLiteral("value")).value_or(QString());
        out << text;
    }
    return out;
}

QVariantList articlesNewestFirst(const Backend &b)
{
    QVariantList list = b.config.articles;
    std::sort(list.begin(), list.end(), [](const QVariant &x, const QVariant &y) {
        return x.toMap().value(QStringLiteral("date")).toString()
            > y.toMap().value(QStringLiteral("date")).toString();
    });
    return list;
}

} // namespace

void installNewsRpc(httplib::Server &server, Backend &b)
{
    server.Post("/news-rpc", [&b](const httplib::Request &req, httplib::Response &res) {
        // The body's size is bounded before it is read (see Backend::install),
        // which bounds the parser's work too.
        const QVariantMap call
            = XML2DicParser::parse(QByteArray::fromStdString(req.body)).value_or(QVariantMap());
        const QString method
            = pathToString(call, QStringLiteral("methodCall/methodName/value")).value_or(QString());
        if (method.isEmpty()) {
            qCWarning(lcBackend).noquote() << QStringLiteral("malformed XML-RPC call of %1 bytes from %2")
                                                  .arg(req.body.size())
                                                  .arg(logSafe(req.remote_addr, 64));
            return fault(res, -32700, QStringLiteral("Parse error: not an XML-RPC method call"));
        }
        const QStringList params = callParams(call);
        auto credentialsAt = [&](int index) {
            return params.value(index) == b.config.serviceEmail
                && params.value(index + 1) == b.config.servicePassword;
        };
        const QVariantList articles = articlesNewestFirst(b);
        if (method == u"get_article_update_status") {
            if (!credentialsAt(2))
                return fault(res, 401, QStringLiteral("Authentication failed"));
            QVariantList dates;
            if (!articles.isEmpty())
                dates.append(QVariantMap {
                    { QStringLiteral("date"), articles.first().toMap().value(QStringLiteral("date")) } });
            return respond(res,
                QVariantMap {
                    { QStringLiteral("total"), articles.size() }, { QStringLiteral("list"), dates } });
        }
        if (method == u"get_article_list") {
            if (!credentialsAt(2))
                return fault(res, 401, QStringLiteral("Authentication failed"));
            const int count = std::max(0, params.value(1).toInt());
            QVariantList list;
            for (const QVariant &a : articles.mid(0, count)) {
                const QVariantMap m = a.toMap();
                list.append(QVariantMap { { QStringLiteral("id"), m.value(QStringLiteral("id")).toInt() },
                    { QStringLiteral("title"), m.value(QStringLiteral("title")).toString() },
                    { QStringLiteral("date"), m.value(QStringLiteral("date")).toString() } });
            }
            return respond(res, QVariantMap { { QStringLiteral("list"), list } });
        }
        if (method == u"get_article") {
            if (!credentialsAt(1))
                return fault(res, 401, QStringLiteral("Authentication failed"));
            for (const QVariant &a : articles) {
                const QVariantMap m = a.toMap();
                if (m.value(QStringLiteral("id")).toString() == params.value(0))
                    return respond(res,
                        QVariantMap {
                            { QStringLiteral("body"), m.value(QStringLiteral("body")).toString() } });
            }
            return fault(res, 404, QStringLiteral("No such article"));
        }
        fault(res, -32601, QStringLiteral("Method not found"));
    });
}
