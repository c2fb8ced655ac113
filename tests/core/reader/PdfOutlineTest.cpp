// The rows of a PDF book's outline and the row that follows the page.
#include "core/reader/PdfOutline.h"
#include "core/content/PdfProbe.h"
#include "support/PdfMaker.h"

#include <QPdfDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

// The rows as "title:pageNumber" with children in brackets, to compare at
// a glance.
QString shape(const QList<PdfOutlineRow> &rows)
{
    QStringList parts;
    for (const PdfOutlineRow &r : rows) {
        QString s = r.title + u':' + QString::number(r.page + 1);
        if (!r.children.isEmpty())
            s += u'[' + shape(r.children) + u']';
        parts << s;
    }
    return parts.join(u',');
}

class PdfOutlineTest : public ::testing::Test
{
protected:
    QString pdf(const QString &name, int pages, const QList<PdfMakerEntry> &outline = {})
    {
        const QString path = m_dir.filePath(name);
        EXPECT_TRUE(makePdf(path, pages, outline));
        return path;
    }
    QTemporaryDir m_dir;
};

TEST_F(PdfOutlineTest, RowsComeFromTheTocFileThenTheOutlineThenThePages)
{
    const QList<PdfMakerEntry> chapters {
        { QStringLiteral("One"), 0, { { QStringLiteral("One.a"), 1, {} } } }, { QStringLiteral("Two"), 2, {} }
    };
    struct Case {
        const char *name;
        int pages;
        QList<PdfMakerEntry> outline;
        QByteArray toc; // empty: no file
        PdfOutline::Source source;
        const char *shape;
    };
    const Case cases[] = {
        { "toc file wins", 4, chapters,
            R"({"toc":[{"title":"序章","pageNumber":1,"sub":[{"title":"節","pageNumber":"2"}]},{"title":"終","pageNumber":4}]})",
            PdfOutline::Source::TocFile, "序章:1[節:2],終:4" },
        { "toc entries that are no objects are passed over", 3, {},
            R"({"toc":[1,"x",{"title":"A","pageNumber":3},{"title":"no page"}]})",
            PdfOutline::Source::TocFile, "A:3,no page:0" },
        { "document outline", 4, chapters, {}, PdfOutline::Source::Document, "One:1[One.a:2],Two:3" },
        { "a single root entry shows its children", 4, { { QStringLiteral("Book"), 0, chapters } }, {},
            PdfOutline::Source::Document, "One:1[One.a:2],Two:3" },
        { "a single entry without children is shown itself", 2, { { QStringLiteral("Only"), 1, {} } }, {},
            PdfOutline::Source::Document, "Only:2" },
        { "no outline: one row per page", 3, {}, {}, PdfOutline::Source::Pages,
            "ページ1:1,ページ2:2,ページ3:3" },
        { "malformed toc file falls back", 4, chapters, "{\"toc\": [", PdfOutline::Source::Document,
            "One:1[One.a:2],Two:3" },
        { "toc without entries falls back", 2, {}, R"({"toc":[]})", PdfOutline::Source::Pages,
            "ページ1:1,ページ2:2" },
        { "toc that is no array falls back", 1, {}, R"({"toc":{"title":"x"}})", PdfOutline::Source::Pages,
            "ページ1:1" },
    };
    int n = 0;
    for (const Case &c : cases) {
        const QString path = pdf(QStringLiteral("book%1.pdf").arg(++n), c.pages, c.outline);
        if (!c.toc.isEmpty()) {
            ASSERT_TRUE(writeToc(path, c.toc));
        }
        const auto outline = PdfOutline::load(path);
        ASSERT_TRUE(outline) << c.name;
        EXPECT_EQ(outline->source, c.source) << c.name;
        EXPECT_EQ(shape(outline->rows), QString::fromUtf8(c.shape)) << c.name;
    }
}

