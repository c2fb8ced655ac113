// Turns an XML document into nested dictionaries (libxml2's event parser
// in recover mode, entities substituted, blank text dropped):
//
//  - the root dictionary holds one key, the document element's qualified
//    name as written ("package", "opf:package"), with its dictionary;
//  - an element's dictionary holds its attributes (namespace declarations
//    too; an attribute without value gets its own name), its children under
//    their qualified names (a list, in document order, when a name repeats or
//    collides with an attribute), and "value": its text pieces, each trimmed
//    of white space and joined without separator.
//
// Only the start-element, end-element and characters events are handled,
// so comments, processing instructions and CDATA are not delivered, and
// entities declared in a DTD are neither stored nor loaded (no external
// fetches, no entity expansion attacks).
//
// One parser object per thread at a time; parse() may be called from any
// thread. Never throws.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <optional>

class XML2DicParser
{
public:
    XML2DicParser();
    ~XML2DicParser();

    // The document dictionary of `bytes`, or absent when given absent.
    // Malformed XML gives whatever was recognised (possibly empty).
    static std::optional<QVariantMap> parse(const std::optional<QByteArray> &bytes);

    // Parses the whole buffer and returns the document dictionary.
    QVariantMap parseString(const QByteArray &bytes);

    // The parser's events.
    void startElement(const QString &name, const QList<QPair<QString, QString>> &attributes);
    void endElement(const QString &name);
    void characters(const QString &text);

    // An element's dictionary while it is built.
    struct Node;

private:
    std::shared_ptr<Node> m_dic;
    QList<std::shared_ptr<Node>> m_stack;
    std::shared_ptr<Node> m_curdic;
};
