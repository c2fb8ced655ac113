#include "TopLogic.h"

#include "BlockingRequest.h"
#include "core/account/AccountSession.h"
#include "core/content/BookFormat.h"
#include "core/content/BookUrl.h"
#include "core/content/EPUBManager.h"
#include "core/platform/DataFolder.h"
#include "core/platform/ServerConfig.h"
#include "core/platform/UserDefaults.h"
#include "core/shelf/ShelfModel.h"
#include "core/store/StoreManager.h"
#include "core/sync/QMShareHelper.h"
#include "core/util/ContextGuard.h"
#include "core/util/DataHelpers.h"
#include "core/util/DictionaryHelpers.h"
#include "core/util/Logging.h"
#include "core/util/StringHelpers.h"

#include <QDir>
#include <QFile>
#include <QNetworkReply>
#include <QSaveFile>

TopLogic::TopLogic(
    const Library &library, const ServerConfig &servers, StoreManager &store, QMShareHelper *sync)
    : m_library(library)
    , m_servers(servers)
    , m_store(store)
    , m_sync(sync)
{
}

QString TopLogic::createParam() const
{
    return QStringLiteral("?cid=%1&pwd=%2").arg(encodeURI(m_servers.newsCid), encodeURI(m_servers.newsPwd));
}

bool TopLogic::reconnectForToken()
{
    const QUrl url(m_servers.baseUrl(ServerConfig::Endpoint::StoreWeb)
        + QStringLiteral("/rest/authentication.php") + createParam());
    qCInfo(lcTop) << url;
    const BlockingAnswer answer
        = sendSynchronously(m_network, QNetworkRequest(url), "GET", QByteArray(), 60000);
    qCInfo(lcTop) << "error:" << answer.error.value_or(QString());
    qCInfo(lcTop) << "jsonString ==" << QString::fromUtf8(answer.body);
    const QVariantMap json = jsonDecode(QString::fromUtf8(answer.body)).toMap();
    if (json.value(QStringLiteral("result")).toBool()) {
        qCInfo(lcTop) << "認証 成功";
        const auto token = stringForKey(json, QStringLiteral("token"));
        if (!token)
            return false;
        requestNewsInfo(*token);
        return true;
    }
    qCInfo(lcTop) << "認証 失敗";
    newsUnreachable = answer.error.has_value();
    loadDataFromCache();
    return false;
}

void TopLogic::requestNewsInfo(const QString &token)
{
    m_store.requestAPIToken(QStringLiteral("/rest/getInformationsV2.php"), "GET",
        { { QStringLiteral("token"), token }, { QStringLiteral("exec"), QStringLiteral("G") } }, {},
        guardedBy(&m_context,
            [this](const QVariant &result, const std::optional<ApiResponse> &,
                const std::optional<ApiError> &error) {
                const QVariantMap answer = result.toMap();
                newsUnreachable = error && error->transport;
                if (answer.value(QStringLiteral("result")).toBool()) {
                    qCInfo(lcTop) << "インフォメーション取得 成功";
                    m_library.news().deleteCacheInfos();
                    QVariantList kept;
                    for (const QVariant &v : answer.value(QStringLiteral("records")).toList()) {
                        const QVariantMap r = v.toMap();
                        const QString category
                            = stringForKey(r, QStringLiteral("infocategory_id")).value_or(QString());
                        if (!category.isEmpty() && category.toInt() == 1)
                            kept.append(r);
                        m_library.news().upsertCacheNews(
                            stringForKey(r, QStringLiteral("info_id")).value_or(QString()).toLongLong(),
                            category.toLongLong(),
                            stringForKey(r, QStringLiteral("info_detail")).value_or(QString()));
                    }
                    newsLists = kept;
                } else {
                    loadDataFromCache();
                    return; // loadDataFromCache told the screen
                }
                if (newsReloaded)
                    newsReloaded();
            }));
}

