#include "DownLoader.h"

#include "InstallRecovery.h"
#include "core/content/SafePath.h"
#include "core/util/Logging.h"
#include "core/util/StringHelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QUuid>

DownLoader::DownLoader(QNetworkAccessManager &network)
    : m_network(network)
{
}

DownLoader::~DownLoader()
{
    m_call = nullptr;
    finish();
}

QString DownLoader::fileNameFromDisposition(const QByteArray &disposition)
{
    const QString text = QString::fromLatin1(disposition);
    static const QRegularExpression extended(QStringLiteral("filename\\*\\s*=\\s*([^']*)'[^']*'([^;]+)"),
        QRegularExpression::CaseInsensitiveOption);
    if (const auto m = extended.match(text); m.hasMatch()) {
        if (const auto decoded = decodeURI(m.captured(2).trimmed()))
            return *decoded;
    }
    static const QRegularExpression plain(
        QStringLiteral("filename\\s*=\\s*(\"([^\"]*)\"|[^;]+)"), QRegularExpression::CaseInsensitiveOption);
    if (const auto m = plain.match(text); m.hasMatch()) {
        const QString value = m.captured(2).isNull() ? m.captured(1).trimmed() : m.captured(2);
        return QString::fromUtf8(value.toLatin1());
    }
    return {};
}

void DownLoader::downloadWithRequest(const QNetworkRequest &request, Callback call)
{
    m_call = std::move(call);
    url = request.url();
    // A paid book on its way in is readable by this user only: a file of
    // its own (never one that exists) in the private folder.
    const QString folder = InstallRecovery::privateTempFolder();
    tmpFile = folder.isEmpty() ? QString() : folder + u'/' + InstallRecovery::downloadFileName();
    m_file = std::make_unique<QFile>(tmpFile);
    status = Waiting;
    totalSize = 0;
    currentSize = 0;
    if (tmpFile.isEmpty()
        || !m_file->open(
            QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        qCWarning(lcStore) << "cannot create" << tmpFile;
        end(Failed);
        return;
    }
    m_reply = m_network.get(request);
    QNetworkReply *reply = m_reply;
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [this, reply] {
        const QVariant httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const bool isFile = reply->url().scheme() == u"file";
        if (!isFile && httpStatus.isValid() && httpStatus.toInt() != 200) {
            // An error page is no book.
            qCWarning(lcStore) << "download of" << reply->url() << "answered" << httpStatus.toInt();
            end(Failed);
            return;
        }
        if (isFile || httpStatus.toInt() == 200)
            totalSize = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        QString name = fileNameFromDisposition(reply->rawHeader("Content-Disposition"));
        if (name.isEmpty())
            name = reply->url().path(QUrl::FullyDecoded).section(u'/', -1);
        name = QFileInfo(name).fileName();
        suggestedFilename = SafePath::isSafeFileName(name) ? name : QString();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [this, reply] {
        if (m_ended)
            return;
        const QByteArray data = reply->readAll();
        status = Receiving;
        currentSize += data.size();
        if (totalSize != 0)
            progress = double(currentSize) / double(totalSize);
        if (m_file->write(data) != data.size()) {
            qCWarning(lcStore) << "cannot write the download to" << tmpFile;
            end(Failed);
            return;
        }
        if (m_call)
            m_call(*this);
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply] {
        if (m_ended)
            return;
        const QByteArray rest = reply->readAll();
        if (!rest.isEmpty()) {
            m_file->write(rest);
            currentSize += rest.size();
        }
        bool lengthOk = false;
        const qlonglong announced = reply->rawHeader("Content-Length").toLongLong(&lengthOk);
        if (reply->error() != QNetworkReply::NoError || (lengthOk && currentSize < announced)) {
            qCWarning(lcStore) << "download of" << reply->url() << "failed:" << reply->errorString();
            end(Failed);
            return;
        }
        end(Finished);
    });
}

void DownLoader::end(int finalStatus)
{
    if (m_ended)
        return;
    m_ended = true;
    status = finalStatus;
    if (m_file)
        m_file->close();
    if (m_call)
        m_call(*this);
    finish();
}

void DownLoader::stop()
{
    end(Failed);
}

void DownLoader::finish()
{
    m_ended = true;
    if (m_reply) {
        QNetworkReply *reply = m_reply;
        m_reply = nullptr;
        reply->disconnect();
        reply->abort();
        reply->deleteLater();
    }
    if (m_file) {
        m_file->close();
        m_file->remove();
        m_file.reset();
    }
}
