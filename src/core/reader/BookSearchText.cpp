#include "BookSearchText.h"

#include "XhtmlTermFilter.h"
#include "XhtmlTextScanner.h"

#include "core/content/EPUBManager.h"
#include "core/content/EPUBURLProtcol.h"
#include "core/util/Logging.h"

#include <cstring>
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <mutex>
#include <vector>

namespace
{

// Reads the text of one file. Text is searchable unless an element of the
// stack is the first <head> among its parent's children ("head[1]" when
// each element is numbered among the siblings of its name): one count of
// <head> children per open element is all that numbering needs here.
struct ItemReader {
    std::vector<int> headChildren { 0 }; // per open element, and the document below them all
    std::vector<char> firstHead; // per open element: it is a first <head>
    int headDepth = 0; // first <head> elements on the stack
    QByteArray text; // the chunk being collected, UTF-8
    BookSearchText::ItemText result;

    void flush()
    {
        if (text.isEmpty())
            return;
        if (headDepth == 0)
            result.chunks.append(QString::fromUtf8(text));
        text.clear();
    }

    static void startElement(void *ctx, const xmlChar *name, const xmlChar **)
    {
        auto *r = static_cast<ItemReader *>(ctx);
        r->flush();
        const bool head
            = std::strcmp(reinterpret_cast<const char *>(name), "head") == 0 && ++r->headChildren.back() == 1;
        r->headChildren.push_back(0);
        r->firstHead.push_back(head);
        if (head)
            ++r->headDepth;
    }

    static void endElement(void *ctx, const xmlChar *)
    {
        auto *r = static_cast<ItemReader *>(ctx);
        r->flush();
        if (r->firstHead.empty())
            return;
        if (r->firstHead.back())
            --r->headDepth;
        r->firstHead.pop_back();
        r->headChildren.pop_back();
    }

    static void characters(void *ctx, const xmlChar *ch, int len)
    {
        if (len > 0)
            static_cast<ItemReader *>(ctx)->text.append(reinterpret_cast<const char *>(ch), len);
    }

    // An entity the document does not declare (XHTML's &nbsp; and friends
    // under an external DTD that is not loaded): its HTML meaning.
    static void reference(void *ctx, const xmlChar *name)
    {
        if (const htmlEntityDesc *e = htmlEntityLookup(name)) {
            const char32_t c = e->value;
            static_cast<ItemReader *>(ctx)->text.append(QString::fromUcs4(&c, 1).toUtf8());
        }
    }

    static void comment(void *ctx, const xmlChar *) { static_cast<ItemReader *>(ctx)->flush(); }
};

void ignoreError(void *, xmlErrorPtr) { }

} // namespace

BookSearchText::ItemText BookSearchText::readItem(const QByteArray &xhtml)
{
    // Most files are plain XML that the quick reader answers for; the rest
    // (and every file with an error, which must stop where libxml2 stops)
    // go through libxml2.
    if (std::optional<QStringList> chunks = XhtmlTextScanner::read(xhtml)) {
        ItemText text;
        text.chunks = std::move(*chunks);
        return text;
    }
    return parseItem(xhtml);
}

BookSearchText::ItemText BookSearchText::parseItem(const QByteArray &xhtml)
{
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });

    ItemReader reader;
    xmlSAXHandler sax {};
    sax.initialized = 1; // SAX1: names arrive as written
    sax.startElement = ItemReader::startElement;
    sax.endElement = ItemReader::endElement;
    sax.characters = ItemReader::characters;
    sax.cdataBlock = ItemReader::characters;
    sax.reference = ItemReader::reference;
    sax.comment = ItemReader::comment;

    xmlParserCtxtPtr ctxt = xmlCreatePushParserCtxt(&sax, &reader, nullptr, 0, nullptr);
    if (!ctxt) {
        reader.result.complete = false;
        reader.result.error = QStringLiteral("the XML parser cannot be created");
        return reader.result;
    }
    // No recovery: a file stops being searched at its first error.
    xmlCtxtUseOptions(ctxt, XML_PARSE_NOENT | XML_PARSE_NONET);
    xmlSetStructuredErrorFunc(nullptr, ignoreError);
    const int rc = xmlParseChunk(ctxt, xhtml.constData(), int(xhtml.size()), 1);
    // Text delivered before an error was read, and is searched.
    reader.flush();
    if (rc != 0 || !ctxt->wellFormed) {
        reader.result.complete = false;
        const xmlError *e = xmlCtxtGetLastError(ctxt);
        reader.result.error = e && e->message
            ? QStringLiteral("line %1: %2").arg(e->line).arg(QString::fromUtf8(e->message).trimmed())
            : QStringLiteral("not well-formed");
    }
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    // A document type with entities makes the parser a document of its own
    // to hold them, which freeing the context leaves behind.
    if (ctxt->myDoc) {
        xmlFreeDoc(ctxt->myDoc);
        ctxt->myDoc = nullptr;
    }
    xmlFreeParserCtxt(ctxt);
    return reader.result;
}

