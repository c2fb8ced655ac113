// The search pop-over's logic: starting searches, the rows, "More" and
// "先頭から検索する", and that only the newest search sets the list.
#include "core/reader/InBookSearch.h"

#include "SearchBook.h"
#include "support/TextPdf.h"
#include "support/Wait.h"

#include <QSemaphore>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

bool finished(const InBookSearch &s)
{
    return waitUntil([&s] { return !s.showIndicator(); });
}

// Twelve items with two hits each.
std::shared_ptr<BookSearchText> twelveItems()
{
    QList<std::optional<QByteArray>> files;
    for (int i = 0; i < 12; ++i)
        files.append(xhtml("<p>dose one</p><p>dose two</p>"));
    return searchBook(files);
}

TEST(InBookSearch, TheSameTermAgainDoesNotSearch)
{
    InBookSearch s(twelveItems());
    s.setCurrentManifestID(QStringLiteral("c1"));
    EXPECT_EQ(s.numberOfRows(), 0) << "no rows before the first search";
    EXPECT_FALSE(s.updateSearch(QString()));
    EXPECT_TRUE(s.updateSearch(QStringLiteral("dose")));
    ASSERT_TRUE(finished(s));
    EXPECT_FALSE(s.updateSearch(QStringLiteral("dose")));
    EXPECT_EQ(s.lastSearchStr(), QStringLiteral("dose"));
}

TEST(InBookSearch, MoreAndFromTheStartExtendTheList)
{
    InBookSearch s(twelveItems());
    s.setCurrentManifestID(QStringLiteral("c3"));
    s.updateSearch(QStringLiteral("DOSE"));
    ASSERT_TRUE(finished(s));
    struct Step {
        const char *extraRow; // text of the extra row before choosing it
        int hits; // hits listed after choosing it
    };
    // From c3: 20 hits remain. Ten, then "More" to 20, then the end of the
    // book offers the start, which lists (20 / 10) * 10 + 10 = 30 of 24.
    const Step steps[] = { { "More", 20 }, { "先頭から検索する", 24 } };
    EXPECT_EQ(s.hitCount(), 10);
    for (const Step &step : steps) {
        const int extra = s.numberOfRows() - 1;
        ASSERT_TRUE(s.isExtraRow(extra));
        EXPECT_EQ(s.row(extra).title, QString::fromUtf8(step.extraRow));
        s.setCurrentManifestID(QStringLiteral("c9")); // turning pages does not move the listed search
        EXPECT_EQ(s.choose(extra).kind, InBookSearch::Choice::Searching);
        EXPECT_TRUE(s.row(s.numberOfRows() - 1).spinner);
        ASSERT_TRUE(finished(s));
        EXPECT_EQ(s.hitCount(), step.hits) << step.extraRow;
    }
    EXPECT_EQ(s.numberOfRows(), 24) << "no extra row after the whole book";
    EXPECT_EQ(s.searchResultArray().first().toMap().value(QStringLiteral("page")).toInt(), 1);
}

TEST(InBookSearch, RowsCutTheChunkAndTheLocationLine)
{
    const QString thirtyFive = QStringLiteral("x").repeated(30) + QStringLiteral("dose ");
    const auto book = searchBook({
        xhtml(thirtyFive.toUtf8()),
        xhtml((thirtyFive + QStringLiteral("y")).toUtf8()),
        xhtml(("dose " + QStringLiteral("z").repeated(60) + " dose later").toUtf8()),
    });
    InBookSearch s(book);
    s.setToc({ QVariantMap { { QStringLiteral("text"), QStringLiteral("Short") } },
        QVariantMap { { QStringLiteral("text"), QStringLiteral("A chapter title that is long") } } });
    s.setCurrentManifestID(QStringLiteral("c1"));
    s.updateSearch(QStringLiteral("dose"));
    ASSERT_TRUE(finished(s));
    ASSERT_EQ(s.hitCount(), 4);
    struct Case {
        int row;
        QString title;
        QString detail;
        int markStart;
    };
    const Case cases[] = {
        { 0, thirtyFive, QStringLiteral("1 - Short"), 30 },
        { 1, thirtyFive + QStringLiteral("..."), QStringLiteral("2 - A chapter tit..."), 30 },
        { 2, QStringLiteral("dose ") + QStringLiteral("z").repeated(30) + QStringLiteral("..."),
            QStringLiteral("3 - "), 0 },
        // Further in: the words around the hit, marked.
        { 3, QStringLiteral("...") + QStringLiteral("z").repeated(11) + QStringLiteral(" dose later"),
            QStringLiteral("3 - "), 15 },
    };
    for (const Case &c : cases) {
        const InBookSearch::Row r = s.row(c.row);
        EXPECT_EQ(r.title, c.title) << c.row;
        EXPECT_EQ(r.detail, c.detail) << c.row;
        EXPECT_EQ(r.markStart, c.markStart) << c.row;
        EXPECT_EQ(r.title.mid(r.markStart, r.markLength).toLower(), QStringLiteral("dose")) << c.row;
    }
    const InBookSearch::Choice hit = s.choose(1);
    EXPECT_EQ(hit.kind, InBookSearch::Choice::EpubHit);
    EXPECT_EQ(s.nowSelectStr(), thirtyFive + QStringLiteral("y"));
}

