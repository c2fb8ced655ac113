#include "ArticleNavigation.h"

#include "core/util/StringHelpers.h"

ArticleNavigation ArticleNavigation::decide(const QUrl &url)
{
    ArticleNavigation n;
    if (url.toString(QUrl::FullyEncoded).contains(QStringLiteral("entry/entry.html"))) {
        n.action = OpenEntry;
        n.entryQuery = query2dic(url.query(QUrl::FullyEncoded));
    } else if (url.hasQuery() && url.query(QUrl::FullyEncoded).contains(QStringLiteral("export=download"))) {
        n.action = Download;
    }
    return n;
}
