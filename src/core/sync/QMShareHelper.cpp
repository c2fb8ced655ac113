#include "QMShareHelper.h"

#include "AnnotationMerge.h"
#include "BookHighlightMemoWire.h"
#include "core/account/AccountSession.h"
#include "core/content/BookFormat.h"
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
#include <QFutureWatcher>
#include <QHash>
#include <QNetworkReply>
#include <QPointer>
#include <QPromise>
#include <QSet>
#include <QThreadPool>
#include <QTimeZone>
#include <QTimer>
#include <memory>

namespace
{

constexpr int kTimeoutMs = 10000;

// A reply's body, or absent for a failure (logged).
std::optional<QByteArray> readReplyBody(QNetworkReply *reply, const char *what)
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
    return body;
}

// A reply's JSON object, or absent for a failure (logged).
std::optional<QVariantMap> readReply(QNetworkReply *reply, const char *what)
{
    const auto body = readReplyBody(reply, what);
    if (!body)
        return std::nullopt;
    const auto json = jsonDictonary(*body);
    if (!json)
        qCWarning(lcSync) << what << "failed: the reply is not JSON:" << body->left(200);
    return json;
}

// A download read and merged on a pool thread.
struct MergeJob {
    std::optional<AnnotationMerge::Answer> answer; // absent: malformed
    QList<AnnotationMerge::Write> writes;
    QString error;
};

QFuture<MergeJob> mergeOnWorker(
    QByteArray body, AnnotationMerge::Context context, QList<BookHighlightMemo> local)
{
    auto promise = std::make_shared<QPromise<MergeJob>>();
    QFuture<MergeJob> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start(
        [promise, body = std::move(body), context = std::move(context), local = std::move(local)] {
            MergeJob job;
            const auto json = jsonDictonary(body);
            if (!json)
                job.error = QStringLiteral("the reply is not JSON: ") + QString::fromUtf8(body.left(200));
            else
                job.answer = AnnotationMerge::parse(*json, context, &job.error);
            if (job.answer)
                job.writes = AnnotationMerge::merge(local, *job.answer, context);
            promise->addResult(std::move(job));
            promise->finish();
        });
    return future;
}

} // namespace

QMShareHelper::QMShareHelper(const Library &library, const ServerConfig &servers, VamoManager &vamo)
    : m_library(library)
    , m_servers(servers)
    , m_vamo(vamo)
{
}

QDateTime QMShareHelper::initNsDateFromUTCLong(qint64 milliseconds)
{
    return AnnotationMerge::dateFromServerMilliseconds(milliseconds);
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

// What a book's file name says of its annotations' kind: a ".pdf" name (any
// case) is a PDF book's, any other an EPUB book's.
bool isPdfFileName(const QString &fileName)
{
    return formatOfName(fileName) == BookFormat::Pdf;
}

constexpr qsizetype kRecordsPerUpload = 2000; // the server takes up to 10000

} // namespace

