// Reads an XML-RPC method response into plain values: maps for structs,
// lists for arrays, qlonglong, double, bool, QString, QDateTime (or the
// JSON-null value for an unparsable date, which a struct leaves out),
// QByteArray for Base64. Faults are recognised.
//
// One parser per response, on one thread.
#pragma once

#include "XmlRpcValueNode.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <optional>

class XmlRpcResponseParser
{
public:
    // Absent bytes give no parser.
    static std::optional<XmlRpcResponseParser> withData(const std::optional<QByteArray> &data);
    explicit XmlRpcResponseParser(QByteArray data);

    // The value of the first top-level "value" element; invalid on a parse
    // error (malformed XML) or when there is none.
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
};
