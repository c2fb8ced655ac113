// The searchable text of one open EPUB book, read item by item on first use
// and kept while the book is open, so that repeated searches ("More", a new
// term) do not read and parse the same files again.
//
// Threads: any; text() may be called from several threads at once (a file
// is then possibly read twice, and one result kept).
#pragma once

#include "htmlSearchParser.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class EPUBManager;
class EPUBURLProtcol;

class BookSearchText
{
public:
    // Reads the bytes of one file; absent when it cannot be read.
    using Loader = std::function<std::optional<QByteArray>(const QUrl &)>;

    struct Item {
        QString id; // manifest id
        QString href;
        QUrl url;
    };

    // Copies the spine of `epub`; files are read through `protocol`
    // (EPUBURLProtcol::shared() when null; it must outlive this object).
    explicit BookSearchText(const EPUBManager &epub, const EPUBURLProtcol *protocol = nullptr);
    BookSearchText(QList<Item> items, Loader loader);

    // The spine items in reading order.
    const QList<Item> &items() const { return m_items; }
    // The text of item `index`; an empty, incomplete text for an index
    // outside the spine. Never null.
    std::shared_ptr<const htmlSearchParser::ItemText> text(int index) const;

private:
    QList<Item> m_items;
    Loader m_loader;
    mutable QMutex m_mutex;
    mutable QHash<int, std::shared_ptr<const htmlSearchParser::ItemText>> m_texts;
};
