// Downloads one file into a temporary file, reporting every change to a
// callback: status 0 waiting, 1 receiving, 2 finished, 3 failed or stopped.
// An HTTP answer other than 200 fails the download (nothing of it is to be
// installed); a file:// request has no status and succeeds.
//
// The temporary file is deleted when the download ends, right after the
// callback for status 2 or 3 returns: the callback takes what it needs
// first, and must not delete the DownLoader (release it later). Main thread
// only.
#pragma once

#include <QFile>
#include <QNetworkRequest>
#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

class DownLoader
{
public:
    enum Status { Waiting = 0, Receiving = 1, Finished = 2, Failed = 3 };
    using Callback = std::function<void(DownLoader &)>;

    explicit DownLoader(QNetworkAccessManager &network);
    ~DownLoader();
    DownLoader(const DownLoader &) = delete;
    DownLoader &operator=(const DownLoader &) = delete;

    void downloadWithRequest(const QNetworkRequest &request, Callback call);
    // Status 3, one callback, then finish().
    void stop();
    // Cancels the transfer, closes and deletes the temporary file.
    void finish();

    int status = Waiting;
    QString tmpFile;
    qint64 totalSize = 0;
    qint64 currentSize = 0;
    double progress = 0.0;
    // The file name the answer proposes (Content-Disposition, else the last
    // path component); only a plain file name, never a path.
    QString suggestedFilename;
    // The package information of a PDF download (set by the store screen).
    QVariantMap info;
    QUrl url;

    // The file name in a Content-Disposition value (filename* first), or empty.
    static QString fileNameFromDisposition(const QByteArray &disposition);

private:
    void end(int finalStatus);

    QNetworkAccessManager &m_network;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<QFile> m_file;
    Callback m_call;
    bool m_ended = false;
};
