#include "XML2DicParser.h"

#include "core/util/Logging.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <mutex>
#include <variant>

// An element's dictionary while it is built: values are text, a child
// element, or a list of those.
struct XML2DicParser::Node {
    using Item = std::variant<QString, std::shared_ptr<Node>>;
    using Value = std::variant<QString, std::shared_ptr<Node>, QList<Item>>;
    QHash<QString, Value> entries;

    QVariantMap toMap(int depth = 0) const;
};

static QVariant itemToVariant(const XML2DicParser::Node::Item &item, int depth);

// The tree never grows deeper than kMaxDepth (startElement stops the parse
// first), so this recursion is bounded; the check keeps it so.
QVariantMap XML2DicParser::Node::toMap(int depth) const
{
    QVariantMap map;
    if (depth > kMaxDepth)
        return map;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        const Value &v = it.value();
        if (const auto *s = std::get_if<QString>(&v)) {
            map.insert(it.key(), *s);
        } else if (const auto *n = std::get_if<std::shared_ptr<Node>>(&v)) {
            map.insert(it.key(), (*n)->toMap(depth + 1));
        } else {
            QVariantList list;
            for (const Item &item : std::get<QList<Item>>(v))
                list.append(itemToVariant(item, depth + 1));
            map.insert(it.key(), list);
        }
    }
    return map;
}

static QVariant itemToVariant(const XML2DicParser::Node::Item &item, int depth)
{
    if (const auto *s = std::get_if<QString>(&item))
        return *s;
    return std::get<std::shared_ptr<XML2DicParser::Node>>(item)->toMap(depth);
}

namespace
{

thread_local XML2DicParser::ErrorCollector *t_collector = nullptr;

QString fromXml(const xmlChar *s)
{
    return s ? QString::fromUtf8(reinterpret_cast<const char *>(s)) : QString();
}

void ignoreError(void *, xmlErrorPtr) { }

// True when a characters event carries the replacement of an entity or
// character reference rather than document text. libxml2 hands plain text
// over as a pointer into its input buffer or, when the text holds non-ASCII
// characters, from a buffer of its own filled from the input just before the
// cursor; the replacement of a reference comes from elsewhere right after the
// cursor has passed the reference's ";". Plain text holds no "&" (it would be
// a reference), and the text libxml2 copies begins with a character that
// cannot be part of a reference's name, so the scan back from the cursor
// cannot mistake it for one.
bool isReference(xmlParserCtxtPtr ctxt, const xmlChar *ch)
{
    const xmlParserInputPtr in = ctxt ? ctxt->input : nullptr;
    if (!in || !in->base || !in->cur || !in->end)
        return false;
    if (ch >= in->base && ch < in->end)
        return false;
    const xmlChar *p = in->cur;
    if (p <= in->base || p[-1] != ';')
        return false;
    --p;
    while (p > in->base) {
        const xmlChar c = *--p;
        if (c == '&')
            return in->cur - p > 2;
        const bool nameChar = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
            || c == '#' || c == '_' || c == '-' || c == '.' || c == ':';
        if (!nameChar)
            return false;
    }
    return false;
}

} // namespace

// libxml2's callbacks, with access to the text of the current piece.
struct SaxEvents {
    static void startElement(void *ctx, const xmlChar *name, const xmlChar **atts)
    {
        auto *parser = static_cast<XML2DicParser *>(ctx);
        parser->flushText();
        QList<QPair<QString, QString>> attributes;
        for (const xmlChar **a = atts; a && a[0]; a += 2) {
            const QString key = fromXml(a[0]);
            attributes.append({ key, a[1] ? fromXml(a[1]) : key });
        }
        parser->startElement(fromXml(name), attributes);
    }

    static void endElement(void *ctx, const xmlChar *name)
    {
        auto *parser = static_cast<XML2DicParser *>(ctx);
        parser->flushText();
        parser->endElement(fromXml(name));
    }

    static void characters(void *ctx, const xmlChar *ch, int len)
    {
        auto *parser = static_cast<XML2DicParser *>(ctx);
        if (len <= 0)
            return;
        if (!isReference(static_cast<xmlParserCtxtPtr>(parser->m_context), ch)) {
            parser->m_text.append(reinterpret_cast<const char *>(ch), len);
            return;
        }
        // A reference is a piece of its own, trimmed like any other.
        parser->flushText();
        parser->m_text.append(reinterpret_cast<const char *>(ch), len);
        parser->flushText();
    }

    // Comments, processing instructions and CDATA sections are not part of
    // the document dictionary; they end the piece of text before them.
    static void cdata(void *ctx, const xmlChar *, int) { static_cast<XML2DicParser *>(ctx)->flushText(); }
    static void comment(void *ctx, const xmlChar *) { static_cast<XML2DicParser *>(ctx)->flushText(); }
    static void processingInstruction(void *ctx, const xmlChar *, const xmlChar *)
    {
        static_cast<XML2DicParser *>(ctx)->flushText();
    }
};

