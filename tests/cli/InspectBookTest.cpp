// tavro-inspect's book verbs, run as a process.
#include "Inspect.h"
#include "support/Samples.h"

#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(InspectBook, PrintsThePackageAsJson)
{
    const ProcessResult r = inspect({QStringLiteral("book"), sampleBookPath(QStringLiteral("臨床薬理学ノート.epub"))});
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
    const ProcessResult r = inspect({QStringLiteral("entry"), sampleBookPath(QStringLiteral("anatomy-basics.epub")),
                           QStringLiteral("OEBPS/style.css")});
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
    struct Case
    {
        QStringList args;
        int code;
        const char *message;
    };
    const Case cases[] = {
        {{QStringLiteral("book"), dir.filePath(QStringLiteral("missing.epub"))}, 1, "no such file"},
        {{QStringLiteral("book"), junk}, 1, "not a zip archive"},
        {{QStringLiteral("book"), samplePackagePath(QStringLiteral("pkg-anatomy.zip"))}, 1, "no readable EPUB package"},
        {{QStringLiteral("entry"), sampleBookPath(QStringLiteral("anatomy-basics.epub")), QStringLiteral("nope")}, 1,
         "no entry nope"},
        {{QStringLiteral("entry"), sampleBookPath(QStringLiteral("anatomy-basics.epub")), QStringLiteral("../x")}, 1,
         "no entry"},
        {{QStringLiteral("book")}, 2, "usage"},
        {{QStringLiteral("frobnicate")}, 2, "unknown verb"},
    };
    for (const Case &c : cases) {
        const ProcessResult r = inspect(c.args);
        EXPECT_EQ(r.exitCode, c.code) << c.args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << c.args.join(u' ').toStdString() << " -> " << r.err.toStdString();
    }
}

} // namespace
