// The typography of EPUB pages: its stored text and the style sheet it
// makes; and the one sheet laid over a page with the theme.
#include "core/reader/Typography.h"
#include "core/reader/PageStyle.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

namespace
{

using Family = Typography::Family;

Typography make(Family family, int lineSpacing, int margin, int lineWidth)
{
    Typography t;
    t.family = family;
    t.lineSpacing = lineSpacing;
    t.margin = margin;
    t.lineWidth = lineWidth;
    return t;
}

// Every field is read on its own: a bad one takes its default and leaves
// the others as stored.
TEST(Typography, StoredTextIsReadFieldByField)
{
    const Typography defaults;
    EXPECT_EQ(defaults, make(Family::Book, 0, Typography::kDefaultMargin, Typography::kDefaultLineWidth));
    const struct {
        const char *stored;
        Typography expected;
    } cases[] = {
        { "family=mincho;lineSpacing=160;margin=48;lineWidth=35", make(Family::Mincho, 160, 48, 35) },
        { "lineWidth=0;family=gothic", make(Family::Gothic, 0, 24, 0) }, // any order, 0: no limit
        { "family=book;lineSpacing=0;margin=0;lineWidth=120", make(Family::Book, 0, 0, 120) },
        { "", defaults },
        { "garbage", defaults },
        { ";;=;family=;margin", defaults },
        { "family=Mincho", defaults }, // keys and values are exact
        { "family=fantasy;lineSpacing=160", make(Family::Book, 160, 24, 40) },
        { "lineSpacing=99;margin=-1;lineWidth=19", defaults }, // below each range
        { "lineSpacing=301;margin=201;lineWidth=121", defaults }, // above
        { "lineSpacing=1.6;margin=24px;lineWidth=４０", defaults }, // not whole numbers
        { "lineSpacing=99999999999999999999", defaults },
        { "margin= 48 ;unknown=1;lineSpacing=200", make(Family::Book, 200, 48, 40) },
    };
    for (const auto &c : cases) {
        const Typography read = Typography::fromStored(QString::fromUtf8(c.stored));
        EXPECT_EQ(read, c.expected) << c.stored << " -> " << read.toStored().toStdString();
        // What is stored reads back the same.
        EXPECT_EQ(Typography::fromStored(read.toStored()), read) << c.stored;
    }
}

TEST(Typography, FacesComeFromTheInstalledFontsWithAGenericFallback)
{
    const QStringList notoAndIpa { QStringLiteral("DejaVu Sans"), QStringLiteral("IPAexMincho"),
        QStringLiteral("Noto Sans CJK JP"), QStringLiteral("noto serif cjk jp") };
    const QStringList none { QStringLiteral("DejaVu Sans") };
    const struct {
        Family family;
        QStringList installed;
        QStringList stack;
    } cases[] = {
        { Family::Mincho, notoAndIpa,
            { QStringLiteral("Noto Serif CJK JP"), QStringLiteral("IPAexMincho"), QStringLiteral("serif") } },
        { Family::Gothic, notoAndIpa, { QStringLiteral("Noto Sans CJK JP"), QStringLiteral("sans-serif") } },
        { Family::Mincho, none, { QStringLiteral("serif") } },
        { Family::Gothic, {}, { QStringLiteral("sans-serif") } },
        { Family::Book, notoAndIpa, {} },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(
            Typography::familyKey(c.family).toStdString() + " over " + c.installed.join(u',').toStdString());
        EXPECT_EQ(Typography::fontStack(c.family, c.installed), c.stack);
        EXPECT_EQ(Typography::installedFace(c.family, c.installed),
            c.stack.size() > 1 ? c.stack.first() : QString());
    }
}

// The sheet sets only what was chosen, overrides the book's own, and never
// reaches a picture.
TEST(Typography, StyleSheetSetsTheChosenTextAndLeavesPicturesAlone)
{
    const QStringList installed { QStringLiteral("Noto Serif CJK JP"), QStringLiteral("Noto Sans CJK JP") };
    const QString text = QStringLiteral(
        "body, body :not(img, svg, svg *, video, canvas, picture, object, embed, math, math *)");
    const struct {
        Typography typography;
        QStringList contains;
        QStringList lacks;
    } cases[] = {
        { Typography(),
            { QStringLiteral("padding-left: 24px !important"),
                QStringLiteral("padding-right: 24px !important"),
                QStringLiteral("max-inline-size: 40em !important"),
                QStringLiteral("margin-left: auto !important") },
            { QStringLiteral("line-height"), QStringLiteral("font-family") } },
        { make(Family::Mincho, 160, 0, 0),
            { QStringLiteral("padding-left: 0px"), text + QStringLiteral(" { line-height: 1.6 !important; }"),
                QStringLiteral("font-family: \"Noto Serif CJK JP\", serif !important"),
                QStringLiteral(
                    ":not(img, svg, svg *, video, canvas, picture, object, embed, math, math *, code, "
                    "code *, pre, pre *, kbd, samp, tt) { font-family") },
            { QStringLiteral("max-inline-size") } },
        { make(Family::Gothic, 240, 96, 30),
            { QStringLiteral("line-height: 2.4 !important"), QStringLiteral("padding-left: 96px"),
                QStringLiteral("max-inline-size: 30em"),
                QStringLiteral("font-family: \"Noto Sans CJK JP\", sans-serif !important") },
            { QStringLiteral("serif\"") } },
    };
    for (const auto &c : cases) {
        const QString css = c.typography.styleSheet(installed);
        SCOPED_TRACE(css.toStdString());
        for (const QString &part : c.contains)
            EXPECT_TRUE(css.contains(part)) << part.toStdString();
        for (const QString &part : c.lacks)
            EXPECT_FALSE(css.contains(part)) << part.toStdString();
        // No rule names a picture except to leave it out.
        for (const QString &rule : css.split(u'\n', Qt::SkipEmptyParts))
            EXPECT_FALSE(rule.contains(QStringLiteral("img")) && !rule.contains(QStringLiteral(":not(img")))
                << rule.toStdString();
    }
}

// The page gets one sheet: the theme's colours, the marks' colours and the
// typography, inside a script its quotes and line breaks cannot end early.
TEST(PageStyle, OneSheetInOneScript)
{
    const Typography t = make(Family::Book, 200, 24, 40);
    for (const auto kind : ReadingTheme::all()) {
        SCOPED_TRACE(ReadingTheme::key(kind).toStdString());
        const QString css = PageStyle::styleSheet(kind, t, {});
        EXPECT_TRUE(css.contains(ReadingTheme::styleSheet(kind)));
        EXPECT_TRUE(css.contains(ReadingTheme::annotationSheet(kind)));
        EXPECT_TRUE(css.contains(t.styleSheet({})));
        const QString script = PageStyle::pageScript(css);
        EXPECT_FALSE(script.contains(css)) << "escaped, not pasted";
        EXPECT_TRUE(script.contains(QLatin1String(PageStyle::kElementId)));
    }
    // The sheet comes back whole out of the script, whatever it holds.
    const QString tricky = QStringLiteral("a::after { content: \"'</style>%1%2\\n\"; }\n");
    const QString script = PageStyle::pageScript(tricky);
    const qsizetype from = script.indexOf(QStringLiteral("var css = ")) + 10;
    const qsizetype to = script.indexOf(QStringLiteral("[0];"), from);
    ASSERT_GT(to, from);
    const QJsonDocument literal = QJsonDocument::fromJson(script.mid(from, to - from).toUtf8());
    ASSERT_TRUE(literal.isArray()) << script.toStdString();
    EXPECT_EQ(literal.array().at(0).toString(), tricky);
}

} // namespace
