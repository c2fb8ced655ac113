// Highlights, memos and bookmarks as the reader's commands change them, and
// the page-script text each command gives.
#include "core/reader/ReaderAnnotations.h"
#include "core/library/Library.h"
#include "core/platform/ConfigDictionary.h"
#include "core/platform/DataFolder.h"
#include "core/reader/AnnotationList.h"
#include "core/sync/AnnotationMerge.h"
#include "support/LibraryFixture.h"

#include <QJsonDocument>
#include <gtest/gtest.h>
#include <limits>

namespace
{

QString start(qint64 n, qint64 o)
{
    return QStringLiteral("{\"startQmNodeNo\":%1,\"startQmNodeOffset\":%2}").arg(n).arg(o);
}

QString end(qint64 n, qint64 o)
{
    return QStringLiteral("{\"endQmNodeNo\":%1,\"endQmNodeOffset\":%2}").arg(n).arg(o);
}

class ReaderAnnotationsTest : public LibraryFixture
{
protected:
    void SetUp() override
    {
        LibraryFixture::SetUp();
        // The device id annotations are stored under is the saved one.
        ConfigDictionary config(DataFolder::configFile());
        config.setValue(QStringLiteral("uuid"), QStringLiteral("DEV-A"));
        config.save();
        library().account().saveUserInfo({ { QStringLiteral("userId"), 7 } });
        m_page.bookID = 1;
        m_page.pageIdx = 4;
        m_page.tocId = QStringLiteral("toc-4");
        m_page.contentTitle = QStringLiteral("第4章");
        m_page.metaBookID = QStringLiteral("urn:book");
    }

    ReaderAnnotations::HighlightResult mark(qint64 sn, qint64 so, qint64 en, qint64 eo)
    {
        return ReaderAnnotations(library().annotations()).highlight(m_page, start(sn, so), end(en, eo));
    }

    QList<BookHighlightMemo> pageMarks()
    {
        return library().annotations().getBookHighlightMemosNotSiori(1, m_page.naviID(), m_page.tocId);
    }

