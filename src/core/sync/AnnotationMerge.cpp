#include "AnnotationMerge.h"

#include <QHash>
#include <QSet>
#include <cmath>

namespace
{

// Dates the store can hold: years 1 to 9999 either side of the epoch.
constexpr qint64 kMaxDateMs = 253402300800000LL;

enum class Read { Absent, Value, Malformed };

bool isContainer(const QVariant &v)
{
    const int type = v.metaType().id();
    return type == QMetaType::QVariantList || type == QMetaType::QVariantMap
        || type == QMetaType::QVariantHash || type == QMetaType::QStringList;
}

bool isNull(const QVariant &v)
{
    return !v.isValid() || v.isNull() || v.metaType().id() == QMetaType::Nullptr;
}

// An integer field: a JSON integer or a string of digits, within `max`
// either side of zero (`allowNegative`) or from zero.
Read readInteger(const QVariantMap &e, const char *key, qint64 max, bool allowNegative, qint64 &out)
{
    const QVariant v = e.value(QString::fromLatin1(key));
    if (isNull(v))
        return Read::Absent;
    bool ok = false;
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
        out = v.toLongLong(&ok);
        break;
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort: {
        const qulonglong u = v.toULongLong(&ok);
        ok = ok && u <= qulonglong(max);
        out = qint64(u);
        break;
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        ok = std::isfinite(d) && std::trunc(d) == d && std::fabs(d) <= double(max);
        out = ok ? qint64(d) : 0;
        break;
    }
    case QMetaType::QString:
        out = v.toString().trimmed().toLongLong(&ok);
        break;
    default:
        return Read::Malformed;
    }
    if (!ok || out > max || (allowNegative ? out < -max : out < 0))
        return Read::Malformed;
    return Read::Value;
}

// A text field: a string or a number; "(null)" stands for none where the
// upload writes it.
Read readText(const QVariantMap &e, const char *key, QString &out)
{
    const QVariant v = e.value(QString::fromLatin1(key));
    if (isNull(v))
        return Read::Absent;
    switch (v.metaType().id()) {
    case QMetaType::QString:
        out = v.toString();
        return Read::Value;
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        out = QString::number(v.toLongLong());
        return Read::Value;
    case QMetaType::Double: {
        const double d = v.toDouble();
        if (!std::isfinite(d))
            return Read::Malformed;
        out = std::trunc(d) == d && std::fabs(d) < 9.0e15 ? QString::number(qint64(d)) : QString::number(d);
        return Read::Value;
    }
    default:
        return Read::Malformed;
    }
}

// One entry read into its fields; false when it is malformed.
struct Entry {
    std::optional<QString> udId, updateUdId, user, naviId, manifestId, memoText, contentTitle, gpsInfo;
    std::optional<qint64> highlightNo, pageIdx, startNodeNo, startNodeOffset, endNodeNo, endNodeOffset,
        twitterFlg, facebookFlg;
    std::optional<qint64> updateDate;
};

bool readEntry(const QVariantMap &e, Entry &out, QString &why)
{
    for (auto it = e.cbegin(); it != e.cend(); ++it) {
        if (isContainer(it.value())) {
            why = QStringLiteral("field \"%1\" holds a list or object").arg(it.key());
            return false;
        }
    }
    struct TextField {
        const char *key;
        std::optional<QString> Entry::*member;
        bool nullWord; // "(null)" means none
    };
    const TextField texts[] = {
        { "udId", &Entry::udId, false },
        { "updateUdId", &Entry::updateUdId, false },
        { "user", &Entry::user, false },
        { "naviId", &Entry::naviId, true },
        { "manifestId", &Entry::manifestId, true },
        { "memoText", &Entry::memoText, true },
        { "contentTitle", &Entry::contentTitle, true },
        { "gpsInfo", &Entry::gpsInfo, true },
    };
    for (const TextField &f : texts) {
        QString s;
        switch (readText(e, f.key, s)) {
        case Read::Malformed:
            why = QStringLiteral("field \"%1\" is not text").arg(QLatin1String(f.key));
            return false;
        case Read::Value:
            if (!(f.nullWord && s == u"(null)"))
                out.*f.member = s;
            break;
        case Read::Absent:
            break;
        }
    }
    struct NumberField {
        const char *key;
        std::optional<qint64> Entry::*member;
    };
    const NumberField numbers[] = {
        { "highlightNo", &Entry::highlightNo },
        { "pageIdx", &Entry::pageIdx },
        { "startNodeNo", &Entry::startNodeNo },
        { "startNodeOffset", &Entry::startNodeOffset },
        { "endNodeNo", &Entry::endNodeNo },
        { "endNodeOffset", &Entry::endNodeOffset },
        { "twitterFlg", &Entry::twitterFlg },
        { "facebookFlg", &Entry::facebookFlg },
    };
    for (const NumberField &f : numbers) {
        qint64 n = 0;
        switch (readInteger(e, f.key, AnnotationMerge::kMaxNumber, false, n)) {
        case Read::Malformed:
            why = QStringLiteral("field \"%1\" is not a number from 0 to %2")
                      .arg(QLatin1String(f.key))
                      .arg(AnnotationMerge::kMaxNumber);
            return false;
        case Read::Value:
            out.*f.member = n;
            break;
        case Read::Absent:
            break;
        }
    }
    qint64 ms = 0;
    switch (readInteger(e, "updateDate", kMaxDateMs, true, ms)) {
    case Read::Malformed:
        why = QStringLiteral("field \"updateDate\" is not a date");
        return false;
    case Read::Value:
        out.updateDate = ms;
        break;
    case Read::Absent:
        break;
    }
    return true;
}

