// The searchable text of one open EPUB book, read item by item on first use
// and kept while the book is open, so that repeated searches ("More", a new
// term) do not read and parse the same files again.
//
// Threads: any; text() and readAhead() may be called from several threads
// at once: each file is read once, and a thread that wants a file another
// is reading reads the next ones meanwhile.
#pragma once

#include <QHash>
#include <QList>
#include <QMutex>
#include <QSet>
#include <QStringList>
#include <QUrl>
#include <QWaitCondition>
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

    // The searchable text of one spine item: the chunks outside the head, in
    // document order. `complete` is false when the file is missing or stops
    // being well-formed XML; the chunks before that point are kept.
    struct ItemText {
        QStringList chunks;
        bool complete = true;
        QString error;
    };

    // Reads one XHTML file (element tracking, head excluded). Never fails:
    // errors end the text early and are described in `error`. Any thread.
    static ItemText readItem(const QByteArray &xhtml);

    struct Item {
        QString id; // manifest id
        QString href;
        QUrl url;
    };

    // Copies the spine of `epub`; files are read through a copy of
    // `protocol` (the book's own resolver when null).
    explicit BookSearchText(const EPUBManager &epub, const EPUBURLProtcol *protocol = nullptr);
    BookSearchText(QList<Item> items, Loader loader);

    // The spine items in reading order.
    const QList<Item> &items() const { return m_items; }
    // The text of item `index`; an empty, incomplete text for an index
    // outside the spine. Never null.
    std::shared_ptr<const ItemText> text(int index) const;
    // Reads item `index` unless it is read or being read; false then.
    bool readAhead(int index) const;

private:
    std::shared_ptr<const ItemText> load(int index) const;

    QList<Item> m_items;
    Loader m_loader;
    mutable QMutex m_mutex;
    mutable QHash<int, std::shared_ptr<const ItemText>> m_texts;
    mutable QSet<int> m_loading; // items some thread is reading
    mutable QWaitCondition m_loaded;
};