// A book whose first file's read waits until the test lets it go: the first
// search is still running when the second one starts and finishes.
TEST(InBookSearch, OnlyTheNewestSearchSetsTheList)
{
    QSemaphore firstReadStarted;
    QSemaphore release;
    std::atomic_int reads { 0 };
    const auto book = searchBook({ xhtml("<p>alpha</p>"), xhtml("<p>beta</p>") }, [&](const QUrl &url) {
        if (url.path().endsWith(QStringLiteral("c1.xhtml")) && reads.fetch_add(1) == 0) {
            firstReadStarted.release();
            release.acquire();
        }
    });
    InBookSearch s(book);
    s.setCurrentManifestID(QStringLiteral("c1"));
    int changes = 0;
    QObject::connect(&s, &InBookSearch::resultsChanged, [&] { ++changes; });
    s.updateSearch(QStringLiteral("alpha"));
    ASSERT_TRUE(firstReadStarted.tryAcquire(1, 15000));
    s.setCurrentManifestID(QStringLiteral("c2")); // the newer search reads only what is not held up
    s.updateSearch(QStringLiteral("beta"));
    ASSERT_TRUE(finished(s));
    ASSERT_EQ(s.hitCount(), 1);
    release.release(); // the older search now ends
    const int before = changes;
    settle(300);
    EXPECT_EQ(changes, before) << "the older search changed the list";
    EXPECT_EQ(s.searchResultArray().first().toMap().value(QStringLiteral("text")).toString(),
        QStringLiteral("beta"));
    EXPECT_EQ(s.lastSearchStr(), QStringLiteral("beta"));
}

TEST(InBookSearch, PdfHitsAreCaseSensitiveWithLabelOutlineAndContext)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.pdf"));
    const QString line = QStringLiteral("Heparin dosing: the heparin drip starts after a bolus of units.");
    ASSERT_TRUE(writeTextPdf(path, { { QStringLiteral("Intro") }, { line } }, true));
    InBookSearch s(std::make_shared<PdfTextSearch>(path));
    s.setToc({ QVariantMap { { QStringLiteral("pageNumber"), 2 },
        { QStringLiteral("title"), QStringLiteral("Anticoagulants") } } });
    s.updateSearch(QStringLiteral("heparin"));
    ASSERT_TRUE(finished(s));
    ASSERT_EQ(s.hitCount(), 1) << "PDF search is case-sensitive";
    const PdfHit hit = s.pdfResults().first();
    EXPECT_EQ(hit.page, 1);
    EXPECT_EQ(hit.label, QStringLiteral("ii"));
    const InBookSearch::Row r = s.row(0);
    EXPECT_EQ(r.title, QStringLiteral("ii")) << "a roman label names no outline entry";
    EXPECT_EQ(r.detail.mid(r.detailMarkStart, r.detailMarkLength), QStringLiteral("heparin"));
    EXPECT_EQ(r.detailMarkStart, 20) << "from the page start when the hit is nearer than 30";
    EXPECT_EQ(r.detail.size() - r.detailMarkStart, 40) << "40 characters after the hit's start";
}

TEST(PdfTextSearch, StopsAtOneHundredHitsAndLabelsPages)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("many.pdf"));
    QList<QStringList> pages;
    for (int i = 0; i < 6; ++i)
        pages.append(QStringList(30, QStringLiteral("Dose and Dose")));
    ASSERT_TRUE(writeTextPdf(path, pages));
    const PdfTextSearch pdf(path);
    const auto hits = pdf.find(QStringLiteral("Dose"));
    ASSERT_TRUE(hits);
    EXPECT_EQ(hits->size(), PdfTextSearch::kMaxHits);
    EXPECT_EQ(hits->first().label, QStringLiteral("1"));
    EXPECT_EQ(hits->last().page, 1);
    EXPECT_FALSE(PdfTextSearch(dir.filePath(QStringLiteral("missing.pdf"))).find(QStringLiteral("x")));
}

} // namespace
