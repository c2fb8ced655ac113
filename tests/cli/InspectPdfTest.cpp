// tavro-inspect pdf-outline, run as a process.
#include "Inspect.h"
#include "support/PdfMaker.h"
#include "support/Samples.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

QVariantMap outlineOf(const QString &path)
{
    const ProcessResult r = inspect({ QStringLiteral("pdf-outline"), path });
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return QJsonDocument::fromJson(r.out).toVariant().toMap();
}

QStringList titles(const QVariantMap &outline)
{
    QStringList out;
    for (const QVariant &row : outline.value(QStringLiteral("rows")).toList())
        out << row.toMap().value(QStringLiteral("title")).toString();
    return out;
}

TEST(InspectPdfOutline, PrintsTheRowsTheReaderShows)
{
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("plain.pdf"));
    ASSERT_TRUE(makePdf(plain, 2));
    const QString withToc = dir.filePath(QStringLiteral("withtoc.pdf"));
    ASSERT_TRUE(
        makePdf(withToc, 3, { { QStringLiteral("Ignored"), 0, {} }, { QStringLiteral("Too"), 1, {} } }));
    ASSERT_TRUE(writeToc(
        withToc, R"({"toc":[{"title":"章","pageNumber":3,"sub":[{"title":"節","pageNumber":3}]}]})"));
    struct Case {
        QString path;
        const char *source;
        QStringList titles;
    };
    const Case cases[] = {
        { sampleBookPath(QStringLiteral("respiratory-atlas.pdf")), "toc",
            { QStringLiteral("Respiratory Physiology"), QStringLiteral("Renal Function"),
                QStringLiteral("Pharmacokinetics"), QStringLiteral("Emergency Triage") } },
        { plain, "pages", { QStringLiteral("ページ1"), QStringLiteral("ページ2") } },
        { withToc, "toc", { QStringLiteral("章") } },
    };
    for (const Case &c : cases) {
        const QVariantMap out = outlineOf(c.path);
        EXPECT_EQ(out.value(QStringLiteral("source")).toString(), QLatin1String(c.source))
            << c.path.toStdString();
        EXPECT_EQ(titles(out), c.titles) << c.path.toStdString();
    }
    const QVariantMap chapter = outlineOf(withToc).value(QStringLiteral("rows")).toList().value(0).toMap();
    EXPECT_EQ(chapter.value(QStringLiteral("pageNumber")).toInt(), 3);
    EXPECT_EQ(chapter.value(QStringLiteral("sub"))
                  .toList()
                  .value(0)
                  .toMap()
                  .value(QStringLiteral("title"))
                  .toString(),
        QStringLiteral("節"));
}

TEST(InspectPdfOutline, BadInputGivesAMessageAndANonZeroExit)
{
    QTemporaryDir dir;
    QFile junk(dir.filePath(QStringLiteral("junk.pdf")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("%PDF-nothing");
    junk.close();
    struct Case {
        QStringList args;
        int code;
        const char *message;
    };
    const Case cases[] = {
        { { QStringLiteral("pdf-outline"), dir.filePath(QStringLiteral("missing.pdf")) }, 1, "no such file" },
        { { QStringLiteral("pdf-outline"), junk.fileName() }, 1, "not a readable PDF document" },
        { { QStringLiteral("pdf-outline") }, 2, "usage" },
    };
    for (const Case &c : cases) {
        const ProcessResult r = inspect(c.args);
        EXPECT_EQ(r.exitCode, c.code) << c.args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

// Hostile PDFs once crashed the inspector (SIGSEGV in the PDF library's
// outline walk) or never let it end: now a broken outline gives one row per
// page, and a document that cannot be opened in time a message.
TEST(InspectPdfOutline, HostileDocumentsGiveRowsOrAMessage)
{
    QTemporaryDir dir;
    const struct {
        const char *name;
        HostilePdf kind;
        int code;
    } cases[] = {
        { "entry that is its own child", HostilePdf::SelfChild, 0 },
        { "cyclic children", HostilePdf::CyclicChildren, 0 },
        { "cyclic next chain", HostilePdf::CyclicNext, 0 },
        { "60,000-deep outline", HostilePdf::DeepOutline, 0 },
        { "page tree that lists itself", HostilePdf::PageTreeCycle, 1 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile f(dir.filePath(QString::fromUtf8(c.name) + QStringLiteral(".pdf")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(hostilePdf(c.kind));
        f.close();
        const ProcessResult r = inspect({ QStringLiteral("pdf-outline"), f.fileName() });
        EXPECT_EQ(r.exitCode, c.code) << r.err.toStdString();
        if (c.code == 0) {
            const QVariantMap outline = QJsonDocument::fromJson(r.out).toVariant().toMap();
            EXPECT_EQ(outline.value(QStringLiteral("source")).toString(), QStringLiteral("pages"));
            EXPECT_EQ(titles(outline), QStringList { QStringLiteral("ページ1") });
        } else {
            EXPECT_TRUE(r.err.contains("not a readable PDF document")) << r.err.toStdString();
        }
    }
}

} // namespace