void TopLogic::loadDataFromCache()
{
    QVariantList rows;
    for (const CacheInfo &c : m_library.news().allCacheInfos()) {
        if (c.categoryId.value_or(0) != 1)
            continue;
        rows.append(QVariantMap { { QStringLiteral("infocategory_id"), c.categoryId.value_or(0) },
            { QStringLiteral("info_id"), c.infoId.value_or(0) },
            { QStringLiteral("info_detail"), c.information.value_or(QString()) },
            { QStringLiteral("info_date"), c.newsDate ? QVariant(*c.newsDate) : QVariant() },
            { QStringLiteral("info_body"), c.body.value_or(QString()) } });
    }
    newsLists = rows;
    if (newsReloaded)
        newsReloaded();
}

QString TopLogic::informationFilePath()
{
    return DataFolder::path() + QStringLiteral("/medicalInformation.json");
}

void TopLogic::loadJsonFile(std::function<void()> done)
{
    QNetworkRequest request(m_servers.informationFileUrl());
    request.setTransferTimeout(std::max(1, int(60000 * apiTimeoutScale())));
    QNetworkReply *reply = m_network.get(request);
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, done = std::move(done)] {
        reply->deleteLater();
        const QByteArray body = reply->readAll();
        bool lengthOk = false;
        const qlonglong announced = reply->rawHeader("Content-Length").toLongLong(&lengthOk);
        const bool complete
            = reply->error() == QNetworkReply::NoError && !(lengthOk && body.size() < announced);
        if (complete) {
            qCInfo(lcTop) << "jsonString ==" << QString::fromUtf8(body.left(200));
            const auto json = jsonDictonary(body);
            // Only a file with "contents" replaces the stored one, in one step.
            if (json && json->contains(QStringLiteral("contents"))) {
                QSaveFile file(informationFilePath());
                QDir().mkpath(DataFolder::path());
                if (file.open(QIODevice::WriteOnly)) {
                    file.write(body);
                    file.commit();
                }
            }
        }
        if (done)
            done();
    });
}

void TopLogic::processTheData()
{
    QFile file(informationFilePath());
    const auto json = file.open(QIODevice::ReadOnly) ? jsonDictonary(file.readAll()) : std::nullopt;
    contentsArray
        = json ? arrayForKey(*json, QStringLiteral("contents")).value_or(QVariantList()) : QVariantList();
}

QList<BookMetaData> TopLogic::recentItems(const BookRepository &books)
{
    if (AccountSession::isLifted())
        return {};
    return books.recentlyOpened(30);
}

QString TopLogic::recentBookText(const BookMetaData &book)
{
    const QString fileName = book.fileName.value_or(QString());
    QString title = book.title.value_or(QString());
    QString publisher = book.publisher.value_or(QString());
    if (formatOf(DataFolder::contentsFolder() + u'/' + fileName) == BookFormat::Pdf) {
        title = decodeURI(title).value_or(title);
    } else {
        EPUBManager epub(BookUrl::rootUrl(fileName));
        const auto text = [&epub](const char *key) {
            const QVariant v = epub.metadata().value(QString::fromLatin1(key));
            return v.typeId() == QMetaType::QVariantList ? v.toList().value(0).toString() : v.toString();
        };
        if (const QString t = text("dc:title"); !t.isEmpty())
            title = t;
        if (const QString p = text("dc:publisher"); !p.isEmpty())
            publisher = p;
    }
    // A book without a title (a PDF imported without its information) is
    // named by its file.
    if (title.isEmpty())
        title = fileName;
    return title + QStringLiteral("\r\n") + publisher;
}

BookInfo TopLogic::readerInfoForRecentBook(const QString &fileName)
{
    return ShelfModel(m_library).readerInfo(ShelfModel::entryFor(fileName), m_sync);
}

std::optional<TopLogic::StoreRequest> TopLogic::gotostoreRequest(const QUrl &url)
{
    const QString text = url.toString(QUrl::FullyEncoded);
    if (text.split(u'&').last() != u"gotostore")
        return std::nullopt;
    StoreRequest r;
    r.request = QNetworkRequest(url);
    r.request.setTransferTimeout(15000);
    r.request.setHeader(
        QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    r.body = text.mid(text.lastIndexOf(u'?') + 1).toUtf8();
    return r;
}
