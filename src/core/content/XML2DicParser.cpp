#include "XML2DicParser.h"

#include "util/Logging.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <mutex>
#include <variant>

// An element's dictionary while it is built: values are text, a child
// element, or a list of those.
struct XML2DicParser::Node
{
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

namespace {

thread_local XML2DicParser::ErrorCollector *t_collector = nullptr;

QString fromXml(const xmlChar *s)
{
    return s ? QString::fromUtf8(reinterpret_cast<const char *>(s)) : QString();
}

void onStartElement(void *ctx, const xmlChar *name, const xmlChar **atts)
{
    QList<QPair<QString, QString>> attributes;
    for (const xmlChar **a = atts; a && a[0]; a += 2) {
        const QString key = fromXml(a[0]);
        attributes.append({key, a[1] ? fromXml(a[1]) : key});
    }
    static_cast<XML2DicParser *>(ctx)->startElement(fromXml(name), attributes);
}

void onEndElement(void *ctx, const xmlChar *name)
{
    static_cast<XML2DicParser *>(ctx)->endElement(fromXml(name));
}

void onCharacters(void *ctx, const xmlChar *ch, int len)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(ch), len).trimmed();
    if (!text.isEmpty())
        static_cast<XML2DicParser *>(ctx)->characters(text);
}

// Without a CDATA callback libxml2 would hand CDATA to the characters
// callback; CDATA sections are not part of the document dictionary.
void ignoreCdata(void *, const xmlChar *, int) {}

void ignoreError(void *, xmlErrorPtr) {}

} // namespace

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

    xmlSAXHandler sax{};
    sax.initialized = 1; // the plain (SAX1) callbacks: names arrive as written
    sax.startElement = onStartElement;
    sax.endElement = onEndElement;
    sax.characters = onCharacters;
    sax.cdataBlock = ignoreCdata;

    // Errors are recovered from; keep them off stderr.
    xmlSetStructuredErrorFunc(nullptr, ignoreError);
    xmlParserCtxtPtr ctxt = xmlCreatePushParserCtxt(&sax, this, nullptr, 0, nullptr);
    m_context = ctxt;
    if (ctxt) {
        xmlCtxtUseOptions(ctxt, XML_PARSE_RECOVER | XML_PARSE_NOENT | XML_PARSE_NOBLANKS
                                    | XML_PARSE_COMPACT | XML_PARSE_NONET);
        const int size = int(std::min<qsizetype>(bytes.size(), INT_MAX));
        xmlParseChunk(ctxt, bytes.constData(), size, 1);
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
    return result;
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
