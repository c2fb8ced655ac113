// The reading theme: which one is in use, and the page script that lays it
// over a page.
#include "core/reader/ReadingTheme.h"

#include <QColor>
#include <QSet>
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

TEST(ReadingTheme, OneRowPerThemeHoldsEveryColour)
{
    const QList<ReadingTheme::Kind> kinds = ReadingTheme::all();
    ASSERT_EQ(kinds.first(), ReadingTheme::Day) << "the first theme is the book's own colours";
    QSet<QString> keys;
    for (const auto kind : kinds) {
        const ReadingTheme::Colours &row = ReadingTheme::colours(kind);
        SCOPED_TRACE(row.key);
        EXPECT_EQ(row.kind, kind);
        EXPECT_FALSE(keys.contains(ReadingTheme::key(kind))) << "keys are unique";
        keys.insert(ReadingTheme::key(kind));
        EXPECT_EQ(ReadingTheme::fromKey(ReadingTheme::key(kind)), kind);
        EXPECT_FALSE(ReadingTheme::title(kind).isEmpty());
        for (const char *colour :
            { row.background, row.text, row.link, row.pdfTintColour, row.highlight, row.memo })
            if (colour)
                EXPECT_TRUE(QColor::isValidColorName(QLatin1String(colour))) << colour;
        EXPECT_EQ(ReadingTheme::background(kind), QLatin1String(row.background));
        // A theme with its own text colour overrides the page's; one
        // without leaves the book alone.
        EXPECT_EQ(ReadingTheme::styleSheet(kind).isEmpty(), row.text == nullptr);
        if (row.text)
            EXPECT_TRUE(ReadingTheme::styleSheet(kind).contains(QLatin1String(row.text)));
        EXPECT_EQ(row.pdfTint == ReadingTheme::PdfTint::None, row.pdfTintColour == nullptr)
            << "a tint needs its colour";
        // Going on from any theme passes every theme once.
        QSet<int> seen;
        ReadingTheme::Kind k = kind;
        for (int i = 0; i < kinds.size(); ++i) {
            seen.insert(k);
            k = ReadingTheme::next(k);
        }
        EXPECT_EQ(k, kind);
        EXPECT_EQ(seen.size(), kinds.size());
    }
    // Night turns PDF pages to their opposite against a grey, not pure
    // white (which would give a black page with glaring text).
    const ReadingTheme::Colours &night = ReadingTheme::colours(ReadingTheme::Night);
    EXPECT_EQ(night.pdfTint, ReadingTheme::PdfTint::Difference);
    EXPECT_EQ(QColor(QLatin1String(night.pdfTintColour)), QColor(0xe4, 0xe4, 0xe4));
    EXPECT_EQ(ReadingTheme::colours(ReadingTheme::Sepia).pdfTint, ReadingTheme::PdfTint::Multiply);
    EXPECT_EQ(ReadingTheme::colours(ReadingTheme::Day).pdfTint, ReadingTheme::PdfTint::None);
}

} // namespace
