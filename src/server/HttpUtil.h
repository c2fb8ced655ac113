// Small helpers shared by the backend's route files.
#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <httplib.h>

// A request parameter (query or form) as text; empty when absent.
QString param(const httplib::Request &req, const char *name);
// The same, percent-decoded once more: the store API's client escapes its
// parameters twice.
QString paramTwice(const httplib::Request &req, const char *name);
// A header as text; empty when absent.
QString header(const httplib::Request &req, const char *name);
// "a=1&b=2" split at "&" and the first "=", each side percent-decoded when
// it decodes ("+" kept as is); the raw text otherwise.
QVariantMap splitForm(const QString &body);

// More fields than this in one request's query or form body are refused.
constexpr qsizetype kMaxParameters = 256;
// The number of "&"-separated fields of a form body.
qsizetype formFieldCount(const std::string &body);

// Answers `status` with `why` as plain text and keeps `why` for the log
// line of this request. `closeConnection`: the connection ends after the
// answer (needed when the request's body was not read).
void refuse(httplib::Response &res, int status, const QString &why, bool closeConnection = false);
// The reason given to refuse() for the answer now being logged on this
// thread (then forgotten), or empty.
QString takeRefusalReason();

void sendJson(httplib::Response &res, const QVariant &value, int status = 200);
void sendHtml(httplib::Response &res, const QString &html, int status = 200);
QString htmlEscape(const QString &text);
