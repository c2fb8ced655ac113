#include "content/XML2DicParser.h"

#include <QFile>
#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {

QString parsed(const char *xml)
{
    const auto d = XML2DicParser::parse(QByteArray(xml));
    return QString::fromUtf8(QJsonDocument::fromVariant(d.value_or(QVariantMap())).toJson(QJsonDocument::Compact));
}

TEST(XML2DicParser, DataModelRules)
{
    const std::pair<const char *, const char *> cases[] = {
        // repeated children become a list in document order; single ones a dictionary
        {"<a><b x=\"1\"/><b x=\"2\"/><c/></a>", R"({"a":{"b":[{"x":"1"},{"x":"2"}],"c":{}}})"},
        // text pieces are trimmed and joined; the entity is its own piece
        {"<t>  A &amp; B  </t>", R"({"t":{"value":"A&B"}})"},
        {"<t>one <i>two</i> three</t>", R"({"t":{"i":{"value":"two"},"value":"onethree"}})"},
        // blank text is dropped
        {"<t>\n   \t</t>", R"({"t":{}})"},
        // a child colliding with an attribute turns the key into [string, dictionary]
        {"<a id=\"1\"><id>2</id></a>", R"({"a":{"id":["1",{"value":"2"}]}})"},
        // prefixes and namespace declarations are kept as written
        {"<opf:package xmlns:opf=\"urn:x\"><dc:title>T</dc:title></opf:package>",
         R"({"opf:package":{"dc:title":{"value":"T"},"xmlns:opf":"urn:x"}})"},
        // comments, processing instructions and CDATA are not delivered
        {"<a><!-- c --><?pi x?><![CDATA[cdata]]>text</a>", R"({"a":{"value":"text"}})"},
        // malformed: what was recognised is kept
        {"<a><b>text</b><c>", R"({"a":{"b":{"value":"text"},"c":{}}})"},
        {"not xml at all", R"({})"},
        {"", R"({})"},
    };
    for (const auto &[xml, json] : cases)
        EXPECT_EQ(parsed(xml), QString::fromUtf8(json)) << "xml: " << xml;
    EXPECT_FALSE(XML2DicParser::parse(std::nullopt).has_value());
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
    EXPECT_EQ(XML2DicParser::parse(sjis)->value(QStringLiteral("t")).toMap().value(QStringLiteral("value")).toString(),
              QStringLiteral("医学"));
}

} // namespace

namespace {

// Found by fuzz_xml2dic: a DOCTYPE with an internal subset leaked the
// document libxml2 builds for it (seen under LeakSanitizer in `make fuzz`).
TEST(XML2DicParser, RegressionLeakInternalSubset)
{
    QFile f(QStringLiteral(TAVRO_FIXTURES_DIR "/../../fuzz/corpus/xml2dic/regression-leak-internal-subset.xml"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const auto d = XML2DicParser::parse(f.readAll());
    ASSERT_TRUE(d.has_value());
    EXPECT_TRUE(d->contains(QStringLiteral("a")));
    EXPECT_FALSE(QJsonDocument::fromVariant(*d).toJson().contains("root:"));
}

} // namespace
