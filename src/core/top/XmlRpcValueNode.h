// One node of an XML-RPC value tree while a response is parsed: its element
// type decides how its text becomes a value when the node ends. A finished
// node moves its value into its parent's array or struct in place, so a
// response is read in time linear in its size.
#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

class XmlRpcValueNode
{
public:
    enum ElementType {
        Array = 0,
        Struct = 1,
        Member = 2,
        Name = 3,
        Integer = 4,
        Double = 5,
        Boolean = 6,
        String = 7,
        Date = 8,
        Binary = 9
    };

    // Nodes are owned by `arena` (the parser's). Nodes nest strictly, so the
    // open ones form a stack: a new child is pushed at the back, and the
    // parser may pop a node once it has finished.
    using Arena = std::vector<std::unique_ptr<XmlRpcValueNode>>;
    XmlRpcValueNode(XmlRpcValueNode *parent, Arena *arena);

    XmlRpcValueNode *parent() const { return m_parent; }
    // How many "value" elements enclose this node, its own included: 1 for
    // the top-level value, 2 for an element of its array or a member value
    // of its struct, and so on.
    int depth() const { return m_depth; }
    int elementType() const { return m_type; }
    void setElementType(int type);
    const QString &elementKey() const { return m_key; }
    void setElementKey(const QString &key) { m_key = key; }
    const QVariant &elementValue() const { return m_value; }
    void setElementValue(const QVariant &value) { m_value = value; }

    // The parser's events, as this node sees them. startElement returns the
    // node that receives the following events (a new child, or this node);
    // endElement returns the node that receives them afterwards (the parent
    // when this node finished, or this node).
    XmlRpcValueNode *startElement(const QString &name);
    void characters(const QString &text);
    XmlRpcValueNode *endElement(const QString &name, bool *finished);

    static bool isDictionaryElementType(int type) { return type == Struct || type == Member; }

    static QVariant parseInteger(const QString &text);
    static QVariant parseDouble(const QString &text);
    static QVariant parseBoolean(const QString &text);
    static QVariant parseString(const QString &text);
    // A QDateTime (local time), or the JSON-null value when unparsable.
    static QVariant parseDate(const QString &text);
    // The bytes, or the JSON-null value when the text is not Base64.
    static QVariant parseData(const QString &text);

private:
    void finish();
    void giveToParent();

    XmlRpcValueNode *m_parent;
    Arena *m_arena;
    int m_depth = 1;
    int m_type = String;
    QString m_key;
    QVariant m_value;
    QString m_text;
};
