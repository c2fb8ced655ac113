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

#include <QEventLoop>
#include <QHash>
#include <QNetworkReply>
#include <QPointer>
#include <QSet>
#include <QTimeZone>
#include <QTimer>
#include <memory>

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

bool QMShareHelper::syncsAnnotations(const QString &identifier)
{
    return !identifier.isEmpty() && identifier != QLatin1String("9999999999")
        && !identifier.startsWith(QLatin1String("local:"));
}

namespace
{

// Annotations waiting to be sent: deletions, records changed since the
// server last had them, and (for records from before the sync marks) those
// changed since the last successful upload.
QString pendingCondition(const std::optional<QDateTime> &lastSync, QVariantList &args)
{
    QString where = QStringLiteral("\"deleteFlg\"=1 OR (\"syncedTime\" IS NOT NULL AND \"syncedTime\" IS NOT "
                                   "\"updateTime\") OR (\"syncedTime\" IS NULL");
    if (lastSync) {
        where += QStringLiteral(" AND \"updateTime\" >= ?");
        args << *lastSync;
    }
    return where + u')';
}

bool isPdfFileName(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
}

constexpr qsizetype kRecordsPerUpload = 2000; // the server takes up to 10000

} // namespace

bool QMShareHelper::hasPendingChanges()
{
    const auto user = DataBaseHelper::firstUserInfo();
    QVariantList args;
    const QString where = pendingCondition(user ? user->lastSyncTime : std::nullopt, args);
    for (const BookHighlightMemo &r : LibraryStore::main().findAll<BookHighlightMemo>(where, args))
        if (syncsAnnotations(r.metaBookID.value_or(QString())))
            return true;
    return false;
}

