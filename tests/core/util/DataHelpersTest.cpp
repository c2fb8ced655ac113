#include "core/util/DataHelpers.h"
#include "core/util/StringHelpers.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

namespace
{

QString compact(const QVariantMap &m)
{
    return QString::fromUtf8(QJsonDocument::fromVariant(m).toJson(QJsonDocument::Compact));
}

TEST(DataHelpers, JsonDictonaryRemovesNulls)
{
    const std::pair<const char *, const char *> cases[] = {
        { R"({"list":[null,null,1]})", R"({"list":[1]})" },
        { R"({"a":null,"b":"x"})", R"({"b":"x"})" },
        { R"({"a":{"b":null,"c":[{"d":null},null,[null,2]]}})", R"({"a":{"c":[{},[2]]}})" },
        { R"({})", R"({})" },
    };
    for (const auto &[in, out] : cases) {
        const auto d = jsonDictonary(QByteArray(in));
        ASSERT_TRUE(d.has_value()) << in;
        EXPECT_EQ(compact(*d), QString::fromLatin1(out)) << "input: " << in;
    }
    const char *absent[] = { "[1]", "\"s\"", "12", "{", "", "{\"a\":}" };
    for (const char *in : absent)
        EXPECT_FALSE(jsonDictonary(QByteArray(in)).has_value()) << "input: " << in;
}

TEST(DataHelpers, UTF8String)
{
    EXPECT_EQ(UTF8String(QByteArray("\xE5\x8C\xBB")).value(), QStringLiteral("医"));
    EXPECT_EQ(UTF8String(QByteArray("\xEF\xBB\xBF"
                                    "a"))
                  .value(),
        QString(QChar(0xFEFF)) + u'a')
        << "a byte-order mark is kept as a character";
    const char *invalid[] = { "\xFF", "\xC3", "\xC0\xAF", "\xED\xA0\x80", "a\x80" };
    for (const char *in : invalid)
        EXPECT_FALSE(UTF8String(QByteArray(in)).has_value())
            << "bytes: " << QByteArray(in).toHex().constData();
}

TEST(DataHelpers, JsonNullIsNotAbsent)
{
    const QVariant null = jsonDecode(QStringLiteral("null"));
    EXPECT_TRUE(isJsonNull(null));
    EXPECT_FALSE(isJsonNull(QVariant()));
    EXPECT_FALSE(isJsonNull(QVariant(0)));
}

} // namespace
