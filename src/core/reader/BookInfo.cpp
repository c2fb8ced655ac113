#include "BookInfo.h"

BookInfo BookInfo::fromMap(const QVariantMap &map)
{
    BookInfo info;
    info.url = map.value(QStringLiteral("url")).toUrl();
    info.pdfUrl = map.value(QStringLiteral("pdfurl")).toString();
    info.format = map.contains(QStringLiteral("pdfurl")) ? BookFormat::Pdf : BookFormat::Epub;
    info.bookID = map.value(QStringLiteral("BookID"), -1).toLongLong();
    info.lastPage = map.value(QStringLiteral("lastPage"), -1).toInt();
    info.fontSize = map.value(QStringLiteral("fontSize"), kDefaultFontSize).toInt();
    info.print = map.value(QStringLiteral("print")).toBool();
    info.title = map.value(QStringLiteral("Title")).toString();
    info.metaBookId = map.value(QStringLiteral("metaBookId")).toString();
    info.creator = map.value(QStringLiteral("creator")).toString();
    info.searchTerm = map.value(QStringLiteral("searchTerm")).toString();
    return info;
}

QVariantMap BookInfo::toMap() const
{
    QVariantMap map;
    if (!searchTerm.isEmpty())
        map.insert(QStringLiteral("searchTerm"), searchTerm);
    if (isPdf()) {
        // A PDF without a library record is only its path.
        map.insert(QStringLiteral("pdfurl"), pdfUrl);
        if (bookID < 0)
            return map;
    } else {
        map.insert(QStringLiteral("url"), url);
        map.insert(QStringLiteral("fontSize"), fontSize);
    }
    map.insert(QStringLiteral("BookID"), bookID);
    map.insert(QStringLiteral("lastPage"), lastPage);
    map.insert(QStringLiteral("print"), print);
    if (!title.isEmpty())
        map.insert(QStringLiteral("Title"), title);
    if (!metaBookId.isEmpty())
        map.insert(QStringLiteral("metaBookId"), metaBookId);
    if (!creator.isEmpty())
        map.insert(QStringLiteral("creator"), creator);
    return map;
}