void QMShareHelper::syscBookMark(bool isPdf, std::function<void(bool)> done)
{
    auto finish = [done](bool ok) {
        if (done)
            done(ok);
    };
    if (!signInCheck())
        return finish(false);

    const QDateTime selectedAt = QDateTime::currentDateTimeUtc();
    const auto user = DataBaseHelper::firstUserInfo();
    LibraryStore &store = LibraryStore::main();
    QVariantList args;
    const QString where = pendingCondition(user ? user->lastSyncTime : std::nullopt, args);
    QList<BookHighlightMemo> records = store.findAll<BookHighlightMemo>(where, args);

    // Each annotation goes under its own book's kind; a book that is not in
    // the library takes the kind of the book being left.
    QHash<QString, bool> pdfBooks;
    for (const BookMetaData &b : store.findAll<BookMetaData>())
        if (b.identifier)
            pdfBooks.insert(*b.identifier, isPdfFileName(b.fileName.value_or(QString())));
    const std::optional<QString> userId = user ? user->userId : std::nullopt;

    struct Batch {
        bool isPdf = false;
        QVariantList deleteList;
        QVariantList insertList;
        QList<QPair<qint64, QDateTime>> deletions;
        QList<QPair<qint64, QDateTime>> inserts;
    };
    QList<Batch> batches;
    auto batchFor = [&](bool pdf) -> Batch & {
        for (qsizetype i = batches.size() - 1; i >= 0; --i)
            if (batches[i].isPdf == pdf
                && batches[i].deleteList.size() + batches[i].insertList.size() < kRecordsPerUpload)
                return batches[i];
        batches.append(Batch { pdf, {}, {}, {}, {} });
        return batches.last();
    };
    QList<qint64> localDeletions;
    for (BookHighlightMemo &r : records) {
        const QString book = r.metaBookID.value_or(QString());
        const bool deleted = r.deleteFlg.value_or(0) == 1;
        if (!syncsAnnotations(book)) {
            // A book from disk keeps its annotations on this device.
            if (deleted)
                localDeletions << r.pk;
            continue;
        }
        // Made before signing in: the annotation is the signed-in user's.
        if ((!r.user || r.user->isEmpty()) && userId && !userId->isEmpty()) {
            r.user = userId;
            store.save(r);
        }
        Batch &batch = batchFor(pdfBooks.value(book, isPdf));
        const QPair<qint64, QDateTime> key { r.pk, r.updateTime.value_or(QDateTime()) };
        if (deleted) {
            batch.deleteList.append(
                QVariant::fromValue(BookHighlightMemoWire::changeForDelete(r, batch.isPdf)));
            batch.deletions.append(key);
        } else {
            batch.insertList.append(
                QVariant::fromValue(BookHighlightMemoWire::changeForInsert(r, batch.isPdf)));
            batch.inserts.append(key);
        }
    }
    for (qint64 pk : localDeletions)
        store.execute(QStringLiteral("DELETE FROM \"BookHighlightMemo\" WHERE \"pk\"=?"), { pk });
    if (batches.isEmpty())
        return finish(false);

    // Every batch must be taken before the upload counts as done; what one
    // batch delivered is marked as sent whatever the others do.
    struct State {
        int outstanding = 0;
        bool allOk = true;
    };
    auto state = std::make_shared<State>();
    state->outstanding = int(batches.size());
    for (const Batch &batch : batches) {
        OrderedJsonObject body;
        body.add(QStringLiteral("deleteList"), batch.deleteList);
        body.add(QStringLiteral("insertList"), batch.insertList);
        const QByteArray form = "json=" + encodeURI(orderedJson(QVariant::fromValue(body))).toUtf8();
        QNetworkRequest request(m_servers.url(ServerConfig::Endpoint::Sync,
            batch.isPdf ? QStringLiteral("/shareapi/insertPdfAll")
                        : QStringLiteral("/shareapi/insertBookAll")));
        request.setHeader(
            QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
        request.setTransferTimeout(std::max(1, int(kTimeoutMs * apiTimeoutScale())));
        // The server writes only the signed-in account's annotations.
        request.setRawHeader("Authorization", "Bearer " + m_vamo.token().value_or(QString()).toUtf8());
        QNetworkReply *reply = m_network.post(request, form);
        const auto deletions = batch.deletions;
        const auto inserts = batch.inserts;
        QObject::connect(
            reply, &QNetworkReply::finished, reply, [reply, finish, selectedAt, deletions, inserts, state] {
                reply->deleteLater();
                const auto answer = readReply(reply, "annotation upload");
                bool ok = answer.has_value();
                if (ok && stringForKey(*answer, QStringLiteral("result")) != QStringLiteral("1")) {
                    qCWarning(lcSync) << "annotation upload refused:" << *answer;
                    ok = false;
                }
                LibraryStore &store = LibraryStore::main();
                if (ok) {
                    store.transaction([&] {
                        // Only what the server received, and has not changed
                        // since, counts as sent.
                        for (const auto &[pk, updateTime] : deletions)
                            store.execute(
                                QStringLiteral("DELETE FROM \"BookHighlightMemo\" WHERE \"pk\"=? AND "
                                               "\"deleteFlg\"=1 AND \"updateTime\" IS ?"),
                                { pk, updateTime.isValid() ? QVariant(updateTime) : QVariant() });
                        for (const auto &[pk, updateTime] : inserts)
                            store.execute(QStringLiteral("UPDATE \"BookHighlightMemo\" SET "
                                                         "\"syncedTime\"=\"updateTime\" WHERE \"pk\"=? AND "
                                                         "\"updateTime\" IS ?"),
                                { pk, updateTime.isValid() ? QVariant(updateTime) : QVariant() });
                        return true;
                    });
                }
                state->allOk = state->allOk && ok;
                if (--state->outstanding > 0)
                    return;
                if (state->allOk) {
                    // The next upload starts from when this one was selected,
                    // so changes made while it was under way go next time.
                    if (auto user = DataBaseHelper::firstUserInfo()) {
                        user->lastSyncTime = selectedAt;
                        store.save(*user);
                    }
                }
                finish(state->allOk);
            });
    }
}

void QMShareHelper::uploadPending(std::function<void(bool)> done)
{
    if (!hasPendingChanges()) {
        if (done)
            done(true);
        return;
    }
    syscBookMark(false, std::move(done));
}

bool QMShareHelper::uploadPendingAndWait(int timeoutMs)
{
    if (!hasPendingChanges())
        return true;
    auto result = std::make_shared<std::optional<bool>>();
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    // The loop may be gone when a late reply arrives: the result is shared,
    // and quitting goes through a guard.
    QPointer<QEventLoop> guard(&loop);
    syscBookMark(false, [result, guard](bool ok) {
        *result = ok;
        if (guard)
            guard->quit();
    });
    if (!result->has_value()) {
        timer.start(timeoutMs);
        loop.exec();
        timer.stop();
    }
    if (!result->has_value())
        qCWarning(lcSync) << "annotation upload did not finish before quitting; it is sent next time";
    return result->value_or(false);
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
    request.setRawHeader("Authorization", "Bearer " + m_vamo.token().value_or(QString()).toUtf8());
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
    // An answer that names none of the lists is no account of the book.
    // One that names them, empty, says the server holds nothing for it:
    // what was deleted on another device goes here too.
    if (!reply.contains(QStringLiteral("shiori")) && !reply.contains(QStringLiteral("highlight"))
        && !reply.contains(QStringLiteral("memo")))
        return;

    LibraryStore &store = LibraryStore::main();
    const std::optional<qint64> bookID = DataBaseHelper::findBookIDByBookMetaID(bookId);
    const auto user = DataBaseHelper::firstUserInfo();
    const std::optional<QDateTime> lastSync = user ? user->lastSyncTime : std::nullopt;
    // An annotation changed (or deleted) since the last upload is not on the
    // server yet: it stays as it is.
    auto pending = [&](const BookHighlightMemo &r) {
        if (r.deleteFlg.value_or(0) == 1)
            return true;
        if (r.syncedTime)
            return r.syncedTime != r.updateTime;
        return !lastSync || !r.updateTime || *r.updateTime >= *lastSync;
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
            r.syncedTime = r.updateTime;
            // A local bookmark of the page that is not uploaded yet wins.
            if (store.count<BookHighlightMemo>(bookmarks + QStringLiteral(" AND \"PageIdx\" IS ?"),
                    { bookId, r.PageIdx ? QVariant(*r.PageIdx) : QVariant() })
                > 0)
                continue;
            store.insert(r);
        }

        // Highlights and memos: merged by (udId, highlightNo, page). Local
        // ones the server had and no longer has were deleted elsewhere;
        // those not sent yet are kept.
        QSet<QString> onServer;
        auto keyOf = [](const QString &udId, qint64 no, qint64 page) {
            return QStringLiteral("%1\x1f%2\x1f%3").arg(udId).arg(no).arg(page);
        };
        for (const QVariant &v : marked) {
            const QVariantMap e = v.toMap();
            const auto number = entryNumber(e, "highlightNo");
            const auto page = pageOf(e);
            if (number && page)
                onServer.insert(
                    keyOf(stringForKey(e, QStringLiteral("udId")).value_or(QString()), *number, *page));
        }
        for (const BookHighlightMemo &r : store.findAll<BookHighlightMemo>(
                 QStringLiteral("\"metaBookID\"=? AND \"highlightNo\">0"), { bookId }))
            if (!pending(r)
                && !onServer.contains(
                    keyOf(r.udId.value_or(QString()), *r.highlightNo, r.PageIdx.value_or(-1))))
                store.remove(r);
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
            r.syncedTime = r.updateTime;
            r.deleteFlg = 0;
            store.save(r);
        }
        return true;
    });
}
