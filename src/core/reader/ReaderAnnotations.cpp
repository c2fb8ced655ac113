#include "ReaderAnnotations.h"

#include "core/sync/AnnotationMerge.h"
#include "core/util/Logging.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

namespace
{

std::optional<NodePosition> position(const QString &answer, const char *nodeKey, const char *offsetKey)
{
    if (answer.isEmpty() || answer == u"false")
        return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(answer.toUtf8());
    if (!doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    const QJsonValue node = o.value(QLatin1String(nodeKey));
    const QJsonValue offset = o.value(QLatin1String(offsetKey));
    if (!node.isDouble() || !offset.isDouble() || node.toDouble() < 0 || offset.toDouble() < 0)
        return std::nullopt;
    return NodePosition { qint64(node.toDouble()), qint64(offset.toDouble()) };
}

NodePosition startOf(const BookHighlightMemo &r)
{
    return { r.startNodeNo.value_or(0), r.startNodeOffset.value_or(0) };
}

NodePosition endOf(const BookHighlightMemo &r)
{
    return { r.endNodeNo.value_or(0), r.endNodeOffset.value_or(0) };
}

bool hasMemo(const BookHighlightMemo &r)
{
    return r.memotext && !r.memotext->isEmpty();
}

// The attribute object of a highlight: empty, or the memo's date and text.
QString attributes(const BookHighlightMemo &r)
{
    if (!hasMemo(r))
        return QStringLiteral("{}");
    QJsonObject o;
    o.insert(QStringLiteral("memodate"), ReaderAnnotations::timeText(r.memodate ? r.memodate : r.updateTime));
    o.insert(QStringLiteral("memotext"), *r.memotext);
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

QString localText(const std::optional<QDateTime> &time, const char *format)
{
    if (!time || !time->isValid())
        return QString();
    return QLocale::c().toString(time->toLocalTime(), QLatin1String(format));
}

// The page's numbered texts laid end to end, with where each node starts.
struct FlatText {
    QString all;
    QList<qsizetype> starts; // starts[i]: index of node i + 1

    explicit FlatText(const QStringList &nodes)
    {
        for (const QString &n : nodes) {
            starts << all.size();
            all += n;
        }
    }
    std::optional<qsizetype> index(NodePosition p) const
    {
        if (p.node < 1 || p.node > starts.size())
            return std::nullopt;
        const qsizetype length = (p.node < starts.size() ? starts[p.node] : all.size()) - starts[p.node - 1];
        if (p.offset > length)
            return std::nullopt;
        return starts[p.node - 1] + p.offset;
    }
    // The node position of a flat index: a start belongs to the node it
    // begins, an end to the node it closes.
    NodePosition position(qsizetype index, bool atEnd) const
    {
        qsizetype node = 0;
        for (qsizetype i = 0; i < starts.size(); ++i) {
            if (atEnd ? starts[i] < index : starts[i] <= index)
                node = i;
            else
                break;
        }
        return { node + 1, index - (starts.isEmpty() ? 0 : starts[node]) };
    }
};

constexpr qsizetype kContextLength = 32;

QString contextJson(const FlatText &flat, qsizetype from, qsizetype to)
{
    QJsonObject o;
    o.insert(QStringLiteral("before"),
        flat.all.mid(std::max<qsizetype>(0, from - kContextLength),
            from - std::max<qsizetype>(0, from - kContextLength)));
    o.insert(QStringLiteral("after"), flat.all.mid(to, kContextLength));
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

qsizetype commonSuffix(const QString &a, const QString &b)
{
    qsizetype n = 0;
    while (n < a.size() && n < b.size() && a[a.size() - 1 - n] == b[b.size() - 1 - n])
        ++n;
    return n;
}

qsizetype commonPrefix(const QString &a, const QString &b)
{
    qsizetype n = 0;
    while (n < a.size() && n < b.size() && a[n] == b[n])
        ++n;
    return n;
}

} // namespace

QString ReaderAnnotations::textAt(const QStringList &nodeTexts, NodePosition start, NodePosition end)
{
    const FlatText flat(nodeTexts);
    const auto from = flat.index(start);
    const auto to = flat.index(end);
    if (!from || !to || *to < *from)
        return QString();
    return flat.all.mid(*from, *to - *from);
}

int ReaderAnnotations::reanchor(const AnnotationPage &page, const QStringList &nodeTexts)
{
    if (page.bookID <= 0 || nodeTexts.isEmpty())
        return 0;
    const FlatText flat(nodeTexts);
    int changed = 0;
    for (BookHighlightMemo r :
        m_annotations.getBookHighlightMemosNotSiori(page.bookID, page.naviID(), page.tocId)) {
        const QString text = r.markedText.value_or(QString());
        if (text.isEmpty())
            continue;
        const auto from = flat.index(startOf(r));
        const auto to = flat.index(endOf(r));
        if (from && to && *to >= *from && flat.all.mid(*from, *to - *from) == text) {
            if (r.anchorFound.value_or(1) != 1) {
                r.anchorFound = 1;
                changed += m_annotations.saveRecord(r) ? 1 : 0;
            }
            continue;
        }
        const QJsonObject context
            = QJsonDocument::fromJson(r.markedContext.value_or(QString()).toUtf8()).object();
        const QString before = context.value(QStringLiteral("before")).toString();
        const QString after = context.value(QStringLiteral("after")).toString();
        const qsizetype old = from.value_or(0);
        std::optional<qsizetype> best;
        qsizetype bestScore = -1;
        qsizetype bestDistance = 0;
        for (qsizetype at = flat.all.indexOf(text); at >= 0; at = flat.all.indexOf(text, at + 1)) {
            const qsizetype score = commonSuffix(flat.all.left(at).right(before.size()), before)
                + commonPrefix(flat.all.mid(at + text.size(), after.size()), after);
            const qsizetype distance = std::abs(at - old);
            if (score > bestScore || (score == bestScore && distance < bestDistance)) {
                best = at;
                bestScore = score;
                bestDistance = distance;
            }
        }
        if (!best) {
            if (r.anchorFound.value_or(1) != 0) {
                r.anchorFound = 0;
                changed += m_annotations.saveRecord(r) ? 1 : 0;
            }
            continue;
        }
        const NodePosition s = flat.position(*best, false);
        const NodePosition e = flat.position(*best + text.size(), true);
        r.startNodeNo = s.node;
        r.startNodeOffset = s.offset;
        r.endNodeNo = e.node;
        r.endNodeOffset = e.offset;
        r.anchorFound = 1;
        r.markedContext = contextJson(flat, *best, *best + text.size());
        // The new place goes to the other devices with the next upload.
        r.updateTime = QDateTime::currentDateTimeUtc();
        changed += m_annotations.saveRecord(r) ? 1 : 0;
    }
    return changed;
}

bool ReaderAnnotations::keepsText(const AnnotationPage &page) const
{
    for (const BookHighlightMemo &r :
        m_annotations.getBookHighlightMemosNotSiori(page.bookID, page.naviID(), page.tocId))
        if (r.markedText && !r.markedText->isEmpty())
            return true;
    return false;
}

std::optional<NodePosition> ReaderAnnotations::selectionStart(const QString &answer)
{
    return position(answer, "startQmNodeNo", "startQmNodeOffset");
}

std::optional<NodePosition> ReaderAnnotations::selectionEnd(const QString &answer)
{
    return position(answer, "endQmNodeNo", "endQmNodeOffset");
}

QString ReaderAnnotations::jsQuote(const QString &text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += u'\'';
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\'':
            out += QLatin1String("\\'");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case 0x2028:
            out += QLatin1String("\\u2028");
            break;
        case 0x2029:
            out += QLatin1String("\\u2029");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += u'\'';
    return out;
}

QString ReaderAnnotations::identifier(const BookHighlightMemo &record)
{
    const qint64 no = record.highlightNo.value_or(0);
    if (!record.udId || record.udId->isEmpty())
        return QString::number(no);
    return QString::number(no) + u'_' + *record.udId;
}

QString ReaderAnnotations::drawCall(const BookHighlightMemo &r)
{
    // A record without a device id is drawn under its bare number.
    const QString id = r.udId && !r.udId->isEmpty() ? jsQuote(identifier(r)) : identifier(r);
    return QStringLiteral("setHighlight(%1,%2,%3,%4,%5,%6,%7);")
        .arg(id, jsQuote(QLatin1String(hasMemo(r) ? kMemoColour : kHighlightColour)))
        .arg(r.startNodeNo.value_or(0))
        .arg(r.startNodeOffset.value_or(0))
        .arg(r.endNodeNo.value_or(0))
        .arg(r.endNodeOffset.value_or(0))
        .arg(attributes(r));
}

QString ReaderAnnotations::pageScript(const AnnotationPage &page)
{
    if (page.bookID <= 0)
        return QString();
    QString script;
    for (const BookHighlightMemo &r :
        m_annotations.getBookHighlightMemosNotSiori(page.bookID, page.naviID(), page.tocId)) {
        // One not found in this edition would be drawn in the wrong place.
        if (r.anchorFound.value_or(1) == 0)
            continue;
        script += drawCall(r);
    }
    return script;
}

ReaderAnnotations::HighlightResult ReaderAnnotations::highlight(const AnnotationPage &page,
    const QString &startAnswer, const QString &endAnswer, const QString &selectedText,
    const QStringList &nodeTexts)
{
    HighlightResult result;
    const QString clear = QLatin1String(kClearSelection);
    auto s = selectionStart(startAnswer);
    auto e = selectionEnd(endAnswer);
    if (!s || !e || page.bookID <= 0) {
        result.script = clear;
        return result;
    }
    if (*e < *s)
        std::swap(s, e);

    const QString navi = page.naviID();
    const QList<BookHighlightMemo> overlapping = m_annotations.getBookHighlightMemosNotSioriWithRange(
        page.bookID, navi, page.tocId, s->node, s->offset, e->node, e->offset);
    if (overlapping.size() == 1 && startOf(overlapping[0]) <= *s && endOf(overlapping[0]) >= *e) {
        result.record = overlapping[0];
        result.script = clear;
        return result;
    }

    NodePosition from = *s;
    NodePosition to = *e;
    QStringList memos;
    QStringList numbers;
    QStringList texts;
    if (!overlapping.isEmpty()) {
        from = std::min(from, startOf(overlapping.first()));
        // The last by start need not end last; the merged range covers all.
        for (const BookHighlightMemo &r : overlapping)
            to = std::max(to, endOf(r));
    }
    std::optional<BookHighlightMemo> created;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    // The merged records go and the new one comes in one step, so a failure
    // loses none of them.
    const bool stored = m_annotations.transaction([&] {
        for (const BookHighlightMemo &r : overlapping) {
            if (hasMemo(r))
                memos << *r.memotext;
            numbers << QString::number(r.highlightNo.value_or(0));
            // Marked deleted rather than removed, so the sync server and the
            // other devices learn that the merged highlights are gone.
            BookHighlightMemo gone = r;
            if (!m_annotations.markDeleted(gone))
                return false;
        }
        // A number stored at the edge of the range (from a damaged library)
        // has no successor: the highlight is refused rather than wrapped.
        const qint64 top = m_annotations.getMaxHighlightNoWithBookID(page.bookID, navi, page.tocId);
        if (top < 0 || top >= AnnotationMerge::kMaxNumber) {
            qCWarning(lcLibrary) << "highlight number" << top << "on the page is out of range";
            return false;
        }
        const qint64 no = top + 1;
        const std::optional<QString> memo
            = memos.isEmpty() ? std::nullopt : std::optional(memos.join(QLatin1Char('\n')));
        created = m_annotations.addBookHighlightMemoWithBookID(page.bookID, navi, page.tocId, page.pageIdx,
            no, from.node, from.offset, to.node, to.offset, now, memo, std::nullopt, 0, 0, page.contentTitle,
            page.metaBookID);
        if (!created)
            return false;
        // The kept text: from the page's texts (the whole merged range, with
        // the words around it), else the selection as the page gave it.
        QString markedText = selectedText;
        std::optional<QString> context;
        if (!nodeTexts.isEmpty()) {
            const FlatText flat(nodeTexts);
            const auto a = flat.index(from);
            const auto b = flat.index(to);
            if (a && b && *b >= *a) {
                markedText = flat.all.mid(*a, *b - *a);
                context = contextJson(flat, *a, *b);
            }
        }
        if (!markedText.isEmpty()) {
            created->markedText = markedText;
            created->markedContext = context;
            created->anchorFound = 1;
            if (!m_annotations.saveRecord(*created))
                return false;
        }
        return true;
    });
    // A rolled-back transaction stored nothing, whatever was read before.
    if (!stored)
        created.reset();
    if (!created) {
        qCWarning(lcLibrary) << "the highlight could not be stored";
        result.script = clear;
        return result;
    }
    if (!numbers.isEmpty())
        result.script += QStringLiteral("removeOldQmNodeNoMemoSpan([%1]);").arg(numbers.join(u','));
    result.script += drawCall(*created);
    result.script += clear;
    result.record = created;
    result.created = true;
    return result;
}

std::optional<BookHighlightMemo> ReaderAnnotations::findByIdentifier(
    const AnnotationPage &page, const QString &identifier)
{
    if (page.bookID <= 0 || identifier.isEmpty() || identifier == u"false")
        return std::nullopt;
    const qsizetype cut = identifier.indexOf(u'_');
    bool ok = false;
    const qint64 no = identifier.left(cut < 0 ? identifier.size() : cut).toLongLong(&ok);
    if (!ok || no <= 0)
        return std::nullopt;
    if (cut < 0) {
        // A bare number names a record without a device id.
        auto r = m_annotations.getBookHighlightMemoWithBookID(page.bookID, page.naviID(), page.tocId, no);
        if (r && r->udId && !r->udId->isEmpty())
            return m_annotations.getBookHighlightMemoWithoutDevice(page.bookID, page.naviID(), no);
        return r;
    }
    return m_annotations.getBookHighlightMemoWithBookID(
        page.bookID, page.naviID(), page.tocId, no, identifier.mid(cut + 1));
}

QString ReaderAnnotations::deleteHighlight(const AnnotationPage &page, const QString &identifier)
{
    if (identifier.isEmpty() || identifier == u"false")
        return QString();
    QString script = QStringLiteral("removeHighlight(%1);").arg(jsQuote(identifier));
    if (auto r = findByIdentifier(page, identifier)) {
        if (!m_annotations.markDeleted(*r))
            qCWarning(lcLibrary) << "the highlight could not be deleted";
    }
    return script + QLatin1String(kClearSelection);
}

bool ReaderAnnotations::saveMemo(BookHighlightMemo &record, const QString &text, QString *script)
{
    if (script)
        script->clear();
    if (text.isEmpty() || !record.pk)
        return true;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    record.memotext = text;
    record.memodate = now;
    record.updateTime = now;
    if (!m_annotations.saveRecord(record))
        return false;
    if (script)
        *script = drawCall(record);
    return true;
}

QString ReaderAnnotations::deleteMemo(BookHighlightMemo &record)
{
    const QString id = identifier(record);
    if (!record.pk || record.highlightNo.value_or(0) <= 0)
        return QString();
    if (!m_annotations.markDeleted(record))
        qCWarning(lcLibrary) << "the memo could not be deleted";
    return QStringLiteral("removeHighlight(%1);").arg(jsQuote(id)) + QLatin1String(kClearSelection);
}

QString ReaderAnnotations::timeText(const std::optional<QDateTime> &time)
{
    return localText(time, "yyyy/MM/dd HH:mm:ss");
}

QString ReaderAnnotations::shortTimeText(const std::optional<QDateTime> &time)
{
    return localText(time, "yyyy/MM/dd HH:mm");
}

bool ReaderAnnotations::isBookmarked(qint64 bookID, int pageIdx)
{
    return bookID > 0 && m_annotations.checkBookMark(pageIdx, bookID);
}

void ReaderAnnotations::setBookmark(qint64 bookID, int pageIdx, bool on,
    const std::optional<QString> &manifestId, const std::optional<QString> &metaBookID)
{
    if (bookID <= 0)
        return;
    m_annotations.upsertBookMark(pageIdx, manifestId, metaBookID, bookID, !on);
}

QString ReaderAnnotations::bookmarkTitle(const BookHighlightMemo &record)
{
    if (record.updateUdId && !record.updateUdId->isEmpty())
        return *record.updateUdId;
    return QStringLiteral("しおり");
}

void ReaderAnnotations::setBookmarkTitle(qint64 bookID, int pageIdx, const QString &title)
{
    if (bookID <= 0 || title.isEmpty())
        return;
    m_annotations.updateBookMark(pageIdx, bookID, title);
}
