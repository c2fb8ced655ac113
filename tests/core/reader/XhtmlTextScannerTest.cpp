// The quick reader of XHTML text: where it answers, it answers exactly as
// libxml2 does, and it leaves to libxml2 whatever it does not understand.
#include "core/reader/XhtmlTextScanner.h"
#include "core/reader/BookSearchText.h"

#include "SearchBook.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace
{

const QByteArray kDtd = "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.1//EN\" "
                        "\"http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd\">\n";

TEST(XhtmlTextScanner, AnswersForPlainFilesAsLibxml2Does)
{
    struct Case {
        const char *name;
        QByteArray file;
        bool answers;
    };
    const Case cases[] = {
        { "usual file", xhtml("<p class=\"a\" id='b'>one <i>two</i> three</p>\n<p>four</p>"), true },
        { "DOCTYPE and comments",
            "<?xml version='1.0' encoding='utf-8' standalone='no'?>\n" + kDtd
                + "<!-- c --><html><head><title>t</title></head><body>a<!-- x -->b</body></html>\n<!-- end "
                  "-->",
            true },
        { "references", xhtml("<p title=\"&amp;&#65;\">&lt;a&gt; &amp; &quot;&apos; &#x814E;&#33102;</p>"),
            true },
        { "line ends", xhtml("<p>a\r\nb\rc\n</p>\r\n"), true },
        { "head twice and nested", "<html><head>x</head><head>y</head><body><head>z</head>w</body></html>",
            true },
        { "empty elements", xhtml("<p/><br />a<hr/>b"), true },
        { "mark", "\xEF\xBB\xBF" + xhtml("<p>x</p>"), true },
        { "named entity", kDtd + "<html><body><p>a&nbsp;b</p></body></html>", false },
        { "CDATA", xhtml("<p><![CDATA[a<b]]></p>"), false },
        { "instruction", xhtml("<p>a<?pi x?>b</p>"), false },
        { "another encoding", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><html><body>\xE9</body></html>",
            false },
        { "mismatched tag", xhtml("<p>kept</p><p>lost</b></p>"), false },
        { "undefined reference", xhtml("<p>&zz;</p>"), false },
        { "bad character reference", xhtml("<p>&#0;</p>"), false },
        { "control character", xhtml("<p>a\x01</p>"), false },
        { "bad UTF-8", xhtml("<p>a\xC3(</p>"), false },
        { "duplicate attribute", xhtml("<p a=\"1\" a=\"2\">x</p>"), false },
        { "attribute without blank", xhtml("<p a=\"1\"b=\"2\">x</p>"), false },
        { "]]> in text", xhtml("<p>a]]>b</p>"), false },
        { "-- in a comment", xhtml("<p>a<!-- x -- y -->b</p>"), false },
        { "text after the root", xhtml("<p>x</p>") + "tail", false },
        { "internal subset", "<!DOCTYPE html [<!ENTITY d \"x\">]><html><body>&d;</body></html>", false },
    };
    for (const Case &c : cases) {
        const std::optional<QStringList> quick = XhtmlTextScanner::read(c.file);
        EXPECT_EQ(quick.has_value(), c.answers) << c.name;
        const BookSearchText::ItemText full = BookSearchText::parseItem(c.file);
        if (quick) {
            EXPECT_TRUE(full.complete) << c.name;
            EXPECT_EQ(*quick, full.chunks) << c.name;
        }
        // Either way the file reads as libxml2 reads it.
        EXPECT_EQ(BookSearchText::readItem(c.file).chunks, full.chunks) << c.name;
    }
}

// Damaged files, made at random from good ones: the quick reader answers
// only for those libxml2 reads to the end, and with the same chunks.
TEST(XhtmlTextScanner, NeverAnswersDifferentlyFromLibxml2ForDamagedFiles)
{
    const QByteArray bases[] = {
        xhtml("<p class=\"a\">Vancomycin &amp; heparin</p><div><p>腎機能<b>低下</b></p></div>"),
        "<?xml version=\"1.0\"?>\n" + kDtd
            + "<html><head><title>T</title></head><body><!-- c --><p id='x'>a&#x41;b</p><br/></body></html>",
    };
    const QByteArray pieces[] = { "<", ">", "&", "&amp;", "&#x41;", "&#0;", "</p>", "<p>", "<!--", "-->",
        "--", "\r\n", "\r", "]]>", "]", "\"", "'", "=", " ", "<head>", "</head>", "<br/>", "\x01", "\xC3",
        "é", "&nbsp;", "<?pi?>", "<![CDATA[x]]>", " a=\"1\"", "/", "x", "<!DOCTYPE html>", "\xEF\xBB\xBF" };
    QRandomGenerator rng(31);
    int answered = 0;
    for (int round = 0; round < 4000; ++round) {
        QByteArray file = bases[round % 2];
        for (int edits = 1 + rng.bounded(2); edits > 0; --edits) {
            const int at = rng.bounded(int(file.size()) + 1);
            if (rng.bounded(4) == 0)
                file.remove(at, 1 + rng.bounded(4));
            else
                file.insert(at, pieces[rng.bounded(int(std::size(pieces)))]);
        }
        const std::optional<QStringList> quick = XhtmlTextScanner::read(file);
        if (!quick)
            continue;
        ++answered;
        const BookSearchText::ItemText full = BookSearchText::parseItem(file);
        ASSERT_TRUE(full.complete) << file.toStdString();
        ASSERT_EQ(*quick, full.chunks) << file.toStdString();
    }
    EXPECT_GT(answered, 400) << "the damage left many files readable";
}

} // namespace
