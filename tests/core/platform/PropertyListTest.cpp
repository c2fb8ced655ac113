#include "core/platform/PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

TEST(PropertyList, RoundTripsEveryType)
{
    const QVariantMap original {
        { QStringLiteral("uuid"), QStringLiteral("0A1B2C3D-0000-4000-8000-00000000ABCD") },
        { QStringLiteral("r_split"), 0.35 },
        { QStringLiteral("count"), qlonglong(-42) },
        { QStringLiteral("yes"), true },
        { QStringLiteral("no"), false },
        { QStringLiteral("when"), QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC) },
        { QStringLiteral("blob"), QByteArray("\x00\x01\xff", 3) },
        { QStringLiteral("list"), QVariantList { QStringLiteral("a & <b>"), 1, QVariantMap {} } },
        { QStringLiteral("nested"), QVariantMap { { QStringLiteral("日本語"), QStringLiteral("値") } } },
    };
    const auto back = PropertyList::parse(PropertyList::serialize(original));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, original);
}

TEST(PropertyList, MalformedInputGivesAbsent)
{
    const char *bad[] = {
        "",
        "not xml",
        "<plist version=\"1.0\"><array/></plist>",
        "<plist><dict><key>a</key></dict>",
        "<plist><dict><string>no key</string></dict></plist>",
        "<plist><dict><key>n</key><integer>x</integer></dict></plist>",
        "<plist><dict><key>d</key><date>yesterday</date></dict></plist>",
        "<plist><dict><key>u</key><unknown/></dict></plist>",
    };
    for (const char *b : bad)
        EXPECT_FALSE(PropertyList::parse(QByteArray(b)).has_value()) << "input: " << b;

    // Deep nesting is refused rather than recursed into.
    QByteArray deep = "<plist><dict><key>a</key>";
    for (int i = 0; i < 10000; ++i)
        deep += "<array>";
    EXPECT_FALSE(PropertyList::parse(deep).has_value());
}

TEST(PropertyList, WriteIsAtomicAndFailsCleanly)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("config.plist"));
    ASSERT_TRUE(PropertyList::write({ { QStringLiteral("k"), 1 } }, path));
    EXPECT_EQ(PropertyList::read(path)->value(QStringLiteral("k")).toInt(), 1);
    EXPECT_FALSE(PropertyList::write(
        { { QStringLiteral("k"), 2 } }, dir.filePath(QStringLiteral("no/such/dir/x.plist"))));
    EXPECT_FALSE(PropertyList::read(dir.filePath(QStringLiteral("missing.plist"))).has_value());
}

} // namespace
