#include "BookHighlightMemoWire.h"

namespace
{

QString text(const std::optional<QString> &s)
{
    return s ? *s : QStringLiteral("(null)");
}

QString number(const std::optional<qint64> &n)
{
    return QString::number(n.value_or(0));
}

void fillBlanks(BookHighlightMemo &record)
{
    if (!record.udId)
        record.udId = QString();
    if (!record.updateUdId)
        record.updateUdId = QString();
    if (!record.user)
        record.user = QString();
}

QString naviId(const BookHighlightMemo &record, bool isPdf)
{
    if (record.NaviID)
        return *record.NaviID;
    return QString::number(BookHighlightMemoWire::pageNumber(record, isPdf) + 1);
}

} // namespace

QString BookHighlightMemoWire::tableName(const BookHighlightMemo &record, bool isPdf)
{
    const QString prefix = isPdf ? QStringLiteral("Pdfs") : QStringLiteral("Books");
    if (record.memotext && !record.memotext->isEmpty())
        return prefix + QStringLiteral("Memo");
    if (record.highlightNo.value_or(0) >= 1)
        return prefix + QStringLiteral("Highlight");
    return prefix + QStringLiteral("Shiori");
}

qint64 BookHighlightMemoWire::pageNumber(const BookHighlightMemo &record, bool isPdf)
{
    if (!record.PageIdx)
        return 1;
    return isPdf ? *record.PageIdx : *record.PageIdx + 1;
}

QString BookHighlightMemoWire::formatDate(const std::optional<QDateTime> &date)
{
    if (!date || !date->isValid())
        return QStringLiteral("(null)");
    return date->toLocalTime().toString(QStringLiteral("yyyyMMdd'T'HHmmss.zzz"));
}

OrderedJsonObject BookHighlightMemoWire::changeForCheckHighlightMemo(BookHighlightMemo &record, bool isPdf)
{
    fillBlanks(record);
    OrderedJsonObject o;
    if (!record.metaBookID)
        return o;
    o.add(QStringLiteral("bookId"), *record.metaBookID);
    o.add(QStringLiteral("udId"), *record.udId);
    o.add(QStringLiteral("updateUdId"), *record.updateUdId);
    o.add(QStringLiteral("pageIdx"), QString::number(pageNumber(record, isPdf)));
    o.add(QStringLiteral("manifestId"), text(record.manifestId));
    o.add(QStringLiteral("highlightNo"), number(record.highlightNo));
    o.add(QStringLiteral("user"), *record.user);
    o.add(QStringLiteral("naviId"), naviId(record, isPdf));
    return o;
}

OrderedJsonObject BookHighlightMemoWire::changeForDelete(BookHighlightMemo &record, bool isPdf)
{
    const OrderedJsonObject identity = changeForCheckHighlightMemo(record, isPdf);
    OrderedJsonObject o;
    o.add(QStringLiteral("ID"), 42);
    o.add(QStringLiteral("updateDate"), formatDate(record.updateTime));
    o.add(QStringLiteral("TableName"), tableName(record, isPdf));
    o.add(QStringLiteral("JsonString"), orderedJson(QVariant::fromValue(identity)));
    return o;
}

OrderedJsonObject BookHighlightMemoWire::changeForInsert(BookHighlightMemo &record, bool isPdf)
{
    fillBlanks(record);
    OrderedJsonObject o;
    if (!record.metaBookID)
        return o;
    o.add(QStringLiteral("bookId"), *record.metaBookID);
    o.add(QStringLiteral("udId"), *record.udId);
    o.add(QStringLiteral("updateUdId"), *record.updateUdId);
    o.add(QStringLiteral("memoText"), text(record.memotext));
    o.add(QStringLiteral("pageIdx"), QString::number(pageNumber(record, isPdf)));
    o.add(QStringLiteral("manifestId"), text(record.manifestId));
    o.add(QStringLiteral("endNodeOffset"), number(record.endNodeOffset));
    o.add(QStringLiteral("startNodeOffset"), number(record.startNodeOffset));
    o.add(QStringLiteral("updateDate"), formatDate(record.updateTime));
    o.add(QStringLiteral("highlightNo"), number(record.highlightNo));
    o.add(QStringLiteral("startNodeNo"), number(record.startNodeNo));
    o.add(QStringLiteral("endNodeNo"), number(record.endNodeNo));
    o.add(QStringLiteral("gpsInfo"), text(record.gpsInfo));
    o.add(QStringLiteral("twitterFlg"), number(record.twitterFlg));
    o.add(QStringLiteral("facebookFlg"), number(record.facebookFlg));
    o.add(QStringLiteral("contentTitle"), text(record.contentTitle));
    o.add(QStringLiteral("user"), *record.user);
    o.add(QStringLiteral("naviId"), naviId(record, isPdf));
    return o;
}