TEST_F(PdfOutlineTest, TheTocFileSitsBesideThePdfUnderItsName)
{
    EXPECT_EQ(PdfOutline::tocPath(QStringLiteral("/c/book.pdf")), QStringLiteral("/c/book.toc"));
    EXPECT_EQ(PdfOutline::tocPath(QStringLiteral("/c/a.b.pdf")), QStringLiteral("/c/a.b.toc"));
    EXPECT_EQ(PdfOutline::tocPath(QStringLiteral("/c/noext")), QStringLiteral("/c/noext.toc"));
}

TEST_F(PdfOutlineTest, AnUnreadableDocumentSaysWhy)
{
    QString error;
    EXPECT_FALSE(PdfOutline::load(m_dir.filePath(QStringLiteral("missing.pdf")), &error));
    EXPECT_EQ(error, QStringLiteral("no such file"));
    QFile junk(m_dir.filePath(QStringLiteral("junk.pdf")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a pdf");
    junk.close();
    EXPECT_FALSE(PdfOutline::load(junk.fileName(), &error));
    EXPECT_EQ(error, QStringLiteral("not a readable PDF document"));
}

TEST_F(PdfOutlineTest, DeeplyNestedEntriesAreCut)
{
    QByteArray toc = R"({"toc":[)";
    for (int i = 0; i < 200; ++i)
        toc += R"({"title":"x","pageNumber":1,"sub":[)";
    for (int i = 0; i < 200; ++i)
        toc += "]}";
    toc += "]}";
    const QString path = pdf(QStringLiteral("deep.pdf"), 1);
    ASSERT_TRUE(writeToc(path, toc));
    const auto outline = PdfOutline::load(path);
    ASSERT_TRUE(outline);
    int depth = 0;
    for (const QList<PdfOutlineRow> *level = &outline->rows; !level->isEmpty();
         level = &level->first().children)
        ++depth;
    EXPECT_EQ(depth, PdfOutline::kMaxDepth);
}

// What the helper finds in hostile files: the document and whether the
// outline could be built, never a crash or a stall of this process.
TEST_F(PdfOutlineTest, HostileDocumentsAreCheckedInTheHelper)
{
    const struct {
        const char *name;
        HostilePdf kind;
        PdfProbe::Status status;
    } cases[] = {
        { "entry that is its own child", HostilePdf::SelfChild, PdfProbe::Status::Readable },
        { "cyclic children", HostilePdf::CyclicChildren, PdfProbe::Status::Readable },
        { "cyclic next chain", HostilePdf::CyclicNext, PdfProbe::Status::Readable },
        { "60,000-deep outline", HostilePdf::DeepOutline, PdfProbe::Status::Readable },
        { "page tree that lists itself", HostilePdf::PageTreeCycle, PdfProbe::Status::Damaged },
    };
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = m_dir.filePath(QStringLiteral("hostile%1.pdf").arg(++n));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(hostilePdf(c.kind));
        f.close();
        const PdfProbe probe = PdfProbe::check(path);
        EXPECT_EQ(probe.status, c.status) << probe.error.toStdString();
        const PdfOutline outline = PdfOutline::load(path, probe);
        EXPECT_EQ(outline.source, PdfOutline::Source::Pages);
        EXPECT_EQ(shape(outline.rows),
            c.status == PdfProbe::Status::Readable ? QStringLiteral("ページ1:1") : QString());
    }
}

// The helper's report, read back: whole, cut after the document line (the
// outline crashed), or cut mid-line.
TEST(PdfProbeReport, TheDocumentLineDecidesTheOutlineLineIsOptional)
{
    const struct {
        const char *name;
        QByteArray report;
        bool finished;
        PdfProbe::Status status;
        int pages;
        bool outline;
    } cases[] = {
        { "whole", "{\"pageCount\":3,\"rendered\":true}\n{\"outline\":[{\"t\":\"A\",\"p\":1}]}\n", true,
            PdfProbe::Status::Readable, 3, true },
        { "no outline", "{\"pageCount\":3,\"rendered\":true}\n{\"outline\":null}\n", true,
            PdfProbe::Status::Readable, 3, false },
        { "outline crashed", "{\"pageCount\":3,\"rendered\":true}\n", false, PdfProbe::Status::Readable, 3,
            false },
        { "outline cut mid-line", "{\"pageCount\":3,\"rendered\":true}\n{\"outline\":[{\"t\"", false,
            PdfProbe::Status::Readable, 3, false },
        { "first page did not render", "{\"pageCount\":3,\"rendered\":false}\n", true,
            PdfProbe::Status::Damaged, 3, false },
        { "no pages", "{\"pageCount\":0,\"rendered\":false}\n", true, PdfProbe::Status::Damaged, 0, false },
        { "nothing: stalled", "", false, PdfProbe::Status::Damaged, 0, false },
        { "document line cut", "{\"pageCount\":3,\"ren", false, PdfProbe::Status::Damaged, 0, false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const PdfProbe probe = PdfProbe::fromReport(c.report, c.finished);
        EXPECT_EQ(probe.status, c.status);
        EXPECT_EQ(probe.pageCount, c.pages);
        EXPECT_EQ(probe.outline.has_value(), c.outline);
    }
    // A row naming a page the book does not have names none.
    const PdfProbe probe = PdfProbe::fromReport(
        "{\"pageCount\":2,\"rendered\":true}\n{\"outline\":[{\"t\":\"A\",\"p\":9},{\"t\":\"B\",\"p\":1,"
        "\"x\":0,\"y\":40}]}\n",
        true);
    ASSERT_TRUE(probe.outline);
    EXPECT_EQ(shape(*probe.outline), QStringLiteral("A:0,B:2"));
    EXPECT_EQ(probe.outline->at(1).location, QPointF(0, 40));
}

TEST(PdfOutlineRowForPage, FollowsThePage)
{
    PdfOutline outline;
    outline.rows = { { QStringLiteral("A"), 0, {},
                         { { QStringLiteral("A.1"), 0, {}, {} }, { QStringLiteral("A.2"), 2, {}, {} } } },
        { QStringLiteral("B"), 5, {}, { { QStringLiteral("B.1"), 6, {}, {} } } },
        { QStringLiteral("C"), 9, {}, {} } };
    struct Case {
        int page;
        std::optional<QList<int>> row;
    };
    const Case cases[] = {
        { 0, QList<int> { 0 } }, // the parent before its child of the same page
        { 2, QList<int> { 0, 1 } }, // a child: its place under its parent
        { 3, QList<int> { 0, 1 } }, // between rows: the part being read
        { 6, QList<int> { 1, 0 } },
        { 9, QList<int> { 2 } },
        { 40, QList<int> { 2 } },
    };
    for (const Case &c : cases)
        EXPECT_EQ(outline.rowForPage(c.page), c.row) << "page " << c.page;
    EXPECT_EQ(outline.row({ 1, 0 })->title, QStringLiteral("B.1"));
    EXPECT_EQ(outline.row({ 3 }), nullptr);

    PdfOutline late;
    late.rows = { { QStringLiteral("X"), 4, {}, {} } };
    EXPECT_FALSE(late.rowForPage(1)) << "before the first row";
    PdfOutline pages;
    pages.rows = PdfOutline::perPage(5);
    EXPECT_EQ(pages.rowForPage(3), QList<int> { 3 });
}

TEST_F(PdfOutlineTest, TheVariantFormNamesItsSourceAndPageNumbers)
{
    PdfOutline outline;
    outline.source = PdfOutline::Source::TocFile;
    outline.rows = { { QStringLiteral("A"), 1, {}, { { QStringLiteral("A.1"), -1, {}, {} } } } };
    const QVariantMap v = outline.toVariant();
    EXPECT_EQ(v.value(QStringLiteral("source")).toString(), QStringLiteral("toc"));
    const QVariantMap a = v.value(QStringLiteral("rows")).toList().value(0).toMap();
    EXPECT_EQ(a.value(QStringLiteral("pageNumber")).toInt(), 2);
    const QVariant sub
        = a.value(QStringLiteral("sub")).toList().value(0).toMap().value(QStringLiteral("pageNumber"));
    EXPECT_EQ(sub.metaType().id(), QMetaType::Nullptr);
}

} // namespace
