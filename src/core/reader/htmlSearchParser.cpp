#include "htmlSearchParser.h"

#include "BookSearchText.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <mutex>
#include <thread>

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
    htmlSearchParser::ItemText result;

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

// Reads the spine items after the one being scanned on a second thread, so
// that reading and parsing the next files overlaps the scan; stops (and is
// joined) when the scan returns.
class ReadAhead
{
public:
    ReadAhead(const BookSearchText &book, int from, const std::atomic_bool *cancel)
    {
        if (from < 1 || from >= book.items().size())
            return;
        m_thread = std::thread([this, &book, from, cancel] {
            for (int k = from; k < book.items().size(); ++k) {
                if (m_stop.load(std::memory_order_relaxed)
                    || (cancel && cancel->load(std::memory_order_relaxed)))
                    return;
                book.readAhead(k);
            }
        });
    }
    ~ReadAhead()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::atomic_bool m_stop { false };
    std::thread m_thread;
};

} // namespace

htmlSearchParser::ItemText htmlSearchParser::readItem(const QByteArray &xhtml)
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

bool htmlSearchParser::parseXML(const QString &, bool, const QString &searchString,
    const BookSearchText &book, const QString &currentManifestID, bool searchFromFirstPage, int maxCount,
    const Progress *resume)
{
    Progress &p = m_progress;
    if (resume && resume->continues(searchString, currentManifestID, searchFromFirstPage, maxCount)) {
        p = *resume;
    } else {
        p = Progress {};
        p.term = searchString;
        p.currentManifestID = currentManifestID;
        p.fromFirst = searchFromFirstPage;
    }
    m_haveMore = false;
    m_changeFromFirst = !searchFromFirstPage;
    if (searchString.isEmpty()) {
        p.finished = true;
        return true;
    }

    const QList<BookSearchText::Item> &items = book.items();
    int first = p.item;
    if (!p.fromFirst && !p.started) {
        first = int(items.size());
        for (int i = 0; i < items.size(); ++i)
            if (items.at(i).id == currentManifestID) {
                first = i;
                break;
            }
    }
    const ReadAhead readAhead(book, first + 1, m_cancel);
    for (; p.item < items.size(); ++p.item) {
        if (cancelled())
            return false;
        const BookSearchText::Item &item = items.at(p.item);
        if (!p.midItem) {
            if (!p.fromFirst && !p.started) {
                if (item.id != currentManifestID)
                    continue;
                p.started = true;
            }
            if (p.hits.size() >= maxCount) {
                m_haveMore = true;
                m_changeFromFirst = false;
                return true;
            }
            p.midItem = true;
            p.chunk = 0;
            p.offset = 0;
            p.itemHits = 0;
        }
        const auto text = book.text(p.item);
        for (; p.chunk < text->chunks.size(); ++p.chunk, p.offset = 0) {
            const QString &chunk = text->chunks.at(p.chunk);
            for (qsizetype at = chunk.indexOf(searchString, p.offset, Qt::CaseInsensitive); at >= 0;
                 at = chunk.indexOf(searchString, at + 1, Qt::CaseInsensitive)) {
                if (p.hits.size() >= maxCount) {
                    // Nothing further in this item can change the outcome:
                    // the next item would find the list full and stop.
                    p.offset = int(at);
                    m_haveMore = true;
                    if (p.item + 1 < items.size())
                        m_changeFromFirst = false;
                    return true;
                }
                p.hits.append(QVariantMap {
                    { QStringLiteral("id"), item.id },
                    { QStringLiteral("text"), chunk },
                    { QStringLiteral("page"), p.item + 1 },
                    { QStringLiteral("location"), int(at) },
                    { QStringLiteral("no"), ++p.itemHits },
                });
            }
        }
        p.midItem = false;
    }
    p.finished = true;
    return true;
}