bool isSuccess(const QVariant &result)
{
    switch (result.metaType().id()) {
    case QMetaType::Bool:
        return result.toBool();
    case QMetaType::QString:
        return result.toString() == u"1" || result.toString() == u"true";
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return result.toDouble() == 1.0;
    default:
        return false;
    }
}

QString markKey(const QString &udId, qint64 no, qint64 page)
{
    return udId + QChar(0x1f) + QString::number(no) + QChar(0x1f) + QString::number(page);
}

} // namespace

QDateTime AnnotationMerge::dateFromServerMilliseconds(qint64 milliseconds)
{
    const qint64 seconds = milliseconds / 1000; // truncates toward zero
    const qint64 offset = QDateTime::currentDateTime().offsetFromUtc();
    return QDateTime::fromSecsSinceEpoch(seconds - offset, Qt::UTC);
}

bool AnnotationMerge::isPending(const BookHighlightMemo &r, const std::optional<QDateTime> &lastSync)
{
    if (r.deleteFlg.value_or(0) == 1)
        return true;
    if (r.syncedTime)
        return r.syncedTime != r.updateTime;
    return !lastSync || !r.updateTime || *r.updateTime >= *lastSync;
}

std::optional<AnnotationMerge::Answer> AnnotationMerge::parse(
    const QVariantMap &reply, const Context &context, QString *error)
{
    auto fail = [error](const QString &why) -> std::optional<Answer> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (context.userId.isEmpty())
        return fail(QStringLiteral("no signed-in account to take records for"));
    // The server leaves "result" out of a download; one that says anything
    // but success is a refusal, whatever lists come with it.
    if (reply.contains(QStringLiteral("result")) && !isSuccess(reply.value(QStringLiteral("result"))))
        return fail(QStringLiteral("the server refused (result %1)")
                        .arg(reply.value(QStringLiteral("result")).toString()));

    Answer answer;
    const char *lists[] = { "shiori", "highlight", "memo" };
    for (const char *name : lists) {
        const QString key = QString::fromLatin1(name);
        if (!reply.contains(key))
            continue;
        answer.describesBook = true;
        const QVariant value = reply.value(key);
        if (value.metaType().id() != QMetaType::QVariantList)
            return fail(QStringLiteral("\"%1\" is not a list").arg(key));
        const bool bookmarks = key == u"shiori";
        const QVariantList items = value.toList();
        for (qsizetype i = 0; i < items.size(); ++i) {
            if (items[i].metaType().id() != QMetaType::QVariantMap)
                return fail(QStringLiteral("\"%1\" entry %2 is not an object").arg(key).arg(i));
            Entry e;
            QString why;
            if (!readEntry(items[i].toMap(), e, why))
                return fail(QStringLiteral("\"%1\" entry %2: %3").arg(key).arg(i).arg(why));
            // Another account's records, or records that cannot say whose
            // or from which device they are, are not this library's.
            if (!e.user || *e.user != context.userId || !e.udId || e.udId->isEmpty()) {
                ++answer.dropped;
                continue;
            }
            if (!e.highlightNo || !e.pageIdx)
                continue;
            BookHighlightMemo r;
            r.BookID = context.bookID;
            r.metaBookID = context.bookId;
            // An EPUB's pages go up numbered from 1, a PDF's from 0.
            r.PageIdx = std::max<qint64>(0, context.isPdf ? *e.pageIdx : *e.pageIdx - 1);
            r.highlightNo = e.highlightNo;
            r.NaviID = e.naviId;
            r.udId = e.udId;
            r.updateUdId = e.updateUdId;
            r.user = e.user;
            if (e.updateDate)
                r.updateTime = dateFromServerMilliseconds(*e.updateDate);
            r.syncedTime = r.updateTime;
            r.deleteFlg = 0;
            if (bookmarks) {
                if (*e.highlightNo != 0 || !(e.manifestId || e.naviId))
                    continue;
                r.manifestId = e.manifestId.value_or(QString());
                answer.bookmarks.append(r);
            } else {
                if (*e.highlightNo < 1 || !e.startNodeNo)
                    continue;
                r.manifestId = e.manifestId;
                r.startNodeNo = e.startNodeNo;
                r.startNodeOffset = e.startNodeOffset;
                r.endNodeNo = e.endNodeNo;
                r.endNodeOffset = e.endNodeOffset;
                r.memotext = e.memoText && !e.memoText->isEmpty() ? e.memoText : std::nullopt;
                r.contentTitle = e.contentTitle;
                r.gpsInfo = e.gpsInfo;
                r.twitterFlg = e.twitterFlg;
                r.facebookFlg = e.facebookFlg;
                answer.marked.append(r);
            }
        }
    }
    return answer;
}

