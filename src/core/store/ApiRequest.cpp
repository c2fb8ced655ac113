#include "ApiRequest.h"

#include "core/util/StringHelpers.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStringDecoder>
#include <QUrl>

namespace
{

double timeoutScale = 1.0;

QString escapeValue(const QString &s, ApiEscaping escaping)
{
    const QString platform = platformEscape(s);
    return escaping == ApiEscaping::PlatformOnly ? platform : encodeURI(platform);
}

} // namespace

QByteArray ApiResponse::header(const QByteArray &name) const
{
    for (const auto &[k, v] : headers)
        if (k.compare(name, Qt::CaseInsensitive) == 0)
            return v;
    return {};
}

void setApiTimeoutScale(double scale)
{
    timeoutScale = scale;
}

double apiTimeoutScale()
{
    return timeoutScale;
}

QString platformEscape(const QString &s)
{
    return QString::fromLatin1(s.toUtf8().toPercentEncoding("!#$&'()*+,-./:;=?@_~"));
}

ApiRequest buildApiRequest(const QString &baseUrl, const QString &path, const QByteArray &method,
    const ApiParams &params, const ApiParams &headers, int timeoutMs, ApiEscaping escaping,
    bool queryForDelete, const QStringList &encodeOnlyKeys)
{
    QStringList pieces;
    for (const auto &[key, value] : params) {
        const QString v = encodeOnlyKeys.contains(key) ? encodeURI(value) : escapeValue(value, escaping);
        pieces << escapeValue(key, escaping) + u'=' + v;
    }
    const QString query = pieces.join(u'&');
    QString urlText = baseUrl + path;
    if ((method == "GET" || (method == "DELETE" && queryForDelete)) && !query.isEmpty())
        urlText += u'?' + query;

    ApiRequest out;
    out.request = QNetworkRequest(QUrl(urlText, QUrl::StrictMode));
    out.method = method;
    if (method == "POST") {
        out.body = query.toUtf8();
        out.request.setHeader(
            QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    }
    for (const auto &[name, value] : headers)
        out.request.setRawHeader(name.toUtf8(), value.toUtf8());
    out.request.setTransferTimeout(std::max(1, int(timeoutMs * timeoutScale)));
    return out;
}

void sendApiRequest(QNetworkAccessManager &network, const ApiRequest &request, ApiCompletion completion)
{
    QNetworkReply *reply = nullptr;
    if (request.method == "GET")
        reply = network.get(request.request);
    else if (request.method == "POST")
        reply = network.post(request.request, request.body);
    else if (request.method == "DELETE")
        reply = network.deleteResource(request.request);
    else
        reply = network.sendCustomRequest(request.request, request.method, request.body);

    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, completion = std::move(completion)] {
        reply->deleteLater();
        const QByteArray body = reply->readAll();
        const QVariant statusAttr = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        std::optional<ApiResponse> response;
        if (statusAttr.isValid())
            response = ApiResponse { statusAttr.toInt(), reply->rawHeaderPairs() };

        QVariant result;
        if (!body.isEmpty()) {
            const QJsonDocument doc = QJsonDocument::fromJson(body);
            if (doc.isObject() || doc.isArray())
                result = doc.toVariant();
        }

        std::optional<ApiError> error;
        // Qt's codes below 200 are transport failures (refused, closed,
        // time-out, host not found, proxy); above are HTTP answers.
        const int networkError = int(reply->error());
        if (networkError != QNetworkReply::NoError && networkError < 200)
            error = ApiError { QStringLiteral("Network"), networkError, reply->errorString(), true };
        // Qt reports a connection closed before the announced length as a
        // success; a cut answer is a transport failure all the same.
        bool lengthOk = false;
        const qlonglong announced = reply->rawHeader("Content-Length").toLongLong(&lengthOk);
        if (!error && lengthOk && body.size() < announced)
            error = ApiError { QStringLiteral("Network"), int(QNetworkReply::RemoteHostClosedError),
                QStringLiteral("the connection closed before the whole answer arrived"), true };
        if (response && response->status != 200)
            error = ApiError { QStringLiteral("HTTPSTATUS"), response->status, QString(), false };
        if (!result.isValid() || (!body.isEmpty() && error)) {
            QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const QString text = utf8.decode(body);
            // Only an answer that came (possibly empty) or a body that did
            // carries text to report.
            if (!utf8.hasError() && (response || !body.isEmpty()))
                error = ApiError { QStringLiteral("HTTPRET"), error ? error->code : 0, text,
                    error ? error->transport : false };
        }
        if (completion)
            completion(result, response, error);
    });
}
