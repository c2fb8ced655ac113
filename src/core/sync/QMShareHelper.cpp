#include "QMShareHelper.h"

#include "BookHighlightMemoWire.h"
#include "core/account/AccountSession.h"
#include "core/library/DataBaseHelper.h"
#include "core/library/LibraryStore.h"
#include "core/platform/ServerConfig.h"
#include "core/platform/UserDefaults.h"
#include "core/store/ApiRequest.h"
#include "core/store/VamoManager.h"
#include "core/util/DataHelpers.h"
#include "core/util/DictionaryHelpers.h"
#include "core/util/Logging.h"
#include "core/util/NotificationCenter.h"
#include "core/util/StringHelpers.h"

#include <QNetworkReply>
#include <QTimeZone>

namespace
{

QMShareHelper *sharedInstance = nullptr;
constexpr int kTimeoutMs = 10000;

// A reply's JSON object, or absent for a failure (logged).
std::optional<QVariantMap> readReply(QNetworkReply *reply, const char *what)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray body = reply->readAll();
    if (reply->error() != QNetworkReply::NoError && status == 0) {
        qCWarning(lcSync) << what << "failed:" << reply->errorString();
        return std::nullopt;
    }
    if (status != 200) {
        qCWarning(lcSync) << what << "failed with status" << status << body.left(200);
        return std::nullopt;
    }
    bool lengthOk = false;
    const qlonglong announced = reply->rawHeader("Content-Length").toLongLong(&lengthOk);
    if (lengthOk && body.size() < announced) {
        qCWarning(lcSync) << what << "failed: the reply was cut";
        return std::nullopt;
    }
    const auto json = jsonDictonary(body);
    if (!json)
        qCWarning(lcSync) << what << "failed: the reply is not JSON:" << body.left(200);
    return json;
}

std::optional<QString> entryText(const QVariantMap &entry, const char *key)
{
    const auto s = stringForKey(entry, QString::fromLatin1(key));
    if (!s || *s == u"(null)")
        return std::nullopt;
    return s;
}

std::optional<qint64> entryNumber(const QVariantMap &entry, const char *key)
{
    const auto s = stringForKey(entry, QString::fromLatin1(key));
    bool ok = false;
    const qint64 n = s ? s->toLongLong(&ok) : 0;
    return ok ? std::optional(n) : std::nullopt;
}

} // namespace

QMShareHelper::QMShareHelper(const ServerConfig &servers, VamoManager &vamo)
    : m_servers(servers)
    , m_vamo(vamo)
{
}

QMShareHelper &QMShareHelper::shared()
{
    Q_ASSERT(sharedInstance);
    return *sharedInstance;
}

void QMShareHelper::setShared(QMShareHelper *helper)
{
    sharedInstance = helper;
}

QDateTime QMShareHelper::initNsDateFromUTCLong(qint64 milliseconds)
{
    const qint64 seconds = milliseconds / 1000; // truncates toward zero
    const qint64 offset = QDateTime::currentDateTime().offsetFromUtc();
    return QDateTime::fromSecsSinceEpoch(seconds - offset, Qt::UTC);
}

bool QMShareHelper::signInCheck()
{
    if (AccountSession::isLifted())
        m_vamo.writeToken(std::nullopt);
    if (!m_vamo.isLogined()) {
        qCInfo(lcSync) << "未ログインの場合、ソーシャルログを送らないようにする";
        return false;
    }
    return true;
}