QList<AnnotationMerge::Write> AnnotationMerge::merge(
    const QList<BookHighlightMemo> &local, const Answer &answer, const Context &context)
{
    QList<Write> writes;
    if (!answer.describesBook)
        return writes;

    // Bookmarks: the server's replace the uploaded local ones; a page that
    // keeps a local bookmark (not sent yet) takes none from the server.
    auto pageKey = [](const std::optional<qint64> &page) { return page ? *page : qint64(-1); };
    QSet<qint64> bookmarkedPages;
    // Highlights and memos by (udId, highlightNo, page): the local ones,
    // then what the merge writes, so a key met twice updates one record.
    QHash<QString, qsizetype> byKey; // key -> index in `writes`, or -1 - index in `local`
    for (qsizetype i = 0; i < local.size(); ++i) {
        const BookHighlightMemo &r = local[i];
        if (r.metaBookID != context.bookId)
            continue;
        const qint64 no = r.highlightNo.value_or(0);
        if (no == 0) {
            if (isPending(r, context.lastSync))
                bookmarkedPages.insert(pageKey(r.PageIdx));
            else
                writes.append({ Write::Kind::Remove, r });
        } else if (no > 0 && r.udId) {
            const QString key = markKey(*r.udId, no, r.PageIdx.value_or(-1));
            if (!byKey.contains(key))
                byKey.insert(key, -1 - i);
        }
    }
    for (const BookHighlightMemo &r : answer.bookmarks) {
        if (bookmarkedPages.contains(pageKey(r.PageIdx)))
            continue;
        bookmarkedPages.insert(pageKey(r.PageIdx));
        writes.append({ Write::Kind::Insert, r });
    }

    // Local highlights the server had and no longer has were deleted on
    // another device; those not sent yet stay.
    QSet<QString> onServer;
    for (const BookHighlightMemo &r : answer.marked)
        onServer.insert(markKey(*r.udId, *r.highlightNo, *r.PageIdx));
    for (const BookHighlightMemo &r : local) {
        if (r.metaBookID != context.bookId || r.highlightNo.value_or(0) <= 0
            || isPending(r, context.lastSync))
            continue;
        if (!onServer.contains(markKey(r.udId.value_or(QString()), *r.highlightNo, r.PageIdx.value_or(-1))))
            writes.append({ Write::Kind::Remove, r });
    }
    for (const BookHighlightMemo &incoming : answer.marked) {
        const QString key = markKey(*incoming.udId, *incoming.highlightNo, *incoming.PageIdx);
        const auto found = byKey.constFind(key);
        if (found == byKey.cend()) {
            byKey.insert(key, writes.size());
            writes.append({ Write::Kind::Insert, incoming });
            continue;
        }
        if (*found < 0) {
            const BookHighlightMemo &existing = local[-1 - *found];
            if (isPending(existing, context.lastSync))
                continue;
            BookHighlightMemo r = incoming;
            r.pk = existing.pk;
            // Kept on this device only: the marked text and its anchoring.
            r.markedText = existing.markedText;
            r.markedContext = existing.markedContext;
            r.anchorFound = existing.anchorFound;
            r.memodate = existing.memodate;
            r.chatterFlg = existing.chatterFlg;
            byKey.insert(key, writes.size());
            writes.append({ Write::Kind::Update, r });
        } else {
            // The same key twice in one answer: the later one wins.
            Write &w = writes[*found];
            const qint64 pk = w.record.pk;
            const BookHighlightMemo kept = w.record;
            w.record = incoming;
            w.record.pk = pk;
            w.record.markedText = kept.markedText;
            w.record.markedContext = kept.markedContext;
            w.record.anchorFound = kept.anchorFound;
            w.record.memodate = kept.memodate;
            w.record.chatterFlg = kept.chatterFlg;
        }
    }
    return writes;
}
