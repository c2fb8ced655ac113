#include "core/util/StringHelpers.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace
{

struct EncodeCase {
    const char *input;
    const char *encoded;
    const char *encodedNoSlash;
};

TEST(StringHelpers, EncodeURITable)
{
    const EncodeCase cases[] = {
        { "abcXYZ019-._~", "abcXYZ019-._~", "abcXYZ019-._~" },
        { "My Book.epub", "My%20Book.epub", "My%20Book.epub" },
        { "a/b:c", "a%2Fb%3Ac", "a/b:c" },
        { " !*'();:@&=+$,/?%#[]", "%20%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D",
            "%20%21%2A%27%28%29%3B:%40%26%3D%2B%24%2C/%3F%25%23%5B%5D" },
        { "医学.epub", "%E5%8C%BB%E5%AD%A6.epub", "%E5%8C%BB%E5%AD%A6.epub" },
        { "\xF0\x9F\x93\x96", "%F0%9F%93%96", "%F0%9F%93%96" },
        { "", "", "" },
    };
    for (const auto &c : cases) {
        const QString in = QString::fromUtf8(c.input);
        EXPECT_EQ(encodeURI(in), QString::fromLatin1(c.encoded)) << "input: " << c.input;
        EXPECT_EQ(encodeURInoslash(in), QString::fromLatin1(c.encodedNoSlash)) << "input: " << c.input;
    }
}

TEST(StringHelpers, DecodeRejectsMalformedSequences)
{
    const char *rejected[] = { "%", "%4", "a%G0", "%FF", "%C3", "%C0%AF", "%ED%A0%80" };
    for (const char *r : rejected)
        EXPECT_FALSE(decodeURI(QString::fromLatin1(r)).has_value()) << "input: " << r;
    EXPECT_EQ(decodeURI(QStringLiteral("a+b%2b")).value(), QStringLiteral("a+b+"));
    EXPECT_EQ(decodeURI(QStringLiteral("%e5%8c%bb")).value(), QStringLiteral("医"));
}

// Every file name must come back exactly: random names over the whole of
// Unicode (astral planes, a leading byte-order mark, "%" and "/" included).
TEST(StringHelpers, EncodeDecodeRoundTripsEveryName)
{
    QRandomGenerator rng(1234);
    const char32_t specials[]
        = { U'%', U'/', U' ', U'#', U'?', U'+', U'\uFEFF', U'\u3042', U'\U0001F4D6', U'.' };
    for (int n = 0; n < 3000; ++n) {
        std::u32string name;
        const int length = int(rng.bounded(1, 24));
        for (int i = 0; i < length; ++i) {
            char32_t c;
            if (rng.bounded(3) == 0) {
                c = specials[rng.bounded(int(std::size(specials)))];
            } else {
                do {
                    c = char32_t(rng.bounded(1, 0x110000));
                } while (c >= 0xD800 && c <= 0xDFFF);
            }
            name.push_back(c);
        }
        const QString s = QString::fromUcs4(name.data(), qsizetype(name.size()));
        const auto back = decodeURI(encodeURI(s));
        ASSERT_TRUE(back.has_value()) << s.toStdString();
        ASSERT_EQ(*back, s) << s.toStdString();
        ASSERT_EQ(decodeURI(encodeURInoslash(s)).value_or(QString()), s) << s.toStdString();
    }
}

TEST(StringHelpers, Query2Dic)
{
    const QVariantMap d = query2dic(QStringLiteral("a=1&b&c=x%20y&d=1=2&e=%ZZ&a2=+&a=3"));
    EXPECT_EQ(d.value(QStringLiteral("a")).toString(), QStringLiteral("3")) << "later key wins";
    EXPECT_EQ(d.value(QStringLiteral("c")).toString(), QStringLiteral("x y"));
    EXPECT_EQ(d.value(QStringLiteral("a2")).toString(), QStringLiteral("+"));
    EXPECT_FALSE(d.contains(QStringLiteral("b")));
    EXPECT_FALSE(d.contains(QStringLiteral("d")));
    EXPECT_FALSE(d.contains(QStringLiteral("e")));
    EXPECT_EQ(d.size(), 3);
    EXPECT_TRUE(query2dic(QString()).isEmpty());
}

TEST(StringHelpers, JsonDecode)
{
    EXPECT_EQ(jsonDecode(QStringLiteral("{\"a\":1}")).toMap().value(QStringLiteral("a")).toInt(), 1);
    EXPECT_EQ(jsonDecode(QStringLiteral("[1,2]")).toList().size(), 2);
    EXPECT_EQ(jsonDecode(QStringLiteral("\"医\"")).toString(), QStringLiteral("医"));
    EXPECT_EQ(jsonDecode(QStringLiteral(" 12.5 ")).toDouble(), 12.5);
    const char *invalid[] = { "", "1,2", "nope", "{", "[1]]", "\"a\",\"b\"" };
    for (const char *s : invalid)
        EXPECT_FALSE(jsonDecode(QString::fromLatin1(s)).isValid()) << "input: " << s;
}

// The literal reading: remove the leftmost "<[^>]+>" until none is left.
QString stripByRepeatedRemoval(QString s)
{
    static const QRegularExpression tag(QStringLiteral("<[^>]+>"));
    for (;;) {
        const auto m = tag.match(s);
        if (!m.hasMatch())
            break;
        s.remove(m.capturedStart(), m.capturedLength());
    }
    s.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
    s.replace(u'\r', u' ');
    s.replace(u'\n', u' ');
    return s;
}

TEST(StringHelpers, StringByStrippingHTMLTable)
{
    const std::pair<const char *, const char *> cases[] = {
        { "<p>A&nbsp;B</p>\n", "A B " },
        { "<b>bold</b> and <i>it</i>", "bold and it" },
        { "a <> b", "a <> b" },
        { "<<a>b>", "b>" },
        { "x<y<z>w", "xw" },
        { "line1\r\nline2", "line1  line2" },
        { "no tags", "no tags" },
        { "<unterminated", "<unterminated" },
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(stringByStrippingHTML(QString::fromUtf8(in)), QString::fromUtf8(out)) << "input: " << in;
}

TEST(StringHelpers, StringByStrippingHTMLAgreesWithRepeatedRemoval)
{
    QRandomGenerator rng(42);
    const char alphabet[] = { '<', '>', 'a', 'b', '\n', '<', '>' };
    for (int n = 0; n < 5000; ++n) {
        QString s;
        const int length = int(rng.bounded(0, 16));
        for (int i = 0; i < length; ++i)
            s.append(QLatin1Char(alphabet[rng.bounded(int(sizeof alphabet))]));
        ASSERT_EQ(stringByStrippingHTML(s), stripByRepeatedRemoval(s)) << s.toStdString();
    }
}

TEST(StringHelpers, EscapedStringAndTrim)
{
    EXPECT_EQ(escapedString(QStringLiteral("a&<b>")), QStringLiteral("a&#38;&#60;b&#62;"));
    EXPECT_EQ(escapedString(QStringLiteral("&#60;")), QStringLiteral("&#38;#60;"));
    EXPECT_EQ(trim(QStringLiteral(" \t a b \t ")), QStringLiteral("a b"));
    EXPECT_EQ(trim(QStringLiteral("\n a \n")), QStringLiteral("\n a \n")) << "line breaks stay";
    EXPECT_EQ(trim(QStringLiteral(" \t ")), QString());
}

TEST(StringHelpers, DisplayTextDropsControlsButKeepsLines)
{
    const struct {
        QString input;
        QString shown;
    } cases[] = {
        { QStringLiteral("デバイス制限") + QChar(0x0008) + QStringLiteral("エラーです。"),
            QStringLiteral("デバイス制限エラーです。") },
        { QStringLiteral("a\nb\tc"), QStringLiteral("a\nb\tc") },
        { QStringLiteral("a\r\nb\rc"), QStringLiteral("a\nb\nc") },
        { QString(QChar(0)) + QStringLiteral("a") + QChar(0x1b) + QChar(0x7f) + QChar(0x1f),
            QStringLiteral("a") },
        { QStringLiteral("é 漢 ") + QChar(0x00a0), QStringLiteral("é 漢 ") + QChar(0x00a0) },
    };
    for (const auto &c : cases)
        EXPECT_EQ(displayText(c.input), c.shown) << qPrintable(c.input.toUtf8().toHex());
}

} // namespace
