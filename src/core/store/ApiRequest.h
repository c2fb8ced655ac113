// Building and sending the requests of the store, store web and profile
// servers, and reading their answers into (result, response, error).
//
// Main thread only: answers arrive through the given QNetworkAccessManager's
// event loop, so completions run on the main thread.
#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkRequest>
#include <QPair>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

class QNetworkAccessManager;

using ApiParams = QList<QPair<QString, QString>>;

struct ApiError {
    // "HTTPSTATUS" (code: the status), "HTTPRET" (code: the preceding
    // error's, description: the body text), or "Network" for a transport
    // failure (code: QNetworkReply::NetworkError).
    QString domain;
    int code = 0;
    QString description;
    bool transport = false; // no HTTP answer arrived (refused, time-out, ...)
};

struct ApiResponse {
    int status = 0;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray header(const QByteArray &name) const;
};

// result: the body's JSON (a map or a list) or invalid; the result is passed
// on even when an error is set.
using ApiCompletion = std::function<void(const QVariant &result, const std::optional<ApiResponse> &response,
    const std::optional<ApiError> &error)>;

struct ApiRequest {
    QNetworkRequest request;
    QByteArray method;
    QByteArray body; // the form for POST
};

enum class ApiEscaping {
    PlatformThenEncodeURI, // the store API's and profile server's rule
    PlatformOnly, // the device report's rule
};

// The legacy "escape what is illegal in a URL" step: UTF-8 bytes of every
// character other than letters, digits and !#$&'()*+,-./:;=?@_~ are
// percent-encoded.
QString platformEscape(const QString &s);

// Builds a request: parameters joined as "k=v&..." (each escaped by
// `escaping`; the values of `encodeOnlyKeys` with encodeURI alone), appended
// after "?" for GET (and DELETE when `queryForDelete`), the body for POST;
// headers set; the time-out in milliseconds.
ApiRequest buildApiRequest(const QString &baseUrl, const QString &path, const QByteArray &method,
    const ApiParams &params, const ApiParams &headers, int timeoutMs, ApiEscaping escaping,
    bool queryForDelete = true, const QStringList &encodeOnlyKeys = {});

// Sends the request and calls `completion` with the answer read by the
// servers' common rules. A null completion is allowed.
void sendApiRequest(QNetworkAccessManager &network, const ApiRequest &request, ApiCompletion completion);

// Time-outs are multiplied by this factor (1 in the application; tests make
// them short).
void setApiTimeoutScale(double scale);
double apiTimeoutScale();
