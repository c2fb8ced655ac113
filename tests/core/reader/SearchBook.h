// A small EPUB book held in memory for the search tests: spine items with
// their XHTML, read through BookSearchText's loader.
#pragma once

#include "core/reader/BookSearchText.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <functional>
#include <memory>

inline QByteArray xhtml(const QByteArray &body, const QByteArray &title = "Title")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<html "
           "xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>"
        + title + "</title></head><body>" + body + "</body></html>";
}

// Items "c1", "c2", ... in order; an absent file (std::nullopt) cannot be read.
// `onLoad`, when given, runs before every read (to make the book slow).
inline std::shared_ptr<BookSearchText> searchBook(
    const QList<std::optional<QByteArray>> &files, std::function<void(const QUrl &)> onLoad = {})
{
    QList<BookSearchText::Item> items;
    QHash<QUrl, std::optional<QByteArray>> data;
    for (int i = 0; i < files.size(); ++i) {
        const QString href = QStringLiteral("c%1.xhtml").arg(i + 1);
        const QUrl url(QStringLiteral("epub://book/") + href);
        items.append({ QStringLiteral("c%1").arg(i + 1), href, url });
        data.insert(url, files.at(i));
    }
    return std::make_shared<BookSearchText>(items, [data, onLoad](const QUrl &url) {
        if (onLoad)
            onLoad(url);
        return data.value(url);
    });
}
