#include "XmlRpcResponseParser.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

namespace
{

QString fromXml(const xmlChar *s, int len = -1)
{
    return len < 0 ? QString::fromUtf8(reinterpret_cast<const char *>(s))
                   : QString::fromUtf8(reinterpret_cast<const char *>(s), len);
}

void onStart(void *ctx, const xmlChar *name, const xmlChar **)
{
    static_cast<XmlRpcResponseParser *>(ctx)->startElement(fromXml(name));
}

void onEnd(void *ctx, const xmlChar *name)
{
    static_cast<XmlRpcResponseParser *>(ctx)->endElement(fromXml(name));
}

void onCharacters(void *ctx, const xmlChar *ch, int len)
{
    static_cast<XmlRpcResponseParser *>(ctx)->characters(fromXml(ch, len));
}

void ignoreError(void *, xmlErrorPtr) { }

} // namespace

std::optional<XmlRpcResponseParser> XmlRpcResponseParser::withData(const std::optional<QByteArray> &data)
{
    if (!data)
        return std::nullopt;
    return XmlRpcResponseParser(*data);
}

XmlRpcResponseParser::XmlRpcResponseParser(QByteArray data)
    : m_data(std::move(data))
{
}

void XmlRpcResponseParser::startElement(const QString &name)
{
    if (m_aborted || m_done)
        return;
    if (m_current) {
        m_current = m_current->startElement(name);
        if (m_current->depth() > kMaxDepth) {
            m_error = QStringLiteral("XML-RPC value nested deeper than %1 levels").arg(kMaxDepth);
            m_aborted = true;
            if (m_context)
                xmlStopParser(static_cast<xmlParserCtxtPtr>(m_context));
        }
        return;
    }
    if (name == u"fault") {
        m_isFault = true;
    } else if (name == u"value") {
        m_arena.push_back(std::make_unique<XmlRpcValueNode>(nullptr, &m_arena));
        m_root = m_current = m_arena.back().get();
    }
}

void XmlRpcResponseParser::endElement(const QString &name)
{
    if (m_aborted || m_done || !m_current)
        return;
    bool finished = false;
    XmlRpcValueNode *next = m_current->endElement(name, &finished);
    if (finished && m_current == m_root)
        m_done = true; // the rest of the document is not read
    else if (finished && !m_arena.empty() && m_arena.back().get() == m_current)
        m_arena.pop_back(); // its value is with its parent now
    m_current = next;
}

void XmlRpcResponseParser::characters(const QString &text)
{
    if (!m_aborted && !m_done && m_current)
        m_current->characters(text);
}

QVariant XmlRpcResponseParser::parse()
{
    xmlSAXHandler sax {};
    sax.initialized = 1;
    sax.startElement = onStart;
    sax.endElement = onEnd;
    sax.characters = onCharacters;
    sax.cdataBlock = onCharacters;
    xmlSetStructuredErrorFunc(nullptr, ignoreError);
    xmlParserCtxtPtr ctxt = xmlCreatePushParserCtxt(&sax, this, nullptr, 0, nullptr);
    m_context = ctxt;
    int rc = -1;
    if (ctxt) {
        xmlCtxtUseOptions(ctxt, XML_PARSE_NONET);
        // Fed in pieces: libxml2 refuses to look ahead over more than 10 MB
        // of unparsed input at once, which a large answer handed over whole
        // would be.
        constexpr qsizetype kChunk = 1 << 16;
        rc = 0;
        for (qsizetype at = 0; rc == 0 && !m_aborted && at < m_data.size(); at += kChunk)
            rc = xmlParseChunk(ctxt, m_data.constData() + at, int(std::min(kChunk, m_data.size() - at)), 0);
        if (rc == 0 && !m_aborted)
            rc = xmlParseChunk(ctxt, nullptr, 0, 1);
        if (m_aborted) {
            rc = rc ? rc : -1; // m_error says why
        } else if (rc != 0 || !ctxt->wellFormed) {
            const xmlError *e = xmlCtxtGetLastError(ctxt);
            m_error
                = e && e->message ? QString::fromUtf8(e->message).trimmed() : QStringLiteral("malformed XML");
            rc = rc ? rc : -1;
        }
        if (ctxt->myDoc)
            xmlFreeDoc(ctxt->myDoc);
        ctxt->myDoc = nullptr;
        xmlFreeParserCtxt(ctxt);
    }
    m_context = nullptr;
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    if (rc != 0 || m_aborted || !m_root)
        return {};
    return m_root->elementValue();
}
