// Reads an XML-RPC method response into plain values: maps for structs,
// lists for arrays, qlonglong, double, bool, QString, QDateTime (or the
// JSON-null value for an unparsable date, which a struct leaves out),
// QByteArray for Base64. Faults are recognised.
//
// Values nested deeper than kMaxDepth fail the parse, so neither the parser
// nor anyone walking the value (describeXmlRpcValue, JSON writers, the
// value's own destructor) recurses without bound. Parsing takes time linear
// in the size of the response and memory for the value plus the open nodes.
//
// One parser per response, used on one thread; any thread (the article
// screen's answers are parsed on a worker).
#pragma once

#include "XmlRpcValueNode.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <optional>

class XmlRpcResponseParser
{
public:
    // The deepest value nesting accepted: the top-level value is level 1, an
    // element of its array or a member of its struct level 2. News answers
    // nest three or four levels.
    static constexpr int kMaxDepth = 256;

    // Absent bytes give no parser.
    static std::optional<XmlRpcResponseParser> withData(const std::optional<QByteArray> &data);
    explicit XmlRpcResponseParser(QByteArray data);

    // The value of the first top-level "value" element; invalid on a parse
    // error (malformed XML, values nested deeper than kMaxDepth; see
    // parserError()) or when there is none.
    QVariant parse();
    void abortParsing() { m_aborted = true; }
    const QString &parserError() const { return m_error; }
    bool isFault() const { return m_isFault; }

    // Parser events.
    void startElement(const QString &name);
    void endElement(const QString &name);
    void characters(const QString &text);

private:
    QByteArray m_data;
    XmlRpcValueNode::Arena m_arena;
    XmlRpcValueNode *m_root = nullptr;
    XmlRpcValueNode *m_current = nullptr;
    bool m_done = false;
    bool m_isFault = false;
    bool m_aborted = false;
    QString m_error;
    void *m_context = nullptr; // libxml2's parser while parse() runs
};
