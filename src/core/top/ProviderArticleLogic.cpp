#include "ProviderArticleLogic.h"

#include "XmlRpcResponseParser.h"
#include "core/platform/ServerConfig.h"
#include "core/platform/UserDefaults.h"
#include "core/store/ApiRequest.h"
#include "core/util/DictionaryHelpers.h"
#include "core/util/Logging.h"
#include "core/util/StringHelpers.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QNetworkReply>
#include <QPointer>
#include <QPromise>
#include <QThread>
#include <QThreadPool>
#include <memory>

namespace
{

const char *kFooter = "この記事の情報は Tavro Medical News（情報提供元）によるものです。無断転載を禁じます。";

QByteArray methodCall(const char *method, const QString &params)
{
    return QByteArrayLiteral("<?xml version=\"1.0\"?>") + "<methodCall><methodName>" + method
        + "</methodName><params>" + params.toUtf8() + "</params></methodCall>";
}

QString intParam(qint64 n)
{
    return QStringLiteral("<param><value><int>%1</int></value></param>").arg(n);
}

QString stringParam(const QString &s)
{
    return QStringLiteral("<param><value><string>%1</string></value></param>").arg(escapedString(s));
}

QString latestUpdate()
{
    return UserDefaults::stringForKey(QString::fromLatin1(UserDefaults::latestUpdate)).value_or(QString());
}

struct ParsedAnswer {
    std::optional<QVariantMap> value;
    const QThread *thread = nullptr;
};

// Parses `body` on a pool thread. The promise is shared because the pool
// takes copyable jobs only.
QFuture<ParsedAnswer> parseOnWorker(QByteArray body)
{
    auto promise = std::make_shared<QPromise<ParsedAnswer>>();
    QFuture<ParsedAnswer> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, body = std::move(body)] {
        promise->addResult(
            ParsedAnswer { ProviderArticleLogic::parseAnswer(body), QThread::currentThread() });
        promise->finish();
    });
    return future;
}

} // namespace

ProviderArticleLogic::ProviderArticleLogic(NewsCacheRepository news, const ServerConfig &servers)
    : m_news(news)
    , m_servers(servers)
{
}

QByteArray ProviderArticleLogic::updateStatusDocument(
    const QString &email, const QString &password, const QString &latest)
{
    return methodCall("get_article_update_status",
        intParam(1) + intParam(1) + stringParam(email) + stringParam(password)
            + stringParam(latest.isEmpty() ? QStringLiteral("(null)") : latest)
            + stringParam(QStringLiteral("2020-03-31 14:00:00")));
}

QByteArray ProviderArticleLogic::articleListDocument(int count, const QString &email, const QString &password)
{
    return methodCall(
        "get_article_list", intParam(1) + intParam(count) + stringParam(email) + stringParam(password));
}

QByteArray ProviderArticleLogic::articleDocument(int id, const QString &email, const QString &password)
{
    return methodCall("get_article", intParam(id) + stringParam(email) + stringParam(password));
}

std::optional<QVariantMap> ProviderArticleLogic::parseAnswer(const QByteArray &body)
{
    XmlRpcResponseParser parser(body);
    const QVariant value = parser.parse();
    if (parser.isFault() || value.metaType().id() != QMetaType::QVariantMap) {
        if (!parser.parserError().isEmpty())
            qCInfo(lcTop) << "unreadable answer:" << parser.parserError();
        return std::nullopt;
    }
    return value.toMap();
}

