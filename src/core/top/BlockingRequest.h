// A request sent and waited for in a local event loop: the window keeps
// painting, and no wait lasts longer than the time-out. Main thread only.
#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <optional>

class QNetworkAccessManager;

struct BlockingAnswer {
    int status = 0; // 0 without an HTTP answer
    QByteArray body;
    std::optional<QString> error; // transport failure or time-out
};

BlockingAnswer sendSynchronously(QNetworkAccessManager &network, QNetworkRequest request,
    const QByteArray &method, const QByteArray &body, int timeoutMs);
