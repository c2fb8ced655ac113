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
// A piece of text is a run of character data between two pieces of markup,
// or the replacement of one entity or character reference: "A &amp; B"
// gives the pieces "A ", "&" and " B", hence "A&B". Plain text is never
// split further, however libxml2 happens to deliver it (it hands over a run
// of ASCII and the non-ASCII text after it separately), so "Harrison's
// 内科学" keeps its blank. Comments, processing instructions and CDATA end a
// piece but are not delivered themselves, and entities declared in a DTD are
// neither stored nor loaded (no external fetches, no entity expansion
// attacks).
//
// Elements nested deeper than kMaxDepth fail the parse as a whole: the
// dictionary and every walk over it are bounded by that depth, so a hostile
// document cannot exhaust the stack of whoever reads it (the installer, the
// reader, the local backend's XML-RPC route).
//
// One parser object per thread at a time; parse() may be called from any
// thread. Never throws.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>
#include <optional>

class XML2DicParser
{
public:
    // The deepest element nesting accepted (the document element is level
    // 1). Package, NCX and navigation documents of real books nest a few
    // dozen levels; libxml2's own parser stops at the same depth by default.
    static constexpr int kMaxDepth = 256;

    XML2DicParser();
    ~XML2DicParser();

    // The document dictionary of `bytes`; absent when given absent or when
    // the document nests elements deeper than kMaxDepth (then `error`, when
    // given, receives the reason). Malformed XML otherwise gives whatever was
    // recognised (possibly empty).
    static std::optional<QVariantMap> parse(const std::optional<QByteArray> &bytes, QString *error = nullptr);

    // Parses the whole buffer and returns the document dictionary: an empty
    // one when the document nests deeper than kMaxDepth, with errorString()
    // saying so.
    QVariantMap parseString(const QByteArray &bytes);
    // Why the last parseString() failed; empty when it did not.
    const QString &errorString() const { return m_error; }

    // Collects the errors of every parse on the calling thread while it
    // lives, for callers that reach the parser through other classes (the
    // inspector reading a book through EPUBManager). Collectors nest; the
    // innermost one receives the errors. Create and destroy it on one thread.
    class ErrorCollector
    {
    public:
        ErrorCollector();
        ~ErrorCollector();
        ErrorCollector(const ErrorCollector &) = delete;
        ErrorCollector &operator=(const ErrorCollector &) = delete;
        const QStringList &errors() const { return m_errors; }

        // Hands the error of a document read by other means (EPUBManager's
        // reader of navigation documents) to the innermost collector of the
        // calling thread; nothing happens when there is none.
        static void report(const QString &error);

    private:
        friend class XML2DicParser;
        ErrorCollector *m_outer;
        QStringList m_errors;
    };

    // The parser's events.
    void startElement(const QString &name, const QList<QPair<QString, QString>> &attributes);
    void endElement(const QString &name);
    void characters(const QString &text);

    // An element's dictionary while it is built.
    struct Node;

private:
    friend struct SaxEvents;
    // Delivers the text gathered since the last piece of markup or reference
    // as one piece.
    void flushText();

    std::shared_ptr<Node> m_dic;
    QList<std::shared_ptr<Node>> m_stack;
    std::shared_ptr<Node> m_curdic;
    void *m_context = nullptr; // libxml2's parser while parseString() runs
    QByteArray m_text; // plain text of the current piece, UTF-8
    QString m_error;
};
