// The searchable text of one open EPUB book, read item by item on first use
// and kept while the book is open, so that repeated searches ("More", a new
// term) do not read and parse the same files again. A search parses only
// the files whose bytes may hold its term (XhtmlTermFilter); the others are
// kept as bytes, for the next term to look at without reading them again.
//
// Threads: any; text(), textIfMayHold() and readAhead() may be called from
// several threads at once: each file is read once, and a thread that wants
// a file another is working on reads the next ones meanwhile.
#pragma once

#include <QList>
#include <QMutex>
#include <QStringList>
#include <QUrl>
#include <QWaitCondition>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class EPUBManager;
class EPUBURLProtcol;
class XhtmlTermFilter;

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
    // The same with libxml2 alone: what readItem gives for every file the
    // quick reader (XhtmlTextScanner) does not answer for. Any thread.
    static ItemText parseItem(const QByteArray &xhtml);

    struct Item {
        QString id; // manifest id
        QString href;
        QUrl url;
    };

    // Copies the spine of `epub`; files are read through a copy of
    // `protocol` (the book's own resolver when null).
    explicit BookSearchText(const EPUBManager &epub, const EPUBURLProtcol *protocol = nullptr);
    BookSearchText(QList<Item> items, Loader loader);
    ~BookSearchText();

    // The spine items in reading order.
    const QList<Item> &items() const { return m_items; }
    // The text of item `index`; an empty, incomplete text for an index
    // outside the spine. Never null.
    std::shared_ptr<const ItemText> text(int index) const;
    // The text of item `index` when its file may hold the term of `filter`;
    // null when the file's bytes rule the term out (no hit is there).
    std::shared_ptr<const ItemText> textIfMayHold(int index, const XhtmlTermFilter &filter) const;
    // Reads the file of item `index`, and parses it when `filter` says it
    // may hold its term, unless that is done or being done; false then.
    bool readAhead(int index, const XhtmlTermFilter *filter = nullptr) const;

private:
    // One spine item: its file's bytes until it is parsed, then its text.
    struct Slot {
        std::shared_ptr<const ItemText> text;
        std::optional<QByteArray> bytes; // absent when the file cannot be read
        bool read = false;
        bool busy = false; // a thread is reading or parsing it
    };

    std::shared_ptr<const ItemText> obtain(int index, const XhtmlTermFilter *filter) const;
    std::shared_ptr<const ItemText> work(int index, const XhtmlTermFilter *filter, bool parse) const;

    QList<Item> m_items;
    Loader m_loader;
    mutable QMutex m_mutex;
    mutable std::vector<Slot> m_slots; // one per item; never resized after construction
    mutable QWaitCondition m_changed;
};
