// Vertical writing: what a book's package and style sheets ask for, and the
// reader's choice kept per book.
#include "core/reader/WritingMode.h"
#include "core/content/BookUrl.h"
#include "core/content/EPUBManager.h"
#include "core/content/EPUBURLProtcol.h"
#include "support/ZipWriter.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

using Layout = WritingMode::Layout;

TEST(WritingMode, PackageAsksByProgressionMetaAndLanguage)
{
    const struct {
        const char *progression;
        const char *primary;
        const char *language;
        Layout expected; // vertical, rightToLeft, allowsBoth
    } cases[] = {
        { "rtl", "", "ja", { true, true, true } },
        { "rtl", "", "ja-JP", { true, true, true } },
        { "RTL", "", "zh-TW", { true, true, true } },
        { "rtl", "", "ar", { false, true, false } }, // right to left, horizontal
        { "", "vertical-rl", "en", { true, true, true } },
        { "", "vertical-lr", "mn", { true, false, true } },
        { "", "horizontal-tb", "ja", { false, false, true } }, // Japanese: may be switched
        { "ltr", "", "ja", { false, false, true } },
        { "", "", "en", { false, false, false } },
        { "", "", "javanese", { false, false, false } },
    };
    for (const auto &c : cases)
        EXPECT_EQ(WritingMode::fromPackage(QString::fromLatin1(c.progression), QString::fromLatin1(c.primary),
                      QString::fromLatin1(c.language)),
            c.expected)
            << c.progression << " / " << c.primary << " / " << c.language;
}

TEST(WritingMode, SheetsCountOnlyForTheRootOrBody)
{
    const QStringList vrtl { QStringLiteral("vrtl") };
    const struct {
        const char *css;
        QStringList classes;
        bool vertical;
    } cases[] = {
        { "html { writing-mode: vertical-rl; }", {}, true },
        { "body{-epub-writing-mode:vertical-rl}", {}, true },
        { "@charset \"utf-8\"; :root { -webkit-writing-mode: tb-rl !important; }", {}, true },
        { "@media screen { h1 { color: red } body { writing-mode: vertical-rl } }", {}, true },
        { "p, body { writing-mode: vertical-rl }", {}, true },
        { "html.vrtl { writing-mode: vertical-rl } html.hltr { writing-mode: horizontal-tb }", vrtl, true },
        { ".vrtl { writing-mode: vertical-rl }", vrtl, true },
        // The same template on a horizontal book: its class is not used.
        { "html.vrtl { writing-mode: vertical-rl } html.hltr { writing-mode: horizontal-tb }",
            { QStringLiteral("hltr") }, false },
        { "html { writing-mode: horizontal-tb }", {}, false },
        { "div.tate { writing-mode: vertical-rl }", {}, false }, // one element, not the book
        { "body p { writing-mode: vertical-rl }", {}, false },
        { "/* html { writing-mode: vertical-rl } */ body { color: black }", {}, false },
        { "body { writing-mode: vertical-rlx }", {}, false },
        { "* { writing-mode: vertical-rl }", {}, false },
        { "", {}, false },
    };
    for (const auto &c : cases)
        EXPECT_EQ(WritingMode::sheetAsksVertical(QString::fromUtf8(c.css), c.classes), c.vertical) << c.css;
}

