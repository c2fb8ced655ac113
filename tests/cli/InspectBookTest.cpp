// tavro-inspect's book verbs, run as a process.
#include "Inspect.h"
#include "core/content/FixturePackages.h"
#include "support/Samples.h"
#include "support/ZipWriter.h"

#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

TEST(InspectBook, PrintsThePackageAsJson)
{
    const ProcessResult r
        = inspect({ QStringLiteral("book"), sampleBookPath(QStringLiteral("臨床薬理学ノート.epub")) });
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QVariantMap out = QJsonDocument::fromJson(r.out).toVariant().toMap();
    EXPECT_EQ(out.value(QStringLiteral("metadata")).toMap().value(QStringLiteral("dc:title")).toString(),
        QStringLiteral("臨床薬理学ノート"));
    EXPECT_EQ(out.value(QStringLiteral("spine")).toList().size(), 3);
    EXPECT_EQ(out.value(QStringLiteral("toc")).toList().size(), 3);
    EXPECT_EQ(out.value(QStringLiteral("coverPath")).toString(), QStringLiteral("images/cover.png"));
    EXPECT_EQ(out.value(QStringLiteral("contentPath")).toString(), QStringLiteral("/OEBPS/"));
}

TEST(InspectBook, PrintsEntryBytesWithTypeAndStatus)
{
    const ProcessResult r = inspect({ QStringLiteral("entry"),
        sampleBookPath(QStringLiteral("anatomy-basics.epub")), QStringLiteral("OEBPS/style.css") });
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.startsWith("body {"));
    EXPECT_TRUE(r.err.contains("status 200"));
    EXPECT_TRUE(r.err.contains("Content-Type: text/css"));
}

TEST(InspectBook, BadInputGivesAMessageAndANonZeroExit)
{
    QTemporaryDir dir;
    const QString junk = dir.filePath(QStringLiteral("junk.epub"));
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a zip");
    f.close();
    struct Case {
        QStringList args;
        int code;
        const char *message;
    };
    const Case cases[] = {
        { { QStringLiteral("book"), dir.filePath(QStringLiteral("missing.epub")) }, 1, "no such file" },
        { { QStringLiteral("book"), junk }, 1, "not a zip archive" },
        { { QStringLiteral("book"), samplePackagePath(QStringLiteral("pkg-anatomy.zip")) }, 1,
            "no readable EPUB package" },
        { { QStringLiteral("entry"), sampleBookPath(QStringLiteral("anatomy-basics.epub")),
              QStringLiteral("nope") },
            1, "no entry nope" },
        { { QStringLiteral("entry"), sampleBookPath(QStringLiteral("anatomy-basics.epub")),
              QStringLiteral("../x") },
            1, "no entry" },
        { { QStringLiteral("book") }, 2, "usage" },
        { { QStringLiteral("frobnicate") }, 2, "unknown verb" },
    };
    for (const Case &c : cases) {
        const ProcessResult r = inspect(c.args);
        EXPECT_EQ(r.exitCode, c.code) << c.args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.message))
            << c.args.join(u' ').toStdString() << " -> " << r.err.toStdString();
    }
}

QStringList topLevelTexts(const QVariantMap &book)
{
    QStringList texts;
    for (const QVariant &e : book.value(QStringLiteral("toc")).toList())
        texts << e.toMap().value(QStringLiteral("text")).toString();
    return texts;
}

// The crafted packages of tests/fixtures/packages as the inspector shows
// them; a package that yields no spine is an error, not an empty book.
TEST(InspectBook, CraftedPackagesReadInFull)
{
    QTemporaryDir dir;
    struct Case {
        const char *fixture;
        int code;
        QString title;
        QStringList toc;
        QString cover;
    };
    const QStringList nav { "3.4.1. The package Element", "Why we read nested spans",
        "Part II without link" };
    const Case cases[] = {
        { "mixed-scripts", 0, "Harrison's 内科学 第5版 Vol. 2",
            { "Chapter 1 心臓 and lungs", QStringLiteral("Vol.\u00a02 付録") }, {} },
        { "nav-inline-markup", 0, "Navigation Fixture", nav, {} },
        { "ncx-empty-nav-fallback", 0, "Navigation Fixture", nav, {} },
        { "opf-prefixed", 0, "Prefixed Package 内科学", { "First", "Second" }, "images/cover.png" },
        { "cover-image-property", 0, "Navigation Fixture", nav, "images/cover.png" },
        { "foreign-namespace", 1, {}, {}, {} },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fixture);
        const QString book = dir.filePath(QLatin1String(c.fixture) + QStringLiteral(".epub"));
        ASSERT_TRUE(writeFixturePackage(QLatin1String(c.fixture), book));
        const ProcessResult r = inspect({ QStringLiteral("book"), book });
        ASSERT_EQ(r.exitCode, c.code) << r.err.toStdString();
        if (c.code != 0) {
            EXPECT_TRUE(r.err.contains("the EPUB package has no spine")) << r.err.toStdString();
            EXPECT_TRUE(r.out.isEmpty());
            continue;
        }
        const QVariantMap out = QJsonDocument::fromJson(r.out).toVariant().toMap();
        EXPECT_EQ(out.value(QStringLiteral("metadata")).toMap().value(QStringLiteral("dc:title")).toString(),
            c.title);
        EXPECT_EQ(topLevelTexts(out), c.toc);
        EXPECT_EQ(out.value(QStringLiteral("coverPath")).toString(), c.cover);
    }
}