    AnnotationPage m_page;
};

TEST_F(ReaderAnnotationsTest, SelectionAnswers)
{
    struct Case {
        const char *answer;
        bool valid;
    };
    const Case cases[] = {
        { "{\"startQmNodeNo\":3,\"startQmNodeOffset\":0}", true },
        { "false", false },
        { "", false },
        { "{\"startQmNodeNo\":\"3\",\"startQmNodeOffset\":0}", false },
        { "{\"startQmNodeNo\":-1,\"startQmNodeOffset\":0}", false },
        { "[1,2]", false },
        { "{broken", false },
    };
    for (const Case &c : cases)
        EXPECT_EQ(ReaderAnnotations::selectionStart(QString::fromUtf8(c.answer)).has_value(), c.valid)
            << c.answer;
    const auto r
        = ReaderAnnotations(library().annotations()).highlight(m_page, QStringLiteral("false"), end(1, 1));
    EXPECT_FALSE(r.record);
    EXPECT_EQ(r.script, QLatin1String(ReaderAnnotations::kClearSelection)) << "only clears the selection";
    AnnotationPage noBook = m_page;
    noBook.bookID = -1;
    EXPECT_FALSE(ReaderAnnotations(library().annotations()).highlight(noBook, start(1, 0), end(1, 4)).record);
}

TEST_F(ReaderAnnotationsTest, NewHighlightIsStoredAndDrawn)
{
    const auto r = ReaderAnnotations(library().annotations())
                       .highlight(m_page, start(2, 3), end(4, 5), QStringLiteral("投与量"));
    ASSERT_TRUE(r.record);
    EXPECT_TRUE(r.created);
    EXPECT_EQ(r.record->highlightNo, 1);
    EXPECT_EQ(r.record->NaviID, QStringLiteral("5"));
    EXPECT_EQ(r.record->PageIdx, 4);
    EXPECT_EQ(r.record->manifestId, QStringLiteral("toc-4"));
    EXPECT_EQ(r.record->contentTitle, QStringLiteral("第4章"));
    EXPECT_EQ(r.record->udId, QStringLiteral("DEV-A"));
    EXPECT_EQ(r.record->user, QStringLiteral("7"));
    EXPECT_FALSE(r.record->memotext);
    EXPECT_EQ(pageMarks().value(0).markedText, QStringLiteral("投与量")) << "the text is kept";
    EXPECT_EQ(r.script,
        QStringLiteral("setHighlight('1_DEV-A','highlight_color1',2,3,4,5,{});")
            + ReaderAnnotations::kClearSelection);
}

TEST_F(ReaderAnnotationsTest, SelectionInsideAHighlightReturnsIt)
{
    const auto first = mark(2, 0, 2, 10);
    struct Case {
        const char *name;
        qint64 sn, so, en, eo;
    };
    const Case cases[] = {
        { "inside", 2, 3, 2, 6 },
        { "same range", 2, 0, 2, 10 },
    };
    for (const Case &c : cases) {
        const auto r = mark(c.sn, c.so, c.en, c.eo);
        ASSERT_TRUE(r.record) << c.name;
        EXPECT_FALSE(r.created) << c.name;
        EXPECT_EQ(r.record->pk, first.record->pk) << c.name;
    }
    EXPECT_EQ(pageMarks().size(), 1);
}

TEST_F(ReaderAnnotationsTest, OverlapsMergeWithTheirMemos)
{
    struct Case {
        const char *name;
        qint64 sn, so, en, eo; // the new selection
        qint64 rs, ro, re, reo; // the merged range
        const char *memo; // "" for none
        int removed;
    };
    // Existing: #1 (1,0)-(1,5) memo "a"; #2 (3,2)-(3,8) no memo; #3 (5,0)-(5,4) memo "c".
    const Case cases[] = {
        { "across two, one with a memo", 1, 3, 3, 4, 1, 0, 3, 8, "a", 2 },
        { "touching at the end boundary only", 1, 5, 2, 0, 1, 0, 2, 0, "a", 1 },
        { "covering all three", 0, 0, 6, 0, 0, 0, 6, 0, "a\nc", 3 },
        { "strictly inside the selection", 2, 0, 4, 0, 2, 0, 4, 0, "", 1 },
        { "apart from all", 4, 0, 4, 3, 4, 0, 4, 3, "", 0 },
    };
    for (const Case &c : cases) {
        EXPECT_GE(store().removeAll<BookHighlightMemo>(), 0);
        ReaderAnnotations(library().annotations()).highlight(m_page, start(1, 0), end(1, 5));
        ReaderAnnotations(library().annotations()).highlight(m_page, start(3, 2), end(3, 8));
        ReaderAnnotations(library().annotations()).highlight(m_page, start(5, 0), end(5, 4));
        for (BookHighlightMemo r : pageMarks())
            if (r.highlightNo != 2)
                ReaderAnnotations(library().annotations())
                    .saveMemo(r, r.highlightNo == 1 ? QStringLiteral("a") : QStringLiteral("c"));

        const auto r = mark(c.sn, c.so, c.en, c.eo);
        ASSERT_TRUE(r.record && r.created) << c.name;
        EXPECT_EQ(r.record->highlightNo, 4) << c.name;
        EXPECT_EQ(r.record->startNodeNo, c.rs) << c.name;
        EXPECT_EQ(r.record->startNodeOffset, c.ro) << c.name;
        EXPECT_EQ(r.record->endNodeNo, c.re) << c.name;
        EXPECT_EQ(r.record->endNodeOffset, c.reo) << c.name;
        EXPECT_EQ(r.record->memotext.value_or(QString()), QString::fromUtf8(c.memo)) << c.name;
        EXPECT_EQ(pageMarks().size(), 4 - c.removed) << c.name;
        EXPECT_EQ(store().count<BookHighlightMemo>(QStringLiteral("\"deleteFlg\"=1")), c.removed)
            << "merged records are marked deleted, for the sync server: " << c.name;
        EXPECT_EQ(r.script.contains(QStringLiteral("removeOldQmNodeNoMemoSpan([")), c.removed > 0) << c.name;
        EXPECT_EQ(r.script.contains(QStringLiteral("'memo_color1'")), *c.memo != 0) << c.name;
    }
}

TEST_F(ReaderAnnotationsTest, NumbersCountDeletedRecords)
{
    mark(1, 0, 1, 3);
    const auto second = mark(2, 0, 2, 3);
    const QString id = ReaderAnnotations::identifier(*second.record);
    EXPECT_EQ(id, QStringLiteral("2_DEV-A"));
    const QString script = ReaderAnnotations(library().annotations()).deleteHighlight(m_page, id);
    EXPECT_TRUE(script.startsWith(QStringLiteral("removeHighlight('2_DEV-A');"))) << script.toStdString();
    EXPECT_EQ(pageMarks().size(), 1);
    EXPECT_EQ(store().count<BookHighlightMemo>(QStringLiteral("\"deleteFlg\"=1")), 1) << "soft delete";
    EXPECT_EQ(mark(3, 0, 3, 3).record->highlightNo, 3);
    EXPECT_TRUE(ReaderAnnotations(library().annotations())
                    .deleteHighlight(m_page, QStringLiteral("false"))
                    .isEmpty());
}

// A page whose stored number is at the edge of the range (written by an
// older download) takes no new highlight rather than a wrapped number.
TEST_F(ReaderAnnotationsTest, NumberAtTheEdgeIsRefused)
{
    const auto first = mark(1, 0, 1, 3);
    ASSERT_TRUE(first.record);
    for (const qint64 edge : { std::numeric_limits<qint64>::max(), qint64(AnnotationMerge::kMaxNumber) }) {
        BookHighlightMemo r = *first.record;
        r.highlightNo = edge;
        ASSERT_TRUE(library().annotations().saveRecord(r));
        const auto refused = mark(5, 0, 5, 3);
        EXPECT_FALSE(refused.record) << edge;
        EXPECT_FALSE(refused.created) << edge;
        EXPECT_EQ(pageMarks().size(), 1) << edge;
    }
}

TEST_F(ReaderAnnotationsTest, OtherDevicesAndOldRecordsByTheirIdentifiers)
{
    // Same number 1 on the page from this device, another device and an
    // older client without a device id.
    mark(1, 0, 1, 3);
    for (const std::optional<QString> &udId :
        { std::optional<QString>(QStringLiteral("DEV-B")), std::optional<QString>() }) {
        BookHighlightMemo r = *library().annotations().addBookHighlightMemoWithBookID(1, m_page.naviID(),
            m_page.tocId, 4, 1, udId ? 5 : 7, 0, udId ? 5 : 7, 2, std::nullopt, std::nullopt, std::nullopt, 0,
            0, QString(), m_page.metaBookID);
        r.udId = udId;
        ASSERT_TRUE(library().annotations().saveRecord(r));
    }
    const QString drawn = ReaderAnnotations(library().annotations()).pageScript(m_page);
    EXPECT_TRUE(drawn.contains(QStringLiteral("setHighlight('1_DEV-A',")));
    EXPECT_TRUE(drawn.contains(QStringLiteral("setHighlight('1_DEV-B','highlight_color1',5,0,5,2,{});")));
    EXPECT_TRUE(drawn.contains(QStringLiteral("setHighlight(1,'highlight_color1',7,0,7,2,{});")));

    struct Case {
        const char *id;
        qint64 startNode;
    };
    for (const Case &c : { Case { "1_DEV-B", 5 }, Case { "1", 7 }, Case { "1_DEV-A", 1 } }) {
        const auto found
            = ReaderAnnotations(library().annotations()).findByIdentifier(m_page, QLatin1String(c.id));
        ASSERT_TRUE(found) << c.id;
        EXPECT_EQ(found->startNodeNo, c.startNode) << c.id;
    }
    for (const char *bad : { "", "x_DEV-A", "0", "9_DEV-A", "1_DEV-C" })
        EXPECT_FALSE(ReaderAnnotations(library().annotations()).findByIdentifier(m_page, QLatin1String(bad)))
            << bad;
}

TEST_F(ReaderAnnotationsTest, MemosSaveRedrawAndDelete)
{
    BookHighlightMemo r = *mark(2, 0, 2, 9).record;
    QString script;
    EXPECT_TRUE(ReaderAnnotations(library().annotations()).saveMemo(r, QString(), &script));
    EXPECT_TRUE(script.isEmpty()) << "an empty memo changes nothing";
    EXPECT_FALSE(pageMarks()[0].memotext);

    const QString memo = QStringLiteral("it's \"50%\"\nthen ');alert(1);//");
    ASSERT_TRUE(ReaderAnnotations(library().annotations()).saveMemo(r, memo, &script));
    EXPECT_EQ(pageMarks()[0].memotext, memo);
    EXPECT_TRUE(pageMarks()[0].memodate);
    EXPECT_TRUE(script.startsWith(QStringLiteral("setHighlight('1_DEV-A','memo_color1',2,0,2,9,{")));
    // The memo is data in the script, not code: the attribute object parses
    // back to the same text.
    const qsizetype open = script.indexOf(u'{');
    const QVariantMap attrs
        = QJsonDocument::fromJson(script.mid(open, script.lastIndexOf(u'}') - open + 1).toUtf8())
              .toVariant()
              .toMap();
    EXPECT_EQ(attrs.value(QStringLiteral("memotext")).toString(), memo);
    EXPECT_EQ(attrs.value(QStringLiteral("memodate")).toString().size(), 19) << "yyyy/MM/dd HH:mm:ss";

    EXPECT_EQ(AnnotationList::load(library().annotations(), 1).memoList().size(), 1);
    EXPECT_TRUE(ReaderAnnotations(library().annotations())
                    .deleteMemo(r)
                    .startsWith(QStringLiteral("removeHighlight('1_DEV-A');")));
    EXPECT_TRUE(pageMarks().isEmpty()) << "the highlight goes with its memo";
    EXPECT_EQ(ReaderAnnotations::jsQuote(QStringLiteral("a'b\\c\n")), QStringLiteral("'a\\'b\\\\c\\n'"));
}

TEST_F(ReaderAnnotationsTest, BookmarkToggleTitleAndList)
{
    EXPECT_FALSE(ReaderAnnotations(library().annotations()).isBookmarked(1, 4));
    ReaderAnnotations(library().annotations())
        .setBookmark(1, 4, true, QStringLiteral("item5"), m_page.metaBookID);
    ReaderAnnotations(library().annotations())
        .setBookmark(1, 1, true, QStringLiteral("item2"), m_page.metaBookID);
    EXPECT_TRUE(ReaderAnnotations(library().annotations()).isBookmarked(1, 4));
    const qint64 pk = AnnotationList::load(library().annotations(), 1).bookMarkList().last().pk;

    ReaderAnnotations(library().annotations()).setBookmark(1, 4, false, std::nullopt, std::nullopt);
    EXPECT_FALSE(ReaderAnnotations(library().annotations()).isBookmarked(1, 4));
    EXPECT_EQ(store().count<BookHighlightMemo>(QStringLiteral("\"deleteFlg\"=1")), 1) << "kept, marked";
    ReaderAnnotations(library().annotations())
        .setBookmark(1, 4, true, QStringLiteral("item5"), m_page.metaBookID);
    EXPECT_EQ(AnnotationList::load(library().annotations(), 1).bookMarkList().last().pk, pk)
        << "the same record revived";
    EXPECT_EQ(store().count<BookHighlightMemo>(), 2);

    ReaderAnnotations(library().annotations()).setBookmarkTitle(1, 4, QString());
    ReaderAnnotations(library().annotations()).setBookmarkTitle(1, 1, QStringLiteral("用量表"));
    ReaderAnnotations(library().annotations()).setBookmark(-1, 4, true, std::nullopt, std::nullopt);
    EXPECT_FALSE(ReaderAnnotations(library().annotations()).isBookmarked(-1, 4)) << "no record, no bookmark";

    const AnnotationList list = AnnotationList::load(library().annotations(), 1);
    ASSERT_EQ(list.bookMarkList().size(), 2);
    using Tab = AnnotationList::Tab;
    EXPECT_EQ(AnnotationList::rowText(Tab::Bookmarks, list.bookMarkList()[0]), QStringLiteral("2:用量表"));
    EXPECT_EQ(AnnotationList::rowText(Tab::Bookmarks, list.bookMarkList()[1]), QStringLiteral("5:しおり"));
    BookHighlightMemo emptyTitle = list.bookMarkList()[1];
    emptyTitle.updateUdId = QString();
    EXPECT_EQ(ReaderAnnotations::bookmarkTitle(emptyTitle), QStringLiteral("しおり"));
}

TEST_F(ReaderAnnotationsTest, ListRowsAndExport)
{
    AnnotationPage later = m_page;
    later.pageIdx = 9;
    later.contentTitle = QStringLiteral("第9章");
    ReaderAnnotations(library().annotations())
        .highlight(later, start(1, 0), end(1, 4), QStringLiteral("後の段落"));
    ReaderAnnotations(library().annotations())
        .highlight(m_page, start(3, 0), end(3, 4), QStringLiteral("二つ目"));
    BookHighlightMemo memo = *ReaderAnnotations(library().annotations())
                                  .highlight(m_page, start(1, 0), end(1, 4), QStringLiteral("最初"))
                                  .record;
    ReaderAnnotations(library().annotations()).saveMemo(memo, QStringLiteral("確認する\n二行目"));
    ReaderAnnotations(library().annotations())
        .setBookmark(1, 4, true, QStringLiteral("item5"), m_page.metaBookID);

    const AnnotationList list = AnnotationList::load(library().annotations(), 1);
    ASSERT_EQ(list.highlightList().size(), 2);
    EXPECT_EQ(list.highlightList()[0].PageIdx, 4) << "sorted by page";
    using Tab = AnnotationList::Tab;
    const QString row = AnnotationList::rowText(Tab::Memos, list.memoList()[0]);
    EXPECT_TRUE(row.startsWith(QStringLiteral("5:"))) << row.toStdString();
    EXPECT_TRUE(row.contains(QStringLiteral("\n確認する\n二行目"))) << row.toStdString();
    EXPECT_TRUE(row.contains(QStringLiteral("「最初」"))) << row.toStdString();

    const QString md = list.toMarkdown(QStringLiteral("薬理学"));
    for (const char *expected : { "# 薬理学\n", "## 第4章\n", "> 最初\n", "メモ: 確認する\n    二行目",
             "> 二つ目\n", "## 第9章\n", "> 後の段落\n", "## しおり\n\n- しおり (5ページ)\n" })
        EXPECT_TRUE(md.contains(QString::fromUtf8(expected))) << expected << "\n" << md.toStdString();
    EXPECT_LT(md.indexOf(QStringLiteral("最初")), md.indexOf(QStringLiteral("二つ目"))) << "page order";
    EXPECT_LT(md.indexOf(QStringLiteral("二つ目")), md.indexOf(QStringLiteral("後の段落")));

    const QVariantMap json
        = QJsonDocument::fromJson(list.toJson(QStringLiteral("薬理学"))).toVariant().toMap();
    EXPECT_EQ(json.value(QStringLiteral("title")).toString(), QStringLiteral("薬理学"));
    const QVariantMap first = json.value(QStringLiteral("memos")).toList().value(0).toMap();
    EXPECT_EQ(first.value(QStringLiteral("memotext")).toString(), QStringLiteral("確認する\n二行目"));
    EXPECT_EQ(first.value(QStringLiteral("markedText")).toString(), QStringLiteral("最初"));
    EXPECT_EQ(first.value(QStringLiteral("highlightNo")).toInt(), 2);
    EXPECT_TRUE(first.value(QStringLiteral("updateTime")).toString().endsWith(u'Z'));
    EXPECT_EQ(json.value(QStringLiteral("bookmarks")).toList().size(), 1);
    EXPECT_TRUE(AnnotationList::load(library().annotations(), -1)
                    .toMarkdown(QStringLiteral("x"))
                    .startsWith(QStringLiteral("# x\n")));
}

TEST(AnnotationListRows, NameTheChapterAndTheStartOfTheText)
{
    using Tab = AnnotationList::Tab;
    const QDateTime time(QDate(2026, 12, 11), QTime(2, 54));
    const QString when = ReaderAnnotations::shortTimeText(time);
    const QString longText = QString(45, QChar(u'血'));
    struct Case {
        const char *name;
        Tab tab;
        std::optional<QString> chapter;
        std::optional<QString> marked;
        std::optional<QString> memo;
        QString expected;
    };
    const Case cases[] = {
        { "chapter and text", Tab::Highlights, QStringLiteral("第3章 循環"), QStringLiteral("心拍出量"), {},
            QStringLiteral("3:第3章 循環\n「心拍出量」") },
        { "text on one line", Tab::Highlights, QStringLiteral("第3章"), QStringLiteral("  心拍\n 出量 "), {},
            QStringLiteral("3:第3章\n「心拍 出量」") },
        { "long text cut", Tab::Highlights, QStringLiteral("第3章"), longText, {},
            QStringLiteral("3:第3章\n「%1…」").arg(longText.left(AnnotationList::kTextStartLength)) },
        { "memo after the text", Tab::Memos, QStringLiteral("第3章"), QStringLiteral("心拍出量"),
            QStringLiteral("試験に出る"), QStringLiteral("3:第3章\n「心拍出量」\n試験に出る") },
        { "no chapter: the time", Tab::Highlights, std::nullopt, QStringLiteral("心拍出量"), {},
            QStringLiteral("3:%1\n「心拍出量」").arg(when) },
        { "blank chapter: the time", Tab::Highlights, QStringLiteral(" "), std::nullopt, {},
            QStringLiteral("3:%1").arg(when) },
    };
    for (const Case &c : cases) {
        BookHighlightMemo r;
        r.PageIdx = 2;
        r.updateTime = time;
        r.contentTitle = c.chapter;
        r.markedText = c.marked;
        r.memotext = c.memo;
        EXPECT_EQ(AnnotationList::rowText(c.tab, r), c.expected) << c.name;
    }
    // A character outside the basic plane is not cut in half.
    const QString wide = QString(AnnotationList::kTextStartLength - 1, QChar(u'a')) + QStringLiteral("𠮷x");
    EXPECT_EQ(
        AnnotationList::textStart(wide), wide.left(AnnotationList::kTextStartLength - 1) + QChar(0x2026));
}

TEST_F(ReaderAnnotationsTest, HighlightsFoundAgainInANewEdition)
{
    const QStringList old { QStringLiteral("Check renal function."), QStringLiteral("renal dose") };
    struct Case {
        const char *name;
        QStringList edition;
        bool found;
        NodePosition start, end;
    };
    const Case cases[] = {
        { "unchanged", old, true, { 1, 6 }, { 1, 11 } },
        { "a paragraph put before", { QStringLiteral("Preface."), old[0], old[1] }, true, { 2, 6 },
            { 2, 11 } },
        { "nodes joined", { QStringLiteral("Check renal function. renal dose") }, true, { 1, 6 }, { 1, 11 } },
        { "the surrounding words decide over nearness", { QStringLiteral("renal dose."), old[0] }, true,
            { 2, 6 }, { 2, 11 } },
        { "gone", { QStringLiteral("Check kidney function.") }, false, { 1, 6 }, { 1, 11 } },
    };
    for (const Case &c : cases) {
        EXPECT_GE(store().removeAll<BookHighlightMemo>(), 0);
        const auto made
            = ReaderAnnotations(library().annotations()).highlight(m_page, start(1, 6), end(1, 11), {}, old);
        ASSERT_EQ(made.record->markedText, QStringLiteral("renal")) << c.name;
        ReaderAnnotations(library().annotations()).reanchor(m_page, c.edition);
        const BookHighlightMemo r = store().findAll<BookHighlightMemo>().value(0);
        EXPECT_EQ(r.anchorFound.value_or(1) == 1, c.found) << c.name;
        EXPECT_EQ((NodePosition { *r.startNodeNo, *r.startNodeOffset }), c.start) << c.name;
        EXPECT_EQ((NodePosition { *r.endNodeNo, *r.endNodeOffset }), c.end) << c.name;
        if (c.found) {
            EXPECT_EQ(ReaderAnnotations::textAt(c.edition, c.start, c.end), QStringLiteral("renal"))
                << c.name;
        }
        EXPECT_EQ(ReaderAnnotations(library().annotations()).pageScript(m_page).isEmpty(), !c.found)
            << "a lost one is not drawn: " << c.name;
        const AnnotationList list = AnnotationList::load(library().annotations(), 1);
        EXPECT_EQ(AnnotationList::rowText(AnnotationList::Tab::Highlights, list.highlightList().value(0))
                      .contains(QString::fromUtf8(AnnotationList::kNotFound)),
            !c.found)
            << c.name;
    }
}

} // namespace