void ProviderArticleLogic::callAsync(
    const QByteArray &document, QObject *context, std::function<void(std::optional<QVariantMap>)> done)
{
    ++calls;
    ++m_inFlight;
    QNetworkRequest request(QUrl(m_servers.baseUrl(ServerConfig::Endpoint::NewsRpc)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("text/xml"));
    request.setTransferTimeout(std::max(1, int(30000 * apiTimeoutScale())));
    QNetworkReply *reply = m_network.post(request, document);

    // Every step checks that the receiver still exists; the hand-back itself
    // belongs to m_deliveries, so it dies with this object.
    const QPointer<QObject> receiver(context);
    auto deliver = [this, receiver, done = std::move(done)](const std::optional<QVariantMap> &value) {
        --m_inFlight;
        if (receiver)
            done(value);
    };
    QObject::connect(reply, &QNetworkReply::finished, &m_deliveries,
        [this, reply, deliver = std::move(deliver)]() mutable {
            reply->deleteLater();
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            QByteArray body = reply->readAll();
            bool lengthOk = false;
            const qlonglong announced = reply->rawHeader("Content-Length").toLongLong(&lengthOk);
            const bool transportFailed
                = reply->error() != QNetworkReply::NoError && int(reply->error()) < 200;
            if (transportFailed || status != 200 || (lengthOk && body.size() < announced)) {
                deliver({});
                return;
            }
            auto *watcher = new QFutureWatcher<ParsedAnswer>(&m_deliveries);
            QObject::connect(watcher, &QFutureWatcherBase::finished, watcher,
                [this, watcher, deliver = std::move(deliver)]() mutable {
                    watcher->deleteLater();
                    const ParsedAnswer parsed = watcher->result();
                    lastParseThread = parsed.thread;
                    deliver(parsed.value);
                });
            watcher->setFuture(parseOnWorker(std::move(body)));
        });
}

std::optional<QVariantMap> ProviderArticleLogic::call(const QByteArray &document)
{
    std::optional<QVariantMap> result;
    bool answered = false;
    QEventLoop loop;
    callAsync(document, &loop, [&](std::optional<QVariantMap> value) {
        result = std::move(value);
        answered = true;
        loop.quit();
    });
    // User input waits; the window still paints.
    if (!answered)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    return result;
}

int ProviderArticleLogic::isUpdate()
{
    qCInfo(lcTop) << "isUpdate";
    const auto result
        = call(updateStatusDocument(m_servers.serviceEmail, m_servers.servicePassword, latestUpdate()));
    const int total = result && result->contains(QStringLiteral("total"))
        ? int(result->value(QStringLiteral("total")).toLongLong())
        : -1;
    qCInfo(lcTop) << "total:" << total;
    if (result) {
        const QVariantList list = arrayForKey(*result, QStringLiteral("list")).value_or(QVariantList());
        const auto first
            = list.isEmpty() ? std::nullopt : stringForKey(list.first().toMap(), QStringLiteral("date"));
        if (first)
            UserDefaults::setValue(QString::fromLatin1(UserDefaults::latestUpdate), *first);
    }
    return total;
}

void ProviderArticleLogic::getArticleList(int count)
{
    const auto result = call(articleListDocument(count, m_servers.serviceEmail, m_servers.servicePassword));
    if (!result)
        return;
    QVariantList rows;
    QStringList dates;
    const QVariantList list = arrayForKey(*result, QStringLiteral("list")).value_or(QVariantList());
    for (const QVariant &v : list.mid(0, count)) {
        const QVariantMap a = v.toMap();
        const QString date = stringForKey(a, QStringLiteral("date")).value_or(QString());
        const QString id = QString::number(a.value(QStringLiteral("id")).toLongLong());
        const QString title = stringForKey(a, QStringLiteral("title")).value_or(QString());
        rows.append(QVariantMap { { QStringLiteral("infocategory_id"), QStringLiteral("2") },
            { QStringLiteral("info_id"), id }, { QStringLiteral("info_detail"), title },
            { QStringLiteral("info_date"), date }, { QStringLiteral("info_body"), QString() } });
        const QDateTime parsed = QDateTime::fromString(date, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        m_news.upsertCacheContentNews(id.toLongLong(), NewsCacheRepository::kArticleCategory, title,
            QString(), parsed.isValid() ? std::optional(parsed) : std::nullopt);
        if (!date.isEmpty())
            dates << date;
    }
    if (!dates.isEmpty()) {
        UserDefaults::setValue(QString::fromLatin1(UserDefaults::latestUpdate), dates.first());
        updateInfoLists = rows;
    }
}

std::optional<QVariantMap> ProviderArticleLogic::getArticle(const QString &id)
{
    return call(articleDocument(id.toInt(), m_servers.serviceEmail, m_servers.servicePassword));
}

void ProviderArticleLogic::getInfoList()
{
    if (m_news.countOfCategory(NewsCacheRepository::kArticleCategory) > 0) {
        const int total = isUpdate();
        bool deleted = false;
        if (total != -1 && latestUpdate().isEmpty()) {
            // A failed clear keeps the old articles; the fresh list still
            // replaces them one by one.
            if (!m_news.removeCategory(NewsCacheRepository::kArticleCategory))
                qCWarning(lcTop) << "cannot clear the cached provider articles";
            deleted = true;
        }
        if ((deleted || total >= 1) && (mediaInfoUpdateCount == 0 || mediaInfoUpdateCount != total)) {
            qCInfo(lcTop) << "update";
            getArticleList(30);
            mediaInfoUpdateCount = total;
        }
        // Nothing new fetched (the provider unreachable, or the same total)
        // and nothing shown yet in this run: the cached articles are shown
        // rather than an empty list.
        if (updateInfoLists.isEmpty())
            loadDataFromCache();
        return;
    }
    qCInfo(lcTop) << "getArticleList";
    getArticleList(30);
    mediaInfoUpdateCount = isUpdate();
}

void ProviderArticleLogic::setUpBodyInfo(const QString &id, const QString &body)
{
    m_news.upsertCacheContentNews(
        id.toLongLong(), NewsCacheRepository::kArticleCategory, std::nullopt, body, std::nullopt);
    loadDataFromCache();
}

void ProviderArticleLogic::loadDataFromCache()
{
    QVariantList rows;
    for (const CacheInfo &c : m_news.cacheInfosOfCategory(NewsCacheRepository::kArticleCategory))
        rows.append(
            QVariantMap { { QStringLiteral("infocategory_id"), QString::number(c.categoryId.value_or(0)) },
                { QStringLiteral("info_id"), QString::number(c.infoId.value_or(0)) },
                { QStringLiteral("info_detail"), c.information.value_or(QString()) },
                { QStringLiteral("info_date"),
                    c.newsDate ? c.newsDate->toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                               : QString() },
                { QStringLiteral("info_body"), c.body.value_or(QString()) } });
    updateInfoLists = rows;
}

QString ProviderArticleLogic::bodyForArticle(const QVariantMap &article)
{
    const QString cached = article.value(QStringLiteral("info_body")).toString();
    if (!cached.isEmpty())
        return cached;
    const QString id = article.value(QStringLiteral("info_id")).toString();
    const auto result = getArticle(id);
    if (!result)
        return {};
    const QString body = stringForKey(*result, QStringLiteral("body")).value_or(QString());
    setUpBodyInfo(id, body);
    return body;
}

QString ProviderArticleLogic::pageHtml(const QString &body)
{
    return QStringLiteral("<html><body>") + body + QStringLiteral("<br/><span style='font-size : 8.6pt'>")
        + QString::fromUtf8(kFooter) + QStringLiteral("</span></body></html>");
}