void QMShareHelper::syscBookMark(bool isPdf, std::function<void(bool)> done)
{
    auto finish = [done](bool ok) {
        if (done)
            done(ok);
    };
    if (!signInCheck())
        return finish(false);

    // Changes since the last upload, and every deletion not yet uploaded.
    const QDateTime selectedAt = QDateTime::currentDateTimeUtc();
    const auto user = DataBaseHelper::firstUserInfo();
    LibraryStore &store = LibraryStore::main();
    QList<BookHighlightMemo> records = user && user->lastSyncTime
        ? store.findAll<BookHighlightMemo>(
            QStringLiteral("\"updateTime\" >= ? OR \"deleteFlg\" = 1"), { *user->lastSyncTime })
        : store.findAll<BookHighlightMemo>();
    if (records.isEmpty())
        return finish(false);

    QVariantList deleteList;
    QVariantList insertList;
    QList<QPair<qint64, QDateTime>> uploadedDeletions;
    for (BookHighlightMemo &r : records) {
        if (r.deleteFlg.value_or(0) == 1) {
            deleteList.append(QVariant::fromValue(BookHighlightMemoWire::changeForDelete(r, isPdf)));
            uploadedDeletions.append({ r.pk, r.updateTime.value_or(QDateTime()) });
        } else {
            insertList.append(QVariant::fromValue(BookHighlightMemoWire::changeForInsert(r, isPdf)));
        }
    }
    OrderedJsonObject body;
    body.add(QStringLiteral("deleteList"), deleteList);
    body.add(QStringLiteral("insertList"), insertList);
    const QByteArray form = "json=" + encodeURI(orderedJson(QVariant::fromValue(body))).toUtf8();

    QNetworkRequest request(m_servers.url(ServerConfig::Endpoint::Sync,
        isPdf ? QStringLiteral("/shareapi/insertPdfAll") : QStringLiteral("/shareapi/insertBookAll")));
    request.setHeader(
        QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    request.setTransferTimeout(std::max(1, int(kTimeoutMs * apiTimeoutScale())));
    QNetworkReply *reply = m_network.post(request, form);
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, finish, selectedAt, uploadedDeletions] {
        reply->deleteLater();
        const auto answer = readReply(reply, "annotation upload");
        if (!answer)
            return finish(false);
        if (stringForKey(*answer, QStringLiteral("result")) != QStringLiteral("1")) {
            qCWarning(lcSync) << "annotation upload refused:" << *answer;
            return finish(false);
        }
        LibraryStore &store = LibraryStore::main();
        store.transaction([&] {
            // The next upload starts from when this one was selected, so
            // changes made while it was under way are sent next time.
            if (auto user = DataBaseHelper::firstUserInfo()) {
                user->lastSyncTime = selectedAt;
                store.save(*user);
            }
            // Only the deletions the server received leave the library.
            for (const auto &[pk, updateTime] : uploadedDeletions)
                store.execute(
                    QStringLiteral("DELETE FROM \"BookHighlightMemo\" WHERE \"pk\"=? AND \"deleteFlg\"=1 "
                                   "AND \"updateTime\" IS ?"),
                    { pk, updateTime.isValid() ? QVariant(updateTime) : QVariant() });
            return true;
        });
        finish(true);
    });
}

void QMShareHelper::getMyBookAll(
    const QString &bookId, const QString &user, bool isPdf, std::function<void(bool)> done)
{
    auto finish = [done](bool ok) {
        if (done)
            done(ok);
    };
    if (!signInCheck())
        return finish(false);
    QNetworkRequest request(m_servers.url(ServerConfig::Endpoint::Sync,
        isPdf ? QStringLiteral("/shareapi/getMyPdfAll") : QStringLiteral("/shareapi/getMyBookAll")));
    request.setHeader(
        QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    request.setTransferTimeout(std::max(1, int(kTimeoutMs * apiTimeoutScale())));
    const QByteArray form = ("bookId=" + encodeURI(bookId) + "&user=" + encodeURI(user)).toUtf8();
    QNetworkReply *reply = m_network.post(request, form);
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, finish, bookId, isPdf] {
        reply->deleteLater();
        const auto answer = readReply(reply, "annotation download");
        if (!answer)
            return finish(false);
        storeDownload(bookId, isPdf, *answer);
        NotificationCenter::defaultCenter().post(QString::fromLatin1(kSyncDone));
        finish(true);
    });
}

