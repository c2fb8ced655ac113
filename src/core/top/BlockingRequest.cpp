#include "BlockingRequest.h"

#include "core/store/ApiRequest.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>

BlockingAnswer sendSynchronously(QNetworkAccessManager &network, QNetworkRequest request,
    const QByteArray &method, const QByteArray &body, int timeoutMs)
{
    request.setTransferTimeout(std::max(1, int(timeoutMs * apiTimeoutScale())));
    QNetworkReply *reply = network.sendCustomRequest(request, method, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // User input waits; the window still paints.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    BlockingAnswer answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.body = reply->readAll();
    bool lengthOk = false;
    const qlonglong announced = reply->rawHeader("Content-Length").toLongLong(&lengthOk);
    if ((reply->error() != QNetworkReply::NoError && int(reply->error()) < 200)
        || (lengthOk && answer.body.size() < announced))
        answer.error = reply->errorString();
    reply->deleteLater();
    return answer;
}