bool QMShareHelper::hasPendingChanges() const
{
    const auto user = m_library.account().firstUserInfo();
    for (const BookHighlightMemo &r :
        m_library.annotations().pendingUpload(user ? user->lastSyncTime : std::nullopt))
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
    const auto user = m_library.account().firstUserInfo();
    AnnotationRepository annotations = m_library.annotations();
    QList<BookHighlightMemo> records = annotations.pendingUpload(user ? user->lastSyncTime : std::nullopt);

    // Each annotation goes under its own book's kind; a book that is not in
    // the library takes the kind of the book being left.
    QHash<QString, bool> pdfBooks;
    for (const BookMetaData &b : m_library.books().allBooks())
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
    QList<BookHighlightMemo> localDeletions;
    for (BookHighlightMemo &r : records) {
        const QString book = r.metaBookID.value_or(QString());
        const bool deleted = r.deleteFlg.value_or(0) == 1;
        if (!syncsAnnotations(book)) {
            // A book from disk keeps its annotations on this device.
            if (deleted)
                localDeletions << r;
            continue;
        }
        // Made before signing in: the annotation is the signed-in user's.
        if ((!r.user || r.user->isEmpty()) && userId && !userId->isEmpty()) {
            r.user = userId;
            // The upload carries the user either way; the record learns it
            // next time when this write fails.
            if (!annotations.saveRecord(r))
                qCWarning(lcSync) << "cannot store the user of annotation" << r.pk;
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
    for (const BookHighlightMemo &r : localDeletions)
        if (!annotations.removeRecord(r))
            qCWarning(lcSync) << "cannot remove deleted annotation" << r.pk << "of a book from disk";
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
        QObject::connect(reply, &QNetworkReply::finished, reply,
            [library = m_library, reply, finish, selectedAt, deletions, inserts, state] {
                reply->deleteLater();
                const auto answer = readReply(reply, "annotation upload");
                bool ok = answer.has_value();
                if (ok && stringForKey(*answer, QStringLiteral("result")) != QStringLiteral("1")) {
                    qCWarning(lcSync) << "annotation upload refused:" << *answer;
                    ok = false;
                }
                if (ok) {
                    // Marks that could not be written leave the records
                    // pending: they are sent again, which the server takes.
                    ok = library.annotations().markUploaded(deletions, inserts);
                    if (!ok)
                        qCWarning(lcSync) << "cannot mark the uploaded annotations as sent";
                }
                state->allOk = state->allOk && ok;
                if (--state->outstanding > 0)
                    return;
                if (state->allOk) {
                    // The next upload starts from when this one was selected,
                    // so changes made while it was under way go next time.
                    if (!library.account().setLastSyncTime(selectedAt))
                        qCWarning(lcSync) << "cannot store the upload time; the next upload resends";
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
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, finish, bookId, user, isPdf] {
        reply->deleteLater();
        auto body = readReplyBody(reply, "annotation download");
        if (!body)
            return finish(false);
        AnnotationRepository annotations = m_library.annotations();
        const auto userInfo = m_library.account().firstUserInfo();
        AnnotationMerge::Context context;
        context.bookId = bookId;
        context.bookID = m_library.books().findBookIDByBookMetaID(bookId);
        context.isPdf = isPdf;
        context.userId = user;
        context.lastSync = userInfo ? userInfo->lastSyncTime : std::nullopt;
        const QString storePath = annotations.storeFile();
        const QString before = annotations.fingerprint(bookId);
        QList<BookHighlightMemo> local = annotations.findAllByMetaBookID(bookId);
        // Reading and merging a large answer runs off this thread; the
        // watcher belongs to m_network, so it goes with this helper.
        auto *watcher = new QFutureWatcher<MergeJob>(&m_network);
        QObject::connect(watcher, &QFutureWatcherBase::finished, watcher,
            [library = m_library, watcher, finish, context, storePath, before] {
                watcher->deleteLater();
                const MergeJob job = watcher->result();
                if (!job.answer) {
                    // Nothing changes; the next opening of the book tries again.
                    qCWarning(lcSync)
                        << "annotation download for" << context.bookId << "is malformed:" << job.error;
                    return finish(false);
                }
                if (job.answer->dropped > 0)
                    qCWarning(lcSync)
                        << "annotation download for" << context.bookId << "dropped" << job.answer->dropped
                        << "records of another account or without a device id";
                AnnotationRepository annotations = library.annotations();
                if (annotations.storeFile() != storePath) {
                    qCWarning(lcSync)
                        << "the library changed during the annotation download; it is not stored";
                    return finish(false);
                }
                QList<AnnotationMerge::Write> writes = job.writes;
                // Annotations changed here while the merge ran: merge again
                // with what is stored now, so no local change is overwritten.
                if (annotations.fingerprint(context.bookId) != before)
                    writes = AnnotationMerge::merge(
                        annotations.findAllByMetaBookID(context.bookId), *job.answer, context);
                if (!writes.isEmpty() && !applyWrites(annotations, std::move(writes)))
                    return finish(false);
                NotificationCenter::defaultCenter().post(QString::fromLatin1(kSyncDone));
                finish(true);
            });
        watcher->setFuture(mergeOnWorker(std::move(*body), context, std::move(local)));
    });
}

bool QMShareHelper::applyWrites(LibraryStore &store, QList<AnnotationMerge::Write> writes)
{
    AnnotationRepository annotations(store);
    return applyWrites(annotations, std::move(writes));
}

bool QMShareHelper::applyWrites(AnnotationRepository &annotations, QList<AnnotationMerge::Write> writes)
{
    const bool ok = annotations.transaction([&] {
        for (AnnotationMerge::Write &w : writes) {
            bool written = false;
            switch (w.kind) {
            case AnnotationMerge::Write::Kind::Insert:
                written = annotations.insertRecord(w.record);
                break;
            case AnnotationMerge::Write::Kind::Update:
                written = annotations.updateRecord(w.record);
                break;
            case AnnotationMerge::Write::Kind::Remove:
                written = annotations.removeRecord(w.record);
                break;
            }
            if (!written)
                return false;
        }
        return true;
    });
    if (!ok)
        qCWarning(lcSync) << "annotation download could not be stored; the library is as it was";
    return ok;
}