TEST(InspectBook, PandocBookWithMixedScripts)
{
    const QString pandoc = QStandardPaths::findExecutable(QStringLiteral("pandoc"));
    if (pandoc.isEmpty())
        GTEST_SKIP() << "pandoc is not installed";
    QTemporaryDir dir;
    QFile md(dir.filePath(QStringLiteral("in.md")));
    ASSERT_TRUE(md.open(QIODevice::WriteOnly));
    md.write("---\ntitle: \"Harrison's 内科学 第5版 Vol. 2\"\nlang: ja\n---\n\n# Chapter 1 心臓 and "
             "lungs\n\nText.\n\n"
             "# A Apple Pie — embedded images\n\nEnd.\n");
    md.close();
    QProcess p;
    p.start(pandoc,
        { QStringLiteral("-f"), QStringLiteral("markdown-smart"), md.fileName(), QStringLiteral("-t"),
            QStringLiteral("epub3"), QStringLiteral("-o"), dir.filePath(QStringLiteral("b.epub")) });
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

    const ProcessResult r = inspect({ QStringLiteral("book"), dir.filePath(QStringLiteral("b.epub")) });
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QVariantMap out = QJsonDocument::fromJson(r.out).toVariant().toMap();
    EXPECT_EQ(out.value(QStringLiteral("metadata")).toMap().value(QStringLiteral("dc:title")).toString(),
        QStringLiteral("Harrison's 内科学 第5版 Vol. 2"));
    EXPECT_EQ(topLevelTexts(out),
        (QStringList {
            "Harrison's 内科学 第5版 Vol. 2", "Chapter 1 心臓 and lungs", "A Apple Pie — embedded images" }));
}

// A stored entry altered after it was written: its bytes are printed as the
// reader would get them, the damage is reported and the exit is non-zero.
TEST(InspectBook, EntryThatNoLongerMatchesItsCrcIsReported)
{
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("damaged.epub"));
    ASSERT_TRUE(writeEpub(book, QStringLiteral("content.opf"),
        { { "content.opf", "<package/>" }, { "c1.xhtml", "<p>original text</p>", true } }));
    QFile f(book);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    const qsizetype at = bytes.indexOf("original");
    ASSERT_GT(at, 0);
    bytes.replace(at, 8, "ALTERED!");
    f.seek(0);
    f.write(bytes);
    f.close();

    const ProcessResult damaged = inspect({ QStringLiteral("entry"), book, QStringLiteral("c1.xhtml") });
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_EQ(damaged.out, QByteArray("<p>ALTERED! text</p>"));
    EXPECT_TRUE(
        damaged.err.contains("tavro-inspect: entry c1.xhtml of " + book.toUtf8() + " does not match its CRC"))
        << damaged.err.toStdString();

    const ProcessResult intact = inspect({ QStringLiteral("entry"), book, QStringLiteral("content.opf") });
    EXPECT_EQ(intact.exitCode, 0) << intact.err.toStdString();
    EXPECT_FALSE(intact.err.contains("CRC"));
}

// A deflated entry damaged in the middle inflates short of its recorded
// size with no error from the archive: the inspector refuses it (exit 1, a
// message, a log line), and an installation of the book leaves the library
// as it was.
TEST(InspectBook, DamagedEntryIsAnErrorAndItsBookIsNotInstalled)
{
    const QString book = QStringLiteral(TAVRO_FUZZ_CORPUS "/epub_zip/regression-damaged-deflate-entry.epub");
    const ProcessResult entry = inspect({ QStringLiteral("entry"), book, QStringLiteral("OEBPS/c1.xhtml") });
    EXPECT_EQ(entry.exitCode, 1);
    EXPECT_TRUE(entry.out.isEmpty()) << "no part of the entry passes for the whole";
    EXPECT_TRUE(entry.err.contains("OEBPS/c1.xhtml of " + book.toUtf8() + " cannot be read whole"))
        << entry.err.toStdString();
    EXPECT_TRUE(entry.err.contains("is damaged: its data ends early")) << "logged";

    const ProcessResult opf = inspect({ QStringLiteral("entry"), book, QStringLiteral("OEBPS/content.opf") });
    EXPECT_EQ(opf.exitCode, 0) << opf.err.toStdString();

    QTemporaryDir home;
    const ProcessResult installed
        = inspect({ QStringLiteral("install"), book, QStringLiteral("--home"), home.path() });
    EXPECT_EQ(installed.exitCode, 1);
    const QVariantMap out = QJsonDocument::fromJson(installed.out).toVariant().toMap();
    EXPECT_TRUE(out.value(QStringLiteral("installed")).toList().isEmpty());
    EXPECT_TRUE(out.value(QStringLiteral("library")).toList().isEmpty()) << installed.out.toStdString();
}

} // namespace