void QMShareHelper::storeDownload(const QString &bookId, bool isPdf, const QVariantMap &reply)
{
    const QVariantList shiori = arrayForKey(reply, QStringLiteral("shiori")).value_or(QVariantList());
    QVariantList marked = arrayForKey(reply, QStringLiteral("highlight")).value_or(QVariantList());
    marked += arrayForKey(reply, QStringLiteral("memo")).value_or(QVariantList());
    if (shiori.isEmpty() && marked.isEmpty())
        return;

    LibraryStore &store = LibraryStore::main();
    const std::optional<qint64> bookID = DataBaseHelper::findBookIDByBookMetaID(bookId);
    const auto user = DataBaseHelper::firstUserInfo();
    const std::optional<QDateTime> lastSync = user ? user->lastSyncTime : std::nullopt;
    // An annotation changed (or deleted) since the last upload is not on the
    // server yet: it stays as it is.
    auto pending = [&](const BookHighlightMemo &r) {
        return r.deleteFlg.value_or(0) == 1 || !lastSync || !r.updateTime || *r.updateTime >= *lastSync;
    };
    auto pageOf = [&](const QVariantMap &entry) -> std::optional<qint64> {
        const auto page = entryNumber(entry, "pageIdx");
        if (!page)
            return std::nullopt;
        return std::max<qint64>(0, isPdf ? *page : *page - 1);
    };
    auto dateOf = [](const QVariantMap &entry) -> std::optional<QDateTime> {
        const QVariant v = entry.value(QStringLiteral("updateDate"));
        if (!isNumberVariant(v))
            return std::nullopt;
        return initNsDateFromUTCLong(v.toLongLong());
    };

    store.transaction([&] {
        // Bookmarks: the server's replace the uploaded local ones.
        const QString bookmarks = QStringLiteral("\"metaBookID\"=? AND IFNULL(\"highlightNo\",0)=0");
        for (const BookHighlightMemo &r : store.findAll<BookHighlightMemo>(bookmarks, { bookId }))
            if (!pending(r))
                store.remove(r);
        for (const QVariant &v : shiori) {
            const QVariantMap e = v.toMap();
            const bool hasPlace = entryText(e, "manifestId") || entryText(e, "naviId");
            if (!e.contains(QStringLiteral("udId")) || entryNumber(e, "highlightNo").value_or(-1) != 0
                || !hasPlace)
                continue;
            BookHighlightMemo r;
            r.highlightNo = 0;
            r.BookID = bookID;
            r.manifestId = entryText(e, "manifestId").value_or(QString());
            r.PageIdx = pageOf(e);
            r.updateTime = dateOf(e);
            r.user = stringForKey(e, QStringLiteral("user"));
            r.NaviID = entryText(e, "naviId");
            r.udId = stringForKey(e, QStringLiteral("udId"));
            r.updateUdId = stringForKey(e, QStringLiteral("updateUdId"));
            r.metaBookID = bookId;
            r.deleteFlg = 0;
            // A local bookmark of the page that is not uploaded yet wins.
            if (store.count<BookHighlightMemo>(bookmarks + QStringLiteral(" AND \"PageIdx\" IS ?"),
                    { bookId, r.PageIdx ? QVariant(*r.PageIdx) : QVariant() })
                > 0)
                continue;
            store.insert(r);
        }

        // Highlights and memos: merged by (udId, highlightNo, page); local
        // ones are kept.
        for (const QVariant &v : marked) {
            const QVariantMap e = v.toMap();
            const auto number = entryNumber(e, "highlightNo");
            const auto page = pageOf(e);
            if (!e.contains(QStringLiteral("udId")) || !number || *number < 1 || !page
                || !e.contains(QStringLiteral("startNodeNo")))
                continue;
            auto existing = store.findFirst<BookHighlightMemo>(
                QStringLiteral("\"metaBookID\"=? AND \"udId\" IS ? AND \"highlightNo\"=? AND \"PageIdx\"=?"),
                { bookId, stringForKey(e, QStringLiteral("udId")).value_or(QString()), *number, *page });
            if (existing && pending(*existing))
                continue;
            BookHighlightMemo r = existing.value_or(BookHighlightMemo());
            r.BookID = bookID;
            r.metaBookID = bookId;
            r.PageIdx = page;
            r.highlightNo = number;
            r.NaviID = entryText(e, "naviId");
            r.manifestId = entryText(e, "manifestId");
            r.startNodeNo = entryNumber(e, "startNodeNo");
            r.startNodeOffset = entryNumber(e, "startNodeOffset");
            r.endNodeNo = entryNumber(e, "endNodeNo");
            r.endNodeOffset = entryNumber(e, "endNodeOffset");
            const auto memo = entryText(e, "memoText");
            r.memotext = memo && !memo->isEmpty() ? memo : std::nullopt;
            r.contentTitle = entryText(e, "contentTitle");
            r.gpsInfo = entryText(e, "gpsInfo");
            r.twitterFlg = entryNumber(e, "twitterFlg");
            r.facebookFlg = entryNumber(e, "facebookFlg");
            r.udId = stringForKey(e, QStringLiteral("udId"));
            r.updateUdId = stringForKey(e, QStringLiteral("updateUdId"));
            r.user = stringForKey(e, QStringLiteral("user"));
            r.updateTime = dateOf(e);
            r.deleteFlg = 0;
            store.save(r);
        }
        return true;
    });
}
