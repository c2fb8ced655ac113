// The reading theme: which one is in use, and the page script that lays it
// over a page.
#include "core/reader/ReadingTheme.h"

#include <QColor>
#include <QSet>
#include <cmath>
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
    }
}

// WCAG contrast ratio of two colours (1 to 21).
double contrast(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &c) {
        const auto channel
            = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Highlights, memos and search hits stand out from every theme's page, the
// theme's text reads on them, and the sheet names them so that the theme's
// "every element transparent" rule cannot erase them.
TEST(ReadingTheme, MarksStayVisibleAndReadableOnEveryTheme)
{
    for (const auto kind : ReadingTheme::all()) {
        const ReadingTheme::Colours &row = ReadingTheme::colours(kind);
        SCOPED_TRACE(row.key);
        const QColor page(QLatin1String(row.background));
        // Day keeps the book's text, which is dark on white.
        const QColor text(row.text ? QLatin1String(row.text) : QLatin1String("#000000"));
        const QString sheet = ReadingTheme::annotationSheet(kind);
        for (const char *mark : { row.highlight, row.memo, row.searchMark }) {
            ASSERT_TRUE(mark);
            SCOPED_TRACE(mark);
            EXPECT_GE(contrast(text, QColor(QLatin1String(mark))), 4.5) << "text reads on the mark";
            EXPECT_GE(contrast(page, QColor(QLatin1String(mark))), 1.15) << "the mark shows on the page";
            EXPECT_TRUE(sheet.contains(QLatin1String(mark)));
        }
        EXPECT_NE(QColor(QLatin1String(row.highlight)), QColor(QLatin1String(row.memo)));
        EXPECT_TRUE(sheet.contains(QStringLiteral("span.qmHighlight.qmMark")));
        EXPECT_TRUE(sheet.contains(QStringLiteral("span.qmHighlight.qmMemo")));
    }
}

// Sepia and night colour the whole reader window; day keeps the desktop's.
TEST(ReadingTheme, PalettesCoverTheWindowAroundThePage)
{
    EXPECT_FALSE(ReadingTheme::palette(ReadingTheme::Day).has_value());
    for (const auto kind : { ReadingTheme::Sepia, ReadingTheme::Night }) {
        const ReadingTheme::Colours &row = ReadingTheme::colours(kind);
        SCOPED_TRACE(row.key);
        const auto p = ReadingTheme::palette(kind);
        ASSERT_TRUE(p.has_value());
        EXPECT_EQ(p->color(QPalette::Base), QColor(QLatin1String(row.background))) << "lists as the page";
        EXPECT_EQ(p->color(QPalette::Window), QColor(QLatin1String(row.chrome)));
        for (const auto group : { QPalette::Active, QPalette::Inactive })
            for (const auto &[fore, back] : { std::pair { QPalette::Text, QPalette::Base },
                     { QPalette::WindowText, QPalette::Window }, { QPalette::ButtonText, QPalette::Button },
                     { QPalette::HighlightedText, QPalette::Highlight } })
                EXPECT_GE(contrast(p->color(group, fore), p->color(group, back)), 4.5)
                    << fore << " on " << back;
        EXPECT_GE(contrast(p->color(QPalette::Disabled, QPalette::Text), p->color(QPalette::Base)), 2.0)
            << "disabled text still shows";
    }
    EXPECT_LT(ReadingTheme::palette(ReadingTheme::Night)->color(QPalette::Window).lightness(), 80);
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
            { row.background, row.text, row.link, row.pdfTintColour, row.highlight, row.memo, row.searchMark,
                row.chrome, row.control, row.selection, row.selectionText, row.muted })
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
        // The window's colours come as a set: all or none.
        for (const char *colour : { row.control, row.selection, row.selectionText, row.muted })
            EXPECT_EQ(colour == nullptr, row.chrome == nullptr);
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
