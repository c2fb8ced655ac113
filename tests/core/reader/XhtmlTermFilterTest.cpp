// Ruling files out by their bytes: never a file whose text holds the term,
// and the ordinary file that does not.
#include "core/reader/XhtmlTermFilter.h"
#include "core/reader/BookSearchText.h"

#include "SearchBook.h"

#include <gtest/gtest.h>

namespace
{

TEST(XhtmlTermFilter, RulesOutOnlyFilesWhoseTextCannotHoldTheTerm)
{
    const QByteArray dtd = "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.1//EN\" "
                           "\"http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd\">";
    struct Case {
        const char *name;
        QByteArray file;
        QString term;
        bool mayHold;
    };
    const Case cases[] = {
        { "case ignored", xhtml("<p>Vancomycin</p>"), QStringLiteral("VANCOMYCIN"), true },
        { "absent", xhtml("<p>Vancomycin</p>"), QStringLiteral("heparin"), false },
        { "only in markup", xhtml("<p class=\"heparin\">x</p>"), QStringLiteral("heparin"), true },
        { "split by tags", xhtml("<p>van<b>co</b>mycin</p>"), QStringLiteral("vancomycin"), false },
        { "reference in the term", xhtml("<p>R&amp;D</p>"), QStringLiteral("r&d"), true },
        { "reference beside it", xhtml("<p>A&amp;B</p>"), QStringLiteral("heparin"), false },
        { "character reference", xhtml("<p>&#x814E;機能</p>"), QStringLiteral("腎機能"), true },
        { "decimal reference", xhtml("<p>&#33102;機能</p>"), QStringLiteral("腎機能"), true },
        { "other character reference", xhtml("<p>&#x814E;</p>"), QStringLiteral("肝"), false },
        { "HTML entity", dtd + "<html><body><p>a&nbsp;b</p></body></html>", QString::fromUtf8("a\u00a0b"),
            true },
        { "HTML entity beside it", dtd + "<html><body><p>a&nbsp;b</p></body></html>", QStringLiteral("ab"),
            false },
        { "unknown entity", dtd + "<html><body><p>&zz;</p></body></html>", QStringLiteral("q"), true },
        { "KELVIN SIGN", xhtml("<p>\u212Aidney</p>"), QStringLiteral("kidney"), true },
        { "LONG S", xhtml("<p>\u017Ferum</p>"), QStringLiteral("SERUM"), true },
        { "CDATA joins text", xhtml("<p>van<![CDATA[co]]>mycin</p>"), QStringLiteral("vancomycin"), true },
        { "instruction inside text", xhtml("<p>van<?pi x?>comycin</p>"), QStringLiteral("vancomycin"), true },
        { "declared entity",
            "<!DOCTYPE html [<!ENTITY d \"vancomycin\">]><html><body><p>&d;</p></body></html>",
            QStringLiteral("vancomycin"), true },
        { "another encoding", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><html><body/></html>",
            QStringLiteral("x"), true },
        { "UTF-16", QByteArray("\xFF\xFE<\0h\0", 6), QStringLiteral("x"), true },
        { "UTF-8 with a mark", "\xEF\xBB\xBF" + xhtml("<p>x</p>"), QStringLiteral("heparin"), false },
        { "full-width letters have case", xhtml("<p>ｃｌｅａｒ</p>"), QStringLiteral("ＣＬＥＡＲ"), true },
        { "kana", xhtml("<p>クレアチニンクリアランス</p>"), QStringLiteral("クリアランス"), true },
        { "other kana", xhtml("<p>クレアチニン</p>"), QStringLiteral("クリアランス"), false },
        { "a line feed in the term", xhtml("<p>a\r\nb</p>"), QStringLiteral("a\nb"), true },
    };
    for (const Case &c : cases) {
        const XhtmlTermFilter filter(c.term);
        EXPECT_EQ(filter.mayHold(c.file), c.mayHold) << c.name;
        // Whatever the expectation: a file whose text holds the term is
        // never ruled out.
        bool holds = false;
        for (const QString &chunk : BookSearchText::readItem(c.file).chunks)
            holds = holds || chunk.contains(c.term, Qt::CaseInsensitive);
        if (holds) {
            EXPECT_TRUE(filter.mayHold(c.file)) << c.name;
        }
    }
}

TEST(XhtmlTermFilter, ASearchReadsEachFileOnceAndFindsWhatAFullParseFinds)
{
    int reads = 0;
    const auto book = searchBook({ xhtml("<p>alpha</p>"), xhtml("<p>beta &amp; gamma</p>"),
                                     xhtml("<p>al<i>ph</i>a</p>"), xhtml("<p>ALPHA beta</p>") },
        [&](const QUrl &) { ++reads; });
    for (const QString &term : { QStringLiteral("alpha"), QStringLiteral("beta"), QStringLiteral("& g") }) {
        const XhtmlTermFilter filter(term);
        for (int i = 0; i < book->items().size(); ++i) {
            const auto some = book->textIfMayHold(i, filter);
            const auto full = book->text(i);
            bool holds = false;
            for (const QString &chunk : full->chunks)
                holds = holds || chunk.contains(term, Qt::CaseInsensitive);
            if (holds) {
                ASSERT_TRUE(some) << term.toStdString() << i;
                EXPECT_EQ(some->chunks, full->chunks);
            }
        }
    }
    EXPECT_EQ(reads, 4);
}

} // namespace
