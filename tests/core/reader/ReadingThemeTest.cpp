// The reading theme: which one is in use, and the page script that lays it
// over a page.
#include "core/reader/ReadingTheme.h"

#include <gtest/gtest.h>

namespace
{

TEST(ReadingTheme, StoredChoiceElseTheDesktopDecides)
{
    const struct {
        std::optional<QString> stored;
        int lightness;
        ReadingTheme::Kind expected;
    } cases[] = {
        { std::nullopt, 240, ReadingTheme::Day }, // light desktop
        { std::nullopt, 40, ReadingTheme::Night }, // dark desktop
        { std::nullopt, 128, ReadingTheme::Day },
        { QStringLiteral("sepia"), 40, ReadingTheme::Sepia }, // a choice beats the desktop
        { QStringLiteral("day"), 40, ReadingTheme::Day },
        { QStringLiteral("night"), 240, ReadingTheme::Night },
        { QStringLiteral("Night"), 240, ReadingTheme::Day }, // unknown text: follow the desktop
        { QString(), 40, ReadingTheme::Night },
    };
    for (const auto &c : cases)
        EXPECT_EQ(ReadingTheme::chosen(c.stored, c.lightness), c.expected)
            << c.stored.value_or(QStringLiteral("(none)")).toStdString() << " at " << c.lightness;
    for (const auto kind : { ReadingTheme::Day, ReadingTheme::Sepia, ReadingTheme::Night })
        EXPECT_EQ(ReadingTheme::fromKey(ReadingTheme::key(kind)), kind);
    EXPECT_EQ(ReadingTheme::next(ReadingTheme::Night), ReadingTheme::Day);
}

TEST(ReadingTheme, SheetsRecolourTextAndLeaveImagesAlone)
{
    EXPECT_TRUE(ReadingTheme::styleSheet(ReadingTheme::Day).isEmpty());
    for (const auto kind : { ReadingTheme::Sepia, ReadingTheme::Night }) {
        const QString sheet = ReadingTheme::styleSheet(kind);
        SCOPED_TRACE(ReadingTheme::key(kind).toStdString());
        EXPECT_TRUE(sheet.contains(ReadingTheme::background(kind)));
        EXPECT_FALSE(sheet.contains(QStringLiteral("img"))) << "images keep their colours";
        EXPECT_FALSE(sheet.contains(QStringLiteral("filter")));
        // The sheet is a JSON string inside the script: its quotes and
        // line breaks cannot end the script.
        const QString script = ReadingTheme::pageScript(kind);
        EXPECT_FALSE(script.contains(sheet)) << "escaped, not pasted";
        EXPECT_TRUE(script.contains(QStringLiteral("tavro-reading-theme")));
    }
}

} // namespace
