#include "core/content/XML2DicParser.h"

#include <QFile>
#include <QJsonDocument>
#include <gtest/gtest.h>

namespace
{

QString parsed(const char *xml)
{
    const auto d = XML2DicParser::parse(QByteArray(xml));
    return QString::fromUtf8(
        QJsonDocument::fromVariant(d.value_or(QVariantMap())).toJson(QJsonDocument::Compact));
}

TEST(XML2DicParser, DataModelRules)
{
    const std::pair<const char *, const char *> cases[] = {
        // repeated children become a list in document order; single ones a dictionary
        { "<a><b x=\"1\"/><b x=\"2\"/><c/></a>", R"({"a":{"b":[{"x":"1"},{"x":"2"}],"c":{}}})" },
        // text pieces are trimmed and joined; the entity is its own piece
        { "<t>  A &amp; B  </t>", R"({"t":{"value":"A&B"}})" },
        { "<t>one <i>two</i> three</t>", R"({"t":{"i":{"value":"two"},"value":"onethree"}})" },
        // blank text is dropped
        { "<t>\n   \t</t>", R"({"t":{}})" },
        // a child colliding with an attribute turns the key into [string, dictionary]
        { "<a id=\"1\"><id>2</id></a>", R"({"a":{"id":["1",{"value":"2"}]}})" },
        // prefixes and namespace declarations are kept as written
        { "<opf:package xmlns:opf=\"urn:x\"><dc:title>T</dc:title></opf:package>",
            R"({"opf:package":{"dc:title":{"value":"T"},"xmlns:opf":"urn:x"}})" },
        // comments, processing instructions and CDATA are not delivered
        { "<a><!-- c --><?pi x?><![CDATA[cdata]]>text</a>", R"({"a":{"value":"text"}})" },
        // malformed: what was recognised is kept
        { "<a><b>text</b><c>", R"({"a":{"b":{"value":"text"},"c":{}}})" },
        { "not xml at all", R"({})" },
        { "", R"({})" },
    };
    for (const auto &[xml, json] : cases)
        EXPECT_EQ(parsed(xml), QString::fromUtf8(json)) << "xml: " << xml;
    EXPECT_FALSE(XML2DicParser::parse(std::nullopt).has_value());
}

// The text of the document element "t".
QString textOf(const QByteArray &xml)
{
    const auto d = XML2DicParser::parse(xml);
    return d ? d->value(QStringLiteral("t")).toMap().value(QStringLiteral("value")).toString()
             : QStringLiteral("<refused>");
}

// Text is cut into pieces (each trimmed, then joined) only where a reference
// or a piece of markup stands. libxml2 delivers a run of ASCII and the
// non-ASCII text after it separately, and long non-ASCII text in chunks of
// about 300 bytes; none of that may cost a blank.
TEST(XML2DicParser, TextIsSplitOnlyAtReferencesAndMarkup)
{
    const QByteArray longMixed = QByteArray("第5版 Vol. 2 ").repeated(60);
    const std::pair<QByteArray, QString> cases[] = {
        // Latin and Japanese side by side
        { "<t>Harrison's 内科学 第5版 Vol. 2</t>", QStringLiteral("Harrison's 内科学 第5版 Vol. 2") },
        { "<t>Chapter 1 心臓 and lungs</t>", QStringLiteral("Chapter 1 心臓 and lungs") },
        { "<t>A Apple Pie — embedded images</t>", QStringLiteral("A Apple Pie — embedded images") },
        { "<t>\n  Line one\n  心臓 two  </t>", QStringLiteral("Line one\n  心臓 two") },
        { "<t>" + longMixed + "</t>", QString::fromUtf8(longMixed).trimmed() },
        // a non-breaking space inside text stays; at the ends it is trimmed
        { "<t>Vol.\xc2\xa0"
          "2 巻</t>",
            QStringLiteral("Vol.\u00a02 巻") },
        { "<t>\xc2\xa0"
          "edge\xc2\xa0</t>",
            QStringLiteral("edge") },
        // an entity or character reference is a piece of its own
        { "<t>A &amp; B</t>", QStringLiteral("A&B") },
        { "<t>内科 &amp; 外科 and more</t>", QStringLiteral("内科&外科 and more") },
        { "<t>&lt;tag&gt; 日本</t>", QStringLiteral("<tag>日本") },
        { "<t>x &#x41; y</t>", QStringLiteral("xAy") },
        { "<t>心&#x81D3; and lungs</t>", QStringLiteral("心臓and lungs") },
        { "<t>A&#160;B</t>", QStringLiteral("AB") },
        // text ending in ";" after a reference is still plain text
        { "<t>&amp;ab 日x;</t>", QStringLiteral("&ab 日x;") },
        // a declared encoding: the text arrives converted, pieces as in UTF-8
        { "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><t>ABC \x88\xe3\x8a\x77 &amp; DEF</t>",
            QStringLiteral("ABC 医学&DEF") },
        // CDATA, comments and processing instructions end a piece
        { "<t>one <![CDATA[two]]> 三</t>", QStringLiteral("one三") },
        { "<t>one <!-- c --> 三 four</t>", QStringLiteral("one三 four") },
        { "<t>one <?pi x?> 三</t>", QStringLiteral("one三") },
        // pieces of one element separated by a child are joined
        { "<t>前 <i>x</i> 後 end</t>", QStringLiteral("前後 end") },
    };
    for (const auto &[xml, text] : cases)
        EXPECT_EQ(textOf(xml), text) << "xml: " << xml.toStdString();
}

TEST(XML2DicParser, EntitiesNeverReachOutsideTheDocument)
{
    const char *external = "<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                           "<a>before&x;after</a>";
    EXPECT_FALSE(parsed(external).contains(QStringLiteral("root:")));

    QByteArray laughs = "<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY l0 \"lol\">";
    for (int i = 1; i < 10; ++i)
        laughs += "<!ENTITY l" + QByteArray::number(i) + " \"&l" + QByteArray::number(i - 1) + ";&l"
            + QByteArray::number(i - 1) + ";&l" + QByteArray::number(i - 1) + ";&l"
            + QByteArray::number(i - 1) + ";&l" + QByteArray::number(i - 1) + ";&l"
            + QByteArray::number(i - 1) + ";&l" + QByteArray::number(i - 1) + ";&l"
            + QByteArray::number(i - 1) + ";&l" + QByteArray::number(i - 1) + ";&l"
            + QByteArray::number(i - 1) + ";\">";
    laughs += "]><l>&l9;</l>";
    const auto d = XML2DicParser::parse(laughs);
    EXPECT_LT(QJsonDocument::fromVariant(d.value_or(QVariantMap())).toJson().size(), 1000);
}

TEST(XML2DicParser, DeclaredEncodingsAreDecoded)
{
    // "医学" in Shift_JIS.
    const QByteArray sjis = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><t>\x88\xe3\x8a\x77</t>";
    EXPECT_EQ(XML2DicParser::parse(sjis)
                  ->value(QStringLiteral("t"))
                  .toMap()
                  .value(QStringLiteral("value"))
                  .toString(),
        QStringLiteral("医学"));
}

} // namespace

