// The EPUB scan: which text is searched, how hits are counted, where a scan
// starts and stops, and continuing a scan with a larger limit.
#include "core/reader/htmlSearchParser.h"

#include "SearchBook.h"

#include <gtest/gtest.h>

namespace
{

struct Outcome {
    QStringList hits; // "page:location:no"
    bool haveMore;
    bool changeFromFirst;
};

Outcome outcomeOf(const htmlSearchParser &p)
{
    Outcome o { {}, p.haveMore(), p.changeFromFirst() };
    for (const QVariant &v : p.bookSearchResultMutableArray()) {
        const QVariantMap m = v.toMap();
        o.hits << QStringLiteral("%1:%2:%3")
                      .arg(m.value(QStringLiteral("page")).toInt())
                      .arg(m.value(QStringLiteral("location")).toInt())
                      .arg(m.value(QStringLiteral("no")).toInt());
    }
    return o;
}

std::shared_ptr<BookSearchText> fourItems()
{
    return searchBook({
        xhtml("<p>alpha one</p>", "Alpha"), // title never a hit
        xhtml("<p>ALPHA Alpha</p><p>beta</p>"), xhtml("<p>nothing here</p>"),
        xhtml("<p>alphalpha</p>"), // overlapping: 0 and 4
    });
}

TEST(htmlSearchParser, ReadsTextOutsideTheHeadAsWholeChunks)
{
    const QByteArray longText
        = QByteArray("日本語").repeated(200) + "target" + QByteArray("日本語").repeated(200);
    struct Case {
        const char *name;
        QByteArray file;
        QStringList chunks;
        bool complete;
    };
    const Case cases[] = {
        { "head excluded", xhtml("<p>a</p>", "T<b>x</b>"), { QStringLiteral("a") }, true },
        { "style in head excluded", "<html><head><style>p{}</style></head><body>b</body></html>",
            { QStringLiteral("b") }, true },
        { "siblings and nesting", xhtml("<p>one <i>two</i> three</p>"),
            { QStringLiteral("one "), QStringLiteral("two"), QStringLiteral(" three") }, true },
        { "references join the chunk", xhtml("<p>A &amp; B &#x41;</p>"), { QStringLiteral("A & B A") },
            true },
        { "undeclared HTML entity under a DTD",
            "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.1//EN\" "
            "\"http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd\"><html><body><p>a&nbsp;b</p></body></html>",
            { QStringLiteral("a\u00a0b") }, true },
        { "long text stays one chunk", xhtml("<p>" + longText + "</p>"), { QString::fromUtf8(longText) },
            true },
        { "error keeps what came before", xhtml("<p>kept</p><p>lost</b></p>"),
            { QStringLiteral("kept"), QStringLiteral("lost") }, false },
    };
    for (const Case &c : cases) {
        const auto text = BookSearchText::readItem(c.file);
        EXPECT_EQ(text.chunks, c.chunks) << c.name;
        EXPECT_EQ(text.complete, c.complete) << c.name;
    }
}

TEST(htmlSearchParser, StartsStopsAndSetsTheFlagsAsDescribed)
{
    const auto book = fourItems();
    struct Case {
        const char *name;
        QString start;
        bool fromFirst;
        int max;
        QStringList hits;
        bool haveMore;
        bool changeFromFirst;
    };
    const QStringList all { "1:0:1", "2:0:1", "2:6:2", "4:0:1", "4:4:2" };
    const Case cases[] = {
        { "whole book", {}, true, 10, all, false, false },
        { "from the shown item", "c2", false, 10, all.mid(1), false, true },
        { "limit reached before an item", {}, true, 3, all.mid(0, 3), true, false },
        { "limit reached at the very end", {}, true, 5, all, false, false },
        { "further hit in the last item", "c4", false, 1, all.mid(3, 1), true, true },
        { "further hit in the last item from the first", {}, true, 4, all.mid(0, 4), true, false },
        { "More even when nothing follows", "c2", false, 2, all.mid(1, 2), true, false },
        { "unknown start item", "zz", false, 10, {}, false, true },
    };
    for (const Case &c : cases) {
        htmlSearchParser p;
        ASSERT_TRUE(p.parseXML({}, true, QStringLiteral("alpha"), *book, c.start, c.fromFirst, c.max));
        const Outcome o = outcomeOf(p);
        EXPECT_EQ(o.hits, c.hits) << c.name;
        EXPECT_EQ(o.haveMore, c.haveMore) << c.name;
        EXPECT_EQ(o.changeFromFirst, c.changeFromFirst) << c.name;
    }
}

TEST(htmlSearchParser, AChunkWithThreeOccurrencesGivesThreeHitsWithTheSameText)
{
    const auto book = searchBook({ xhtml("<p>Na na NA</p>") });
    htmlSearchParser p;
    p.parseXML({}, true, QStringLiteral("na"), *book, {}, true, 10);
    ASSERT_EQ(p.bookSearchResultMutableArray().size(), 3);
    for (int i = 0; i < 3; ++i) {
        const QVariantMap hit = p.bookSearchResultMutableArray().at(i).toMap();
        EXPECT_EQ(hit.value(QStringLiteral("text")).toString(), QStringLiteral("Na na NA"));
        EXPECT_EQ(hit.value(QStringLiteral("location")).toInt(), i * 3);
        EXPECT_EQ(hit.value(QStringLiteral("no")).toInt(), i + 1);
        EXPECT_EQ(hit.value(QStringLiteral("id")).toString(), QStringLiteral("c1"));
    }
}

TEST(htmlSearchParser, AFileThatFailsKeepsItsEarlierHitsAndTheScanGoesOn)
{
    const auto book = searchBook({
        xhtml("<p>dose</p><p>dose</p></div><p>dose</p>"), // the third is past the error
        std::nullopt, // missing file
        "<html><head><title>x", // fails inside the head
        xhtml("<p>dose</p>"),
    });
    htmlSearchParser p;
    p.parseXML({}, true, QStringLiteral("dose"), *book, {}, true, 10);
    EXPECT_EQ(outcomeOf(p).hits, (QStringList { "1:0:1", "1:0:2", "4:0:1" }));
}

TEST(htmlSearchParser, ContinuingWithALargerLimitGivesWhatAFreshScanGives)
{
    const auto book = searchBook({
        xhtml("<p>aaaa</p><p>a</p>"),
        xhtml("<p>b</p>"),
        xhtml("<p>aa</p><p>aaa</p>"),
        xhtml("<p>a</p>"),
    });
    for (const QString &start : { QString(), QStringLiteral("c2"), QStringLiteral("c4") }) {
        for (int step : { 1, 2, 3, 10 }) {
            const bool fromFirst = start.isEmpty();
            htmlSearchParser chained;
            chained.parseXML({}, true, QStringLiteral("a"), *book, start, fromFirst, step);
            for (int max = step * 2; max <= 12; max += step) {
                const htmlSearchParser::Progress before = chained.progress();
                chained.parseXML({}, true, QStringLiteral("a"), *book, start, fromFirst, max, &before);
                htmlSearchParser fresh;
                fresh.parseXML({}, true, QStringLiteral("a"), *book, start, fromFirst, max);
                const Outcome a = outcomeOf(chained);
                const Outcome b = outcomeOf(fresh);
                const std::string row
                    = QStringLiteral("start %1 step %2 max %3").arg(start).arg(step).arg(max).toStdString();
                EXPECT_EQ(a.hits, b.hits) << row;
                EXPECT_EQ(a.haveMore, b.haveMore) << row;
                EXPECT_EQ(a.changeFromFirst, b.changeFromFirst) << row;
            }
        }
    }
}

TEST(htmlSearchParser, ACancelledScanSaysSo)
{
    const auto book = fourItems();
    std::atomic_bool cancel { true };
    htmlSearchParser p;
    p.setCancelFlag(&cancel);
    EXPECT_FALSE(p.parseXML({}, true, QStringLiteral("alpha"), *book, {}, true, 10));
}

} // namespace
