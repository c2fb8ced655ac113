#include "HttpUtil.h"

#include "BackendServer.h"

#include "core/util/StringHelpers.h"

#include <QJsonDocument>
#include <algorithm>
#include <utility>

QString param(const httplib::Request &req, const char *name)
{
    return req.has_param(name) ? QString::fromStdString(req.get_param_value(name)) : QString();
}

QString paramTwice(const httplib::Request &req, const char *name)
{
    const QString once = param(req, name);
    return decodeURI(once).value_or(once);
}

QString header(const httplib::Request &req, const char *name)
{
    return req.has_header(name) ? QString::fromStdString(req.get_header_value(name)) : QString();
}

QVariantMap splitForm(const QString &body)
{
    QVariantMap out;
    for (const QString &piece : body.split(u'&', Qt::SkipEmptyParts)) {
        const qsizetype eq = piece.indexOf(u'=');
        const QString key = eq < 0 ? piece : piece.left(eq);
        const QString value = eq < 0 ? QString() : piece.mid(eq + 1);
        out.insert(decodeURI(key).value_or(key), decodeURI(value).value_or(value));
    }
    return out;
}

qsizetype formFieldCount(const std::string &body)
{
    if (body.empty())
        return 0;
    return qsizetype(std::count(body.begin(), body.end(), '&')) + 1;
}

namespace
{
thread_local QString t_refusalReason;
}

void refuse(httplib::Response &res, int status, const QString &why, bool closeConnection)
{
    res.status = status;
    res.set_content((why + u'\n').toStdString(), "text/plain; charset=utf-8");
    t_refusalReason = why;
    if (closeConnection) {
        res.set_header("Connection", "close");
        BackendServer::closeAfterThisAnswer();
    }
}

QString takeRefusalReason()
{
    return std::exchange(t_refusalReason, QString());
}

void sendJson(httplib::Response &res, const QVariant &value, int status)
{
    res.status = status;
    const QByteArray json = QJsonDocument::fromVariant(value).toJson(QJsonDocument::Compact);
    res.set_content(json.toStdString(), "application/json; charset=utf-8");
}

void sendHtml(httplib::Response &res, const QString &html, int status)
{
    res.status = status;
    res.set_content(html.toStdString(), "text/html; charset=utf-8");
}

QString htmlEscape(const QString &text)
{
    return text.toHtmlEscaped();
}