TEST(WritingMode, DocumentsAskThroughStyleElementsAndAttributes)
{
    const struct {
        const char *document;
        bool vertical;
    } cases[] = {
        { "<html><body style=\"writing-mode: vertical-rl\"><p>x</p></body></html>", true },
        { "<html class='vrtl'><head><style>.vrtl{writing-mode:vertical-rl}</style></head><body/></html>",
            true },
        { "<html><head><style>\nbody {\n  -epub-writing-mode: vertical-rl;\n}\n</style></head></html>",
            true },
        { "<html><body><p style=\"writing-mode: vertical-rl\">縦</p></body></html>", false },
        { "<html><body><style>.x{writing-mode:vertical-rl}</style></body></html>", false },
    };
    for (const auto &c : cases)
        EXPECT_EQ(WritingMode::documentAsksVertical(QByteArray(c.document)), c.vertical) << c.document;
    EXPECT_EQ(WritingMode::rootClasses("<html class=\"a  b\"><body class='c'>"),
        (QStringList { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c") }));
}

class WritingModeBookTest : public ::testing::Test
{
protected:
    // A one-chapter EPUB with `spineAttributes`, `language` and `extra`
    // metadata in its package, its chapter's root element `htmlTag`, and a
    // linked sheet `css`.
    Layout layoutOf(const QByteArray &spineAttributes, const QByteArray &language, const QByteArray &htmlTag,
        const QByteArray &css, const QByteArray &extra = {})
    {
        const QString name = QStringLiteral("b%1.epub").arg(++m_count);
        const QByteArray opf
            = "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\">"
              "<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title>T</dc:title>"
              "<dc:language>"
            + language + "</dc:language>" + extra
            + "</metadata><manifest>"
              "<item id=\"c1\" href=\"c1.xhtml\" media-type=\"application/xhtml+xml\"/>"
              "<item id=\"css\" href=\"style/book.css\" media-type=\"text/css\"/></manifest>"
              "<spine "
            + spineAttributes + "><itemref idref=\"c1\"/></spine></package>";
        const QByteArray chapter = "<?xml version=\"1.0\"?>" + htmlTag
            + "<head><link rel=\"stylesheet\" "
              "href=\"style/book.css\"/></head><body><p>本文</p></body></html>";
        EXPECT_TRUE(writeEpub(m_dir.filePath(name), QStringLiteral("OEBPS/content.opf"),
            { { "OEBPS/content.opf", opf }, { "OEBPS/c1.xhtml", chapter },
                { "OEBPS/style/book.css", css } }));
        return WritingMode::of(EPUBManager(BookUrl::rootUrl(name), &m_protocol));
    }

    QTemporaryDir m_dir;
    EPUBURLProtcol m_protocol { m_dir.path(), m_dir.path() };
    int m_count = 0;
};

TEST_F(WritingModeBookTest, ReadsPackageAndSheetsOfARealBook)
{
    const QByteArray html = "<html xmlns=\"http://www.w3.org/1999/xhtml\">";
    const QByteArray vrtl = "<html xmlns=\"http://www.w3.org/1999/xhtml\" class=\"vrtl\">";
    const QByteArray hltr = "<html xmlns=\"http://www.w3.org/1999/xhtml\" class=\"hltr\">";
    const QByteArray both
        = "html.vrtl { writing-mode: vertical-rl } html.hltr { writing-mode: horizontal-tb }";
    EXPECT_EQ(layoutOf("page-progression-direction=\"rtl\"", "ja", html, ""), (Layout { true, true, true }));
    EXPECT_EQ(layoutOf("", "ja", vrtl, both), (Layout { true, true, true })) << "by its sheet";
    EXPECT_EQ(layoutOf("", "ja", hltr, both), (Layout { false, false, true })) << "horizontal, may switch";
    EXPECT_EQ(layoutOf("", "en", html, "p { margin: 0 }"), (Layout {}));
    EXPECT_EQ(layoutOf("", "ja", html, "", "<meta name=\"primary-writing-mode\" content=\"vertical-rl\"/>"),
        (Layout { true, true, true }))
        << "EPUB 2 meta";
    EXPECT_EQ(layoutOf("", "ja", html, "", "<meta property=\"primary-writing-mode\">vertical-rl</meta>"),
        (Layout { true, true, true }))
        << "EPUB 3 meta";
}

TEST(WritingMode, ChoiceIsKeptPerBookAndOnlyWhereBothAreAllowed)
{
    const QString a = WritingMode::keyFor(QStringLiteral("urn:a"));
    const QString b = WritingMode::keyFor(QStringLiteral("urn:b"));
    EXPECT_EQ(WritingMode::storedChoice(a), std::nullopt);
    WritingMode::storeChoice(a, false);
    WritingMode::storeChoice(b, true);
    EXPECT_EQ(WritingMode::storedChoice(a), false);
    EXPECT_EQ(WritingMode::storedChoice(b), true);
    WritingMode::storeChoice(QString(), true); // no id: nothing kept
    EXPECT_EQ(WritingMode::storedChoice(QString()), std::nullopt);

    const Layout vertical { true, true, true };
    const Layout english {};
    EXPECT_FALSE(WritingMode::showsVertical(vertical, false));
    EXPECT_TRUE(WritingMode::showsVertical(vertical, std::nullopt));
    EXPECT_FALSE(WritingMode::showsVertical(english, true)) << "a book that allows only one";
}

} // namespace