BookSearchText::BookSearchText(const EPUBManager &epub, const EPUBURLProtcol *protocol)
{
    m_loader = [p = protocol ? *protocol : epub.protocol()](const QUrl &url) { return p.dataForUrl(url); };
    for (const QVariant &entry : epub.spine()) {
        const QVariantMap item = entry.toMap();
        const QString href = item.value(QStringLiteral("href")).toString();
        m_items.append({ item.value(QStringLiteral("id")).toString(), href, epub.urlForContent(href) });
    }
    m_slots.resize(size_t(m_items.size()));
}

BookSearchText::BookSearchText(QList<Item> items, Loader loader)
    : m_items(std::move(items))
    , m_loader(std::move(loader))
    , m_slots(size_t(m_items.size()))
{
}

BookSearchText::~BookSearchText() = default;

std::shared_ptr<const BookSearchText::ItemText> BookSearchText::text(int index) const
{
    return obtain(index, nullptr);
}

std::shared_ptr<const BookSearchText::ItemText> BookSearchText::textIfMayHold(
    int index, const XhtmlTermFilter &filter) const
{
    return obtain(index, &filter);
}

std::shared_ptr<const BookSearchText::ItemText> BookSearchText::obtain(
    int index, const XhtmlTermFilter *filter) const
{
    if (index < 0 || index >= m_items.size()) {
        auto none = std::make_shared<ItemText>();
        none->complete = false;
        none->error = QStringLiteral("no such spine item");
        return none;
    }
    // How far past a file another thread is working on this one reads on.
    constexpr int kHelpAhead = 8;
    QMutexLocker lock(&m_mutex);
    for (;;) {
        Slot &slot = m_slots[size_t(index)];
        if (slot.text)
            return slot.text;
        if (!slot.busy) {
            slot.busy = true;
            lock.unlock();
            return work(index, filter, true);
        }
        int ahead = -1;
        for (int k = index + 1; k < m_items.size() && k <= index + kHelpAhead && ahead < 0; ++k) {
            const Slot &s = m_slots[size_t(k)];
            if (!s.text && !s.busy && !s.read)
                ahead = k;
        }
        if (ahead < 0) {
            m_changed.wait(&m_mutex);
            continue;
        }
        m_slots[size_t(ahead)].busy = true;
        lock.unlock();
        work(ahead, nullptr, false);
        lock.relock();
    }
}

bool BookSearchText::readAhead(int index, const XhtmlTermFilter *filter) const
{
    if (index < 0 || index >= m_items.size())
        return false;
    {
        QMutexLocker lock(&m_mutex);
        Slot &slot = m_slots[size_t(index)];
        if (slot.text || slot.busy || (slot.read && !filter))
            return false;
        slot.busy = true;
    }
    work(index, filter, filter != nullptr);
    return true;
}

// Reads the file of item `index` (marked busy by the caller) unless it is
// read, then parses it when `parse` and `filter` (if any) lets it; clears
// the mark. The text, or null when it was not parsed.
std::shared_ptr<const BookSearchText::ItemText> BookSearchText::work(
    int index, const XhtmlTermFilter *filter, bool parse) const
{
    Slot &slot = m_slots[size_t(index)];
    // The slot is ours while busy: its fields are read without the lock.
    if (!slot.read) {
        const Item &item = m_items.at(index);
        std::optional<QByteArray> bytes = item.url.isValid() ? m_loader(item.url) : std::nullopt;
        QMutexLocker lock(&m_mutex);
        slot.bytes = std::move(bytes);
        slot.read = true;
    }
    std::shared_ptr<ItemText> text;
    if (parse && (!filter || !slot.bytes || filter->mayHold(*slot.bytes))) {
        text = std::make_shared<ItemText>();
        if (slot.bytes) {
            *text = readItem(*slot.bytes);
        } else {
            text->complete = false;
            text->error = QStringLiteral("%1 cannot be read").arg(m_items.at(index).href);
        }
        if (!text->complete)
            qCInfo(lcContent).noquote() << QStringLiteral("parseErrorOccurred:%1").arg(text->error);
    }
    QMutexLocker lock(&m_mutex);
    if (text) {
        slot.text = text;
        slot.bytes.reset(); // the text is what later searches read
    }
    slot.busy = false;
    m_changed.wakeAll();
    return text;
}