XML2DicParser::XML2DicParser()
{
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

XML2DicParser::~XML2DicParser() = default;

XML2DicParser::ErrorCollector::ErrorCollector()
    : m_outer(t_collector)
{
    t_collector = this;
}

XML2DicParser::ErrorCollector::~ErrorCollector()
{
    t_collector = m_outer;
}

void XML2DicParser::ErrorCollector::report(const QString &error)
{
    if (t_collector)
        t_collector->m_errors.append(error);
}

std::optional<QVariantMap> XML2DicParser::parse(const std::optional<QByteArray> &bytes, QString *error)
{
    if (!bytes)
        return std::nullopt;
    XML2DicParser parser;
    QVariantMap result = parser.parseString(*bytes);
    if (!parser.errorString().isEmpty()) {
        if (error)
            *error = parser.errorString();
        return std::nullopt;
    }
    return result;
}

QVariantMap XML2DicParser::parseString(const QByteArray &bytes)
{
    m_dic = std::make_shared<Node>();
    m_stack.clear();
    m_curdic = m_dic;
    m_error.clear();
    m_text.clear();

    xmlSAXHandler sax {};
    sax.initialized = 1; // the plain (SAX1) callbacks: names arrive as written
    sax.startElement = SaxEvents::startElement;
    sax.endElement = SaxEvents::endElement;
    sax.characters = SaxEvents::characters;
    // Without a CDATA callback libxml2 would hand CDATA to the characters
    // callback.
    sax.cdataBlock = SaxEvents::cdata;
    sax.comment = SaxEvents::comment;
    sax.processingInstruction = SaxEvents::processingInstruction;

    // Errors are recovered from; keep them off stderr.
    xmlSetStructuredErrorFunc(nullptr, ignoreError);
    xmlParserCtxtPtr ctxt = xmlCreatePushParserCtxt(&sax, this, nullptr, 0, nullptr);
    m_context = ctxt;
    if (ctxt) {
        xmlCtxtUseOptions(ctxt,
            XML_PARSE_RECOVER | XML_PARSE_NOENT | XML_PARSE_NOBLANKS | XML_PARSE_COMPACT | XML_PARSE_NONET);
        const int size = int(std::min<qsizetype>(bytes.size(), INT_MAX));
        xmlParseChunk(ctxt, bytes.constData(), size, 1);
        flushText();
        // A DOCTYPE with an internal subset makes libxml2 build a document to
        // hold it even in SAX mode; it is ours to free.
        if (ctxt->myDoc)
            xmlFreeDoc(ctxt->myDoc);
        ctxt->myDoc = nullptr;
        xmlFreeParserCtxt(ctxt);
    }
    m_context = nullptr;
    xmlSetStructuredErrorFunc(nullptr, nullptr);

    QVariantMap result = m_error.isEmpty() ? m_dic->toMap() : QVariantMap();
    if (!m_error.isEmpty()) {
        qCWarning(lcContent) << "XML document not read:" << m_error;
        if (t_collector)
            t_collector->m_errors.append(m_error);
    }
    m_dic.reset();
    m_stack.clear();
    m_curdic.reset();
    m_text.clear();
    return result;
}

void XML2DicParser::flushText()
{
    if (m_text.isEmpty())
        return;
    const QString text = QString::fromUtf8(m_text).trimmed();
    m_text.clear();
    if (!text.isEmpty())
        characters(text);
}

void XML2DicParser::startElement(const QString &name, const QList<QPair<QString, QString>> &attributes)
{
    if (!m_error.isEmpty() || !m_curdic)
        return;
    if (m_stack.size() >= kMaxDepth) {
        m_error = QStringLiteral("elements nested deeper than %1 levels").arg(kMaxDepth);
        // No further events: the tree stays within the limit, and so do the
        // walks over it (and its destruction).
        if (m_context)
            xmlStopParser(static_cast<xmlParserCtxtPtr>(m_context));
        return;
    }
    m_stack.append(m_curdic);
    auto node = std::make_shared<Node>();
    for (const auto &[key, value] : attributes)
        node->entries.insert(key, value);

    auto it = m_curdic->entries.find(name);
    if (it == m_curdic->entries.end()) {
        m_curdic->entries.insert(name, node);
    } else if (auto *list = std::get_if<QList<Node::Item>>(&it.value())) {
        list->append(node);
    } else {
        QList<Node::Item> items;
        if (const auto *s = std::get_if<QString>(&it.value()))
            items.append(*s);
        else
            items.append(std::get<std::shared_ptr<Node>>(it.value()));
        items.append(node);
        it.value() = items;
    }
    m_curdic = node;
}

void XML2DicParser::endElement(const QString &)
{
    if (!m_error.isEmpty() || m_stack.isEmpty())
        return;
    m_curdic = m_stack.takeLast();
}

void XML2DicParser::characters(const QString &text)
{
    if (!m_error.isEmpty() || !m_curdic || m_curdic == m_dic)
        return;
    const QString key = QStringLiteral("value");
    auto it = m_curdic->entries.find(key);
    if (it == m_curdic->entries.end())
        m_curdic->entries.insert(key, text);
    else if (auto *s = std::get_if<QString>(&it.value()))
        s->append(text);
    // A child element named "value" keeps the key; its parent's text is
    // dropped rather than mixed into it.
}
