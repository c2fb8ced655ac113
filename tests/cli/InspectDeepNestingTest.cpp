// tavro-inspect on documents nested far deeper than any real one: a message
// and a non-zero exit, never a crash. Nesting of 60,000 levels used to
// overflow the stack in the parsers and in the JSON output.
#include "Inspect.h"
#include "core/content/XML2DicParser.h"
#include "support/ZipWriter.h"

#include <QDir>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

const QByteArray kOpfHead
    = "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" version=\"2.0\">"
      "<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title>Deep</dc:title>"
      "<dc:identifier>urn:deep</dc:identifier></metadata>"
      "<manifest><item id=\"ncx\" href=\"toc.ncx\" media-type=\"application/x-dtbncx+xml\"/>"
      "<item id=\"c1\" href=\"c1.xhtml\" media-type=\"application/xhtml+xml\"/></manifest>"
      "<spine toc=\"ncx\"><itemref idref=\"c1\"/></spine>";

QByteArray opf(int extraDepth)
{
    QByteArray xml = kOpfHead;
    for (int i = 0; i < extraDepth; ++i)
        xml += "<guide>";
    for (int i = 0; i < extraDepth; ++i)
        xml += "</guide>";
    return xml + "</package>";
}

// An NCX whose navigation points nest `depth` deep, one inside the other.
QByteArray ncx(int depth)
{
    QByteArray xml = "<?xml version=\"1.0\"?><ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\"><navMap>";
    for (int i = 1; i <= depth; ++i)
        xml += "<navPoint id=\"p" + QByteArray::number(i) + "\"><navLabel><text>" + QByteArray::number(i)
            + "</text></navLabel><content src=\"c1.xhtml#s" + QByteArray::number(i) + "\"/>";
    for (int i = 1; i <= depth; ++i)
        xml += "</navPoint>";
    return xml + "</navMap></ncx>";
}

QString writeBook(
    const QTemporaryDir &dir, const QString &name, const QByteArray &opfXml, const QByteArray &ncxXml)
{
    const QString path = dir.filePath(name);
    const bool written = writeEpub(path, QStringLiteral("OEBPS/content.opf"),
        { { "OEBPS/content.opf", opfXml }, { "OEBPS/toc.ncx", ncxXml },
            { "OEBPS/c1.xhtml", "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body>x</body></html>" } });
    return written ? path : QString();
}

TEST(InspectDeepNesting, RegressionDeepPackageDocumentsFailCleanly)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case {
        const char *name;
        QByteArray opf;
        QByteArray ncx;
    };
    const Case cases[] = {
        { "deep-opf.epub", opf(60000), ncx(2) }, { "deep-ncx.epub", opf(0), ncx(60000) },
        { "limit-opf.epub", opf(XML2DicParser::kMaxDepth), ncx(2) }, // one level past: the package is level 1
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString book = writeBook(dir, QString::fromLatin1(c.name), c.opf, c.ncx);
        ASSERT_FALSE(book.isEmpty());

        const ProcessResult shown = inspect({ QStringLiteral("book"), book });
        EXPECT_EQ(shown.exitCode, 1) << shown.err.toStdString();
        EXPECT_TRUE(
            shown.err.contains("the EPUB package cannot be read: elements nested deeper than 256 levels"))
            << shown.err.toStdString();
        EXPECT_TRUE(shown.out.isEmpty()) << "no partial book is printed";

        const QString home = dir.filePath(QStringLiteral("home-") + QString::fromLatin1(c.name));
        const ProcessResult installed
            = inspect({ QStringLiteral("install"), book, QStringLiteral("--home"), home });
        EXPECT_EQ(installed.exitCode, 1) << installed.err.toStdString();
        EXPECT_TRUE(installed.err.contains("a package document cannot be read"))
            << installed.err.toStdString();
    }
}

// A table of contents nested 100 deep (more than any real book) is read in
// full: the limit leaves real documents alone.
TEST(InspectDeepNesting, DeepButRealisticTablesOfContentsAreRead)
{
    QTemporaryDir dir;
    const QString book
        = writeBook(dir, QStringLiteral("nested-toc.epub"), opf(XML2DicParser::kMaxDepth - 2), ncx(100));
    ASSERT_FALSE(book.isEmpty());
    const ProcessResult r = inspect({ QStringLiteral("book"), book });
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QVariantList level
        = QJsonDocument::fromJson(r.out).toVariant().toMap().value(QStringLiteral("toc")).toList();
    int depth = 0;
    while (level.size() == 1) {
        const QVariantMap entry = level.first().toMap();
        ++depth;
        EXPECT_EQ(entry.value(QStringLiteral("id")).toString(), QStringLiteral("p%1").arg(depth));
        level = entry.value(QStringLiteral("child")).toList();
    }
    EXPECT_EQ(depth, 100);
}

TEST(InspectDeepNesting, RegressionDeepXmlRpcAnswerFailsCleanly)
{
    const ProcessResult r = inspect({ QStringLiteral("xmlrpc"),
        QStringLiteral(TAVRO_FIXTURES_DIR "/../../fuzz/corpus/xmlrpc/regression-deep-nesting.xml") });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("XML-RPC value nested deeper than 256 levels")) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());

    const ProcessResult ok = inspect({ QStringLiteral("xmlrpc"),
        QStringLiteral(TAVRO_FIXTURES_DIR "/../../fuzz/corpus/xmlrpc/article-list.xml") });
    ASSERT_EQ(ok.exitCode, 0) << ok.err.toStdString();
    const QVariantMap value
        = QJsonDocument::fromJson(ok.out).toVariant().toMap().value(QStringLiteral("value")).toMap();
    EXPECT_EQ(value.value(QStringLiteral("struct"))
                  .toMap()
                  .value(QStringLiteral("total"))
                  .toMap()
                  .value(QStringLiteral("int"))
                  .toInt(),
        3);
}

} // namespace
