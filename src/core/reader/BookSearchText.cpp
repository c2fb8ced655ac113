#include "BookSearchText.h"

#include "core/content/EPUBManager.h"
#include "core/content/EPUBURLProtcol.h"
#include "core/util/Logging.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <mutex>

namespace
{

QString fromXml(const xmlChar *s)
{
    return s ? QString::fromUtf8(reinterpret_cast<const char *>(s)) : QString();
}

// The element stack of one file, with each entry numbered among the
// siblings of the same name met so far under the same parent path: the
// second <p> under the body is "p[2]". Text is searchable unless an entry
// of the stack is "head[1]".
struct ItemReader {
    QStringList elementArray; // entries "name[n]"
    QStringList paths; // "/html[1]/body[1]" for each depth, "" at the top
    QHash<QString, QHash<QString, int>> parrentDic; // path -> child name -> count
    int headDepth = 0; // entries equal to "head[1]" on the stack
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
        const QString element = fromXml(name);
        const QString parent = r->paths.isEmpty() ? QString() : r->paths.last();
        const int n = ++r->parrentDic[parent][element];
        const QString entry = element + u'[' + QString::number(n) + u']';
        r->elementArray.append(entry);
        r->paths.append(parent + u'/' + entry);
        if (entry == u"head[1]")
            ++r->headDepth;
    }

    static void endElement(void *ctx, const xmlChar *)
    {
        auto *r = static_cast<ItemReader *>(ctx);
        r->flush();
        if (r->elementArray.isEmpty())
            return;
        if (r->elementArray.last() == u"head[1]")
            --r->headDepth;
        r->elementArray.removeLast();
        r->paths.removeLast();
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
}

BookSearchText::BookSearchText(QList<Item> items, Loader loader)
    : m_items(std::move(items))
    , m_loader(std::move(loader))
{
}

std::shared_ptr<const BookSearchText::ItemText> BookSearchText::text(int index) const
{
    if (index < 0 || index >= m_items.size()) {
        auto none = std::make_shared<ItemText>();
        none->complete = false;
        none->error = QStringLiteral("no such spine item");
        return none;
    }
    // How far past a file another thread is reading this one reads on.
    constexpr int kHelpAhead = 8;
    QMutexLocker lock(&m_mutex);
    for (;;) {
        if (const auto it = m_texts.constFind(index); it != m_texts.cend())
            return *it;
        if (!m_loading.contains(index)) {
            m_loading.insert(index);
            lock.unlock();
            return load(index);
        }
        int ahead = -1;
        for (int k = index + 1; k < m_items.size() && k <= index + kHelpAhead && ahead < 0; ++k)
            if (!m_texts.contains(k) && !m_loading.contains(k))
                ahead = k;
        if (ahead < 0) {
            m_loaded.wait(&m_mutex);
            continue;
        }
        m_loading.insert(ahead);
        lock.unlock();
        load(ahead);
        lock.relock();
    }
}

bool BookSearchText::readAhead(int index) const
{
    if (index < 0 || index >= m_items.size())
        return false;
    {
        QMutexLocker lock(&m_mutex);
        if (m_texts.contains(index) || m_loading.contains(index))
            return false;
        m_loading.insert(index);
    }
    load(index);
    return true;
}

// Reads and parses item `index`, which the caller has marked as loading.
std::shared_ptr<const BookSearchText::ItemText> BookSearchText::load(int index) const
{
    auto text = std::make_shared<ItemText>();
    const Item &item = m_items.at(index);
    const std::optional<QByteArray> bytes = item.url.isValid() ? m_loader(item.url) : std::nullopt;
    if (bytes) {
        *text = readItem(*bytes);
    } else {
        text->complete = false;
        text->error = QStringLiteral("%1 cannot be read").arg(item.href);
    }
    if (!text->complete)
        qCInfo(lcContent).noquote() << QStringLiteral("parseErrorOccurred:%1").arg(text->error);
    QMutexLocker lock(&m_mutex);
    m_texts.insert(index, text);
    m_loading.remove(index);
    m_loaded.wakeAll();
    return text;
}
