#include "core/util/DictionaryHelpers.h"
#include "core/util/ArrayHelpers.h"

#include <QDateTime>
#include <gtest/gtest.h>

namespace
{

const QVariantMap kSample {
    { QStringLiteral("int"), 12 },
    { QStringLiteral("long"), qlonglong(1234567890123) },
    { QStringLiteral("real"), 1.5 },
    { QStringLiteral("wholeReal"), 12.0 },
    { QStringLiteral("true"), true },
    { QStringLiteral("str"), QStringLiteral("text") },
    { QStringLiteral("list"), QVariantList { 1, 2 } },
    { QStringLiteral("map"), QVariantMap { { QStringLiteral("k"), QStringLiteral("v") } } },
    { QStringLiteral("data"), QByteArray("xyz") },
    { QStringLiteral("null"), QVariant::fromValue(nullptr) },
};

TEST(DictionaryHelpers, StringForKeyTable)
{
    const std::pair<const char *, std::optional<QString>> cases[] = {
        { "int", QStringLiteral("12") },
        { "long", QStringLiteral("1234567890123") },
        { "real", QStringLiteral("1.5") },
        { "wholeReal", QStringLiteral("12") },
        { "true", QStringLiteral("1") },
        { "str", QStringLiteral("text") },
        { "list", std::nullopt },
        { "map", std::nullopt },
        { "data", std::nullopt },
        { "null", std::nullopt },
        { "missing", std::nullopt },
    };
    for (const auto &[key, expected] : cases)
        EXPECT_EQ(stringForKey(kSample, QString::fromLatin1(key)), expected) << "key: " << key;
}

TEST(DictionaryHelpers, TypedAccessors)
{
    EXPECT_TRUE(dictionaryForKey(kSample, QStringLiteral("map")).has_value());
    EXPECT_FALSE(dictionaryForKey(kSample, QStringLiteral("list")).has_value());
    EXPECT_EQ(arrayForKey(kSample, QStringLiteral("list"))->size(), 2);
    EXPECT_FALSE(arrayForKey(kSample, QStringLiteral("str")).has_value());
    EXPECT_EQ(farrayForKey(kSample, QStringLiteral("list"))->size(), 2);
    EXPECT_EQ(farrayForKey(kSample, QStringLiteral("str")).value(), QVariantList { QStringLiteral("text") });
    EXPECT_FALSE(farrayForKey(kSample, QStringLiteral("missing")).has_value());
    EXPECT_EQ(dataForKey(kSample, QStringLiteral("data")).value(), QByteArray("xyz"));
    EXPECT_FALSE(dataForKey(kSample, QStringLiteral("str")).has_value());
}

TEST(DictionaryHelpers, BoolAndFloatForKey)
{
    const std::pair<QVariant, bool> bools[] = {
        { QStringLiteral("YES"), true },
        { QStringLiteral("true"), true },
        { QStringLiteral(" 0012"), true },
        { QStringLiteral("-1"), true },
        { QStringLiteral("no"), false },
        { QStringLiteral("0"), false },
        { QStringLiteral(""), false },
        { 2, true },
        { 0, false },
        { 0.5, true },
        { QVariantList { 1 }, false },
        { QVariant(), false },
    };
    for (const auto &[value, expected] : bools)
        EXPECT_EQ(boolForKey({ { QStringLiteral("k"), value } }, QStringLiteral("k")), expected)
            << "value: " << value.toString().toStdString();

    const std::pair<QVariant, double> floats[] = {
        { QStringLiteral("1.5x"), 1.5 },
        { QStringLiteral(" -2e1"), -20.0 },
        { QStringLiteral("abc"), 0.0 },
        { QStringLiteral("+.5"), 0.5 },
        { 3, 3.0 },
        { QVariantMap(), 0.0 },
    };
    for (const auto &[value, expected] : floats)
        EXPECT_DOUBLE_EQ(floatForKey({ { QStringLiteral("k"), value } }, QStringLiteral("k")), expected)
            << "value: " << value.toString().toStdString();
}

TEST(DictionaryHelpers, PathWalks)
{
    const QVariantMap doc { { QStringLiteral("package"),
        QVariantMap { { QStringLiteral("metadata"),
                          QVariantList { QVariantMap { { QStringLiteral("n"), 1 } },
                              QVariantMap { { QStringLiteral("n"), 2 } } } },
            { QStringLiteral("title"), QStringLiteral("T") } } } };
    EXPECT_EQ(
        pathToDictionary(doc, QStringLiteral("package/metadata"))->value(QStringLiteral("n")).toInt(), 1);
    EXPECT_EQ(pathToString(doc, QStringLiteral("/package//title/")).value(), QStringLiteral("T"));
    EXPECT_EQ(pathToObj(doc, QString()).toMap(), doc);
    EXPECT_EQ(pathToObj(doc, QStringLiteral("/")).toMap(), doc);
    EXPECT_FALSE(pathToObj(doc, QStringLiteral("package/title/x")).isValid()) << "a string has no children";
    EXPECT_FALSE(pathToObj(doc, QStringLiteral("package/metadata/n")).isValid()) << "an array has no keys";
    EXPECT_FALSE(pathToObj(doc, QStringLiteral("nothing")).isValid());
    EXPECT_EQ(
        pathToArray(doc, QStringLiteral("package/title")).value(), QVariantList { QStringLiteral("T") });
    EXPECT_EQ(pathToArray(doc, QStringLiteral("package/metadata"))->size(), 2);
    EXPECT_FALSE(pathToArray(doc, QStringLiteral("none")).has_value());
    EXPECT_FALSE(pathToString(doc, QStringLiteral("package")).has_value());
}

TEST(DictionaryHelpers, JsonAndSetString)
{
    EXPECT_EQ(json(QVariantMap { { QStringLiteral("a"), 1 },
                       { QStringLiteral("b"), QVariantList { QStringLiteral("x") } } })
                  .value(),
        QStringLiteral(R"({"a":1,"b":["x"]})"));
    EXPECT_FALSE(json(QVariantMap { { QStringLiteral("d"), QDateTime::currentDateTime() } }).has_value());
    EXPECT_EQ(json(QVariantList { 1, QStringLiteral("s") }).value(), QStringLiteral(R"([1,"s"])"));
    EXPECT_FALSE(json(QVariantList { QByteArray("b") }).has_value());

    QVariantMap m { { QStringLiteral("k"), QStringLiteral("old") } };
    setString(m, QStringLiteral("new"), QStringLiteral("k"));
    EXPECT_EQ(m.value(QStringLiteral("k")).toString(), QStringLiteral("new"));
    setString(m, std::nullopt, QStringLiteral("k"));
    EXPECT_FALSE(m.contains(QStringLiteral("k")));
}

TEST(ArrayHelpers, IndexesOutOfRangeGiveAbsent)
{
    const QVariantList a { QVariantMap { { QStringLiteral("k"), 1 } }, QStringLiteral("s"), 7 };
    EXPECT_TRUE(dictionaryAtIndex(a, 0).has_value());
    EXPECT_FALSE(dictionaryAtIndex(a, 1).has_value());
    EXPECT_FALSE(dictionaryAtIndex(a, -1).has_value());
    EXPECT_FALSE(dictionaryAtIndex(a, a.size()).has_value());
    EXPECT_EQ(stringAtIndex(a, 1).value(), QStringLiteral("s"));
    EXPECT_EQ(stringAtIndex(a, 2).value(), QStringLiteral("7"));
    EXPECT_FALSE(stringAtIndex(a, 0).has_value());
    EXPECT_FALSE(stringAtIndex(a, 3).has_value());
    EXPECT_FALSE(stringAtIndex(a, -1).has_value());
}

} // namespace