namespace
{

// Found by fuzz_xml2dic: a DOCTYPE with an internal subset leaked the
// document libxml2 builds for it (seen under LeakSanitizer in `make fuzz`).
TEST(XML2DicParser, RegressionLeakInternalSubset)
{
    QFile f(
        QStringLiteral(TAVRO_FIXTURES_DIR "/../../fuzz/corpus/xml2dic/regression-leak-internal-subset.xml"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const auto d = XML2DicParser::parse(f.readAll());
    ASSERT_TRUE(d.has_value());
    EXPECT_TRUE(d->contains(QStringLiteral("a")));
    EXPECT_FALSE(QJsonDocument::fromVariant(*d).toJson().contains("root:"));
}

} // namespace

namespace
{

// `depth` nested elements, each holding the next; `closed` adds the end tags.
QByteArray nested(int depth, bool closed)
{
    QByteArray xml = "<?xml version=\"1.0\"?>";
    for (int i = 0; i < depth; ++i)
        xml += "<n i=\"" + QByteArray::number(i + 1) + "\">";
    xml += "text";
    if (closed)
        for (int i = 0; i < depth; ++i)
            xml += "</n>";
    return xml;
}

// How many "n" dictionaries lie inside one another from the top.
int depthOf(const QVariantMap &document)
{
    int depth = 0;
    QVariantMap m = document;
    while (m.contains(QStringLiteral("n"))) {
        m = m.value(QStringLiteral("n")).toMap();
        ++depth;
    }
    return depth;
}

// An OPF or NCX nested 60,000 deep overflowed the stack (the dictionary was
// built and freed recursively, once per element), which crashed the
// installer, the inspector and the backend's XML-RPC route. The input is
// kept in the fuzz corpus.
TEST(XML2DicParser, RegressionDeepNesting)
{
    QFile f(QStringLiteral(TAVRO_FIXTURES_DIR "/../../fuzz/corpus/xml2dic/regression-deep-nesting.xml"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QString error;
    EXPECT_FALSE(XML2DicParser::parse(f.readAll(), &error).has_value());
    EXPECT_EQ(error, QStringLiteral("elements nested deeper than 256 levels"));

    struct Case {
        int depth;
        bool closed;
        bool accepted;
    };
    const Case cases[] = {
        { 1, true, true },
        { XML2DicParser::kMaxDepth, true, true },
        { XML2DicParser::kMaxDepth, false, true }, // unclosed: recovered as before
        { XML2DicParser::kMaxDepth + 1, true, false },
        { 60000, true, false },
        { 60000, false, false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "depth " << c.depth << (c.closed ? " closed" : " unclosed"));
        QString why;
        const auto d = XML2DicParser::parse(nested(c.depth, c.closed), &why);
        if (c.accepted) {
            ASSERT_TRUE(d.has_value()) << why.toStdString();
            EXPECT_TRUE(why.isEmpty());
            EXPECT_EQ(depthOf(*d), c.depth);
        } else {
            EXPECT_FALSE(d.has_value());
            EXPECT_TRUE(why.contains(QStringLiteral("deeper than 256"))) << why.toStdString();
        }
    }

    // One parser object: a refused document gives an empty dictionary and
    // the reason; the next document parses again.
    XML2DicParser parser;
    EXPECT_TRUE(parser.parseString(nested(300, true)).isEmpty());
    EXPECT_FALSE(parser.errorString().isEmpty());
    EXPECT_EQ(depthOf(parser.parseString(nested(3, true))), 3);
    EXPECT_TRUE(parser.errorString().isEmpty());
}

// Errors reach whoever collects them on the thread that parsed, through
// classes that only see an absent dictionary.
TEST(XML2DicParser, ErrorCollectorsSeeTheirThreadsErrors)
{
    XML2DicParser::ErrorCollector outer;
    XML2DicParser::parse(nested(300, true));
    {
        XML2DicParser::ErrorCollector inner;
        XML2DicParser::parse(nested(400, false));
        XML2DicParser::parse(nested(10, true)); // accepted: nothing to collect
        EXPECT_EQ(inner.errors().size(), 1);
    }
    XML2DicParser::parse(std::nullopt);
    EXPECT_EQ(outer.errors().size(), 1) << "the inner collector took the second error";
}

} // namespace
