#include "content/EPUBManager.h"
#include "content/EPUBURLProtcol.h"
#include "support/Samples.h"
#include "support/ZipWriter.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QStringList tocTexts(const QVariantList &toc)
{
    QStringList out;
    for (const QVariant &e : toc)
        out << e.toMap().value(QStringLiteral("text")).toString();
    return out;
}

QStringList spineIds(const EPUBManager &m)
{
    QStringList out;
    for (const QVariant &item : m.spine())
        out << item.toMap().value(QStringLiteral("id")).toString();
    return out;
}

class EPUBManagerTest : public ::testing::Test
{
protected:
    // An EPUB with `opf` at OEBPS/content.opf plus extra files.
    EPUBManager book(const QByteArray &opf, const QList<ZipEntry> &extra = {},
                     const QString &opfPath = QStringLiteral("OEBPS/content.opf"))
    {
        const QString name = QStringLiteral("b%1.epub").arg(++m_count);
        QList<ZipEntry> files{{opfPath.toUtf8(), opf}};
        files.append(extra);
        EXPECT_TRUE(writeEpub(m_dir.filePath(name), opfPath, files));
        return EPUBManager(BookUrl::rootUrl(name), &m_protocol);
    }

    QTemporaryDir m_dir;
    EPUBURLProtcol m_protocol{m_dir.path(), QStringLiteral(TAVRO_RESOURCE_DIR_FOR_TESTS)};
    int m_count = 0;
};

const QByteArray kHead = "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" version=\"2.0\">"
                         "<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">";

TEST_F(EPUBManagerTest, GeneratedEpub2Book)
{
    installSampleBook(QStringLiteral("anatomy-basics.epub"));
    EPUBManager m(BookUrl::rootUrl(QStringLiteral("anatomy-basics.epub")));
    EXPECT_EQ(m.metadata().value(QStringLiteral("dc:title")).toString(), QStringLiteral("Anatomy Basics"));
    EXPECT_EQ(m.metadata().value(QStringLiteral("dc:identifier")).toString(), QStringLiteral("urn:tavro:anatomy-basics"));
    EXPECT_EQ(m.metadata().value(QStringLiteral("dc:creator")).toString(), QStringLiteral("Hanako Sato"));
    EXPECT_EQ(m.metadata().value(QStringLiteral("print")).toString(), QStringLiteral("1"));
    EXPECT_EQ(spineIds(m), (QStringList{"ch1", "ch2", "ch3", "ch4"}));
    EXPECT_EQ(m.manifest().size(), 8);
    EXPECT_EQ(m.contentURL().path(), QStringLiteral("/OEBPS/"));
    EXPECT_EQ(m.coverPath(), QStringLiteral("images/cover.png"));
    EXPECT_EQ(m.coverImage().size(), QSize(300, 400));

    ASSERT_TRUE(m.toc().has_value());
    const QVariantList toc = *m.toc();
    EXPECT_EQ(tocTexts(toc), (QStringList{"Anatomy of the Heart", "Cardiac Cycle", "Blood Pressure",
                                          "Respiratory Physiology"}));
    const QVariantMap first = toc.first().toMap();
    EXPECT_EQ(first.value(QStringLiteral("id")).toString(), QStringLiteral("np1"));
    EXPECT_EQ(first.value(QStringLiteral("content")).toString(), QStringLiteral("text/chapter01.xhtml"));
    EXPECT_EQ(first.value(QStringLiteral("child")).toList().size(), 1);
    EXPECT_FALSE(toc.at(1).toMap().contains(QStringLiteral("child")));

    const auto chapter = m.dataForContent(QStringLiteral("text/chapter02.xhtml"));
    ASSERT_TRUE(chapter.has_value());
    EXPECT_TRUE(chapter->contains("Cardiac Cycle"));
    EXPECT_TRUE(m.dataForContent(QStringLiteral("images/figure%201.png")).has_value()) << "encoded href";
    EXPECT_TRUE(m.dataForContent(QStringLiteral("images/figure 1.png")).has_value()) << "raw href";
}

TEST_F(EPUBManagerTest, JapaneseNamedBookAndEpub3Navigation)
{
    installSampleBook(QStringLiteral("臨床薬理学ノート.epub"));
    EPUBManager ja(BookUrl::rootUrl(QStringLiteral("臨床薬理学ノート.epub")));
    EXPECT_EQ(ja.metadata().value(QStringLiteral("dc:title")).toString(), QStringLiteral("臨床薬理学ノート"));
    EXPECT_EQ(tocTexts(ja.toc().value()).first(), QStringLiteral("薬物動態学の基礎"));

    installSampleBook(QStringLiteral("cardiology-epub3.epub"));
    EPUBManager m(BookUrl::rootUrl(QStringLiteral("cardiology-epub3.epub")));
    EXPECT_EQ(m.contentURL().path(), QStringLiteral("/")) << "an OPF at the top of the archive";
    EXPECT_EQ(spineIds(m), (QStringList{"c1", "c2", "c3"}));
    ASSERT_TRUE(m.toc().has_value()) << "built from the nav document";
    const QVariantList toc = *m.toc();
    EXPECT_EQ(tocTexts(toc), (QStringList{"Anatomy of the Heart", "Cardiac Cycle", "Blood Pressure"}));
    EXPECT_EQ(toc.at(0).toMap().value(QStringLiteral("id")).toString(), QStringLiteral("toc-1"));
    EXPECT_EQ(toc.at(0).toMap().value(QStringLiteral("content")).toString(), QStringLiteral("chapters/c1.xhtml"))
        << "relative to the content folder, not to the nav document";
    const QVariantList child = toc.at(1).toMap().value(QStringLiteral("child")).toList();
    ASSERT_EQ(child.size(), 1);
    EXPECT_EQ(child.first().toMap().value(QStringLiteral("content")).toString(),
              QStringLiteral("chapters/c2.xhtml#summary"));
    EXPECT_TRUE(m.dataForContent(toc.at(2).toMap().value(QStringLiteral("content")).toString()).has_value());
}

TEST_F(EPUBManagerTest, PackageEdgeCases)
{
    // Two creators: no "dc:creator"; entity in the title; single item, itemref and meta.
    EPUBManager a = book(kHead + "<dc:creator>X</dc:creator><dc:creator>Y</dc:creator>"
                                 "<dc:title>A &amp; B</dc:title><meta name=\"cover\" content=\"img\"/></metadata>"
                                 "<manifest><item id=\"img\" href=\"c.png\" media-type=\"image/png\"/></manifest>"
                                 "<spine><itemref idref=\"img\"/></spine></package>");
    EXPECT_FALSE(a.metadata().contains(QStringLiteral("dc:creator")));
    EXPECT_EQ(a.metadata().value(QStringLiteral("dc:title")).toString(), QStringLiteral("A&B"));
    EXPECT_EQ(a.manifest().size(), 1);
    EXPECT_EQ(a.spine().size(), 1);
    EXPECT_EQ(a.coverPath(), QStringLiteral("c.png"));
    EXPECT_TRUE(a.coverImage().isNull()) << "the image file is missing";
    EXPECT_FALSE(a.toc().has_value());

    // An itemref naming no manifest item is skipped; no cover meta, no cover.
    EPUBManager b = book(kHead + "</metadata><manifest><item id=\"x\" href=\"x.xhtml\"/><item id=\"y\" href=\"y.xhtml\"/>"
                                 "</manifest><spine><itemref idref=\"x\"/><itemref idref=\"gone\"/>"
                                 "<itemref idref=\"y\"/></spine></package>");
    EXPECT_EQ(spineIds(b), (QStringList{"x", "y"}));
    EXPECT_TRUE(b.coverImage().isNull());

    // A prefixed root element yields nothing.
    EPUBManager c = book("<opf:package xmlns:opf=\"http://www.idpf.org/2007/opf\"><opf:metadata/>"
                         "<opf:manifest><opf:item id=\"x\" href=\"x\"/></opf:manifest></opf:package>");
    EXPECT_TRUE(c.metadata().isEmpty());
    EXPECT_TRUE(c.manifest().isEmpty());
    EXPECT_TRUE(c.spine().isEmpty());

    // NCX: a single navPoint; nested ones without ids give an empty child list.
    EPUBManager d = book(kHead + "</metadata><manifest><item id=\"ncx\" href=\"toc.ncx\"/></manifest>"
                                 "<spine toc=\"ncx\"/></package>",
                         {{"OEBPS/toc.ncx", "<ncx><navMap><navPoint id=\"p1\"><navLabel><text>One</text></navLabel>"
                                            "<content src=\"one.xhtml#s\"/><navPoint><navLabel><text>no id</text>"
                                            "</navLabel></navPoint></navPoint></navMap></ncx>"}});
    ASSERT_TRUE(d.toc().has_value());
    ASSERT_EQ(d.toc()->size(), 1);
    const QVariantMap entry = d.toc()->first().toMap();
    EXPECT_EQ(entry.value(QStringLiteral("text")).toString(), QStringLiteral("One"));
    EXPECT_EQ(entry.value(QStringLiteral("content")).toString(), QStringLiteral("one.xhtml#s"));
    EXPECT_TRUE(entry.contains(QStringLiteral("child")));
    EXPECT_TRUE(entry.value(QStringLiteral("child")).toList().isEmpty());
}

TEST_F(EPUBManagerTest, UnreadableContainersLeaveTheManagerEmpty)
{
    // Two rootfile elements.
    const QString two = m_dir.filePath(QStringLiteral("two.epub"));
    ASSERT_TRUE(writeZip(two, {{"META-INF/container.xml",
                                "<container><rootfiles><rootfile full-path=\"a.opf\"/><rootfile full-path=\"b.opf\"/>"
                                "</rootfiles></container>"},
                               {"a.opf", kHead + "<dc:title>T</dc:title></metadata></package>"}}));
    EPUBManager m(BookUrl::rootUrl(QStringLiteral("two.epub")), &m_protocol);
    EXPECT_TRUE(m.metadata().isEmpty());
    EXPECT_FALSE(m.contentURL().isValid());
    EXPECT_FALSE(m.urlForContent(QStringLiteral("x")).isValid());

    EPUBManager missing(BookUrl::rootUrl(QStringLiteral("missing.epub")), &m_protocol);
    EXPECT_EQ(missing.rootURL(), BookUrl::rootUrl(QStringLiteral("missing.epub")));
    EXPECT_TRUE(missing.manifest().isEmpty());
    EXPECT_TRUE(missing.spine().isEmpty());
    EXPECT_FALSE(missing.toc().has_value());
}

// Books made by pandoc, a producer we did not write.
TEST_F(EPUBManagerTest, PandocBooks)
{
    const QString pandoc = QStandardPaths::findExecutable(QStringLiteral("pandoc"));
    if (pandoc.isEmpty())
        GTEST_SKIP() << "pandoc is not installed";
    const QString md = m_dir.filePath(QStringLiteral("in.md"));
    QFile f(md);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("---\ntitle: Renal Physiology\nauthor: Aiko Mori\nidentifier: urn:pandoc:renal\nlang: en\n"
            "date: 2020-2-3\n---\n\n# Filtration\n\nThe glomerulus filters.\n\n## Starling forces\n\nPressure.\n\n"
            "# Reabsorption\n\nThe tubule takes back water.\n");
    f.close();
    for (const char *format : {"epub2", "epub3"}) {
        const QString name = QStringLiteral("pandoc-%1.epub").arg(QLatin1String(format));
        QProcess p;
        p.start(pandoc, {md, QStringLiteral("-t"), QLatin1String(format), QStringLiteral("-o"), m_dir.filePath(name)});
        ASSERT_TRUE(p.waitForFinished(60000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

        EPUBManager m(BookUrl::rootUrl(name), &m_protocol);
        EXPECT_EQ(m.metadata().value(QStringLiteral("dc:title")).toString(), QStringLiteral("Renal Physiology")) << format;
        EXPECT_EQ(m.metadata().value(QStringLiteral("dc:creator")).toString(), QStringLiteral("Aiko Mori")) << format;
        EXPECT_EQ(m.metadata().value(QStringLiteral("dc:language")).toString(), QStringLiteral("en")) << format;
        EXPECT_GE(m.spine().size(), 2) << format;
        ASSERT_TRUE(m.toc().has_value()) << format;
        const QStringList texts = tocTexts(*m.toc());
        EXPECT_TRUE(texts.contains(QStringLiteral("Filtration"))) << format << texts.join(u'|').toStdString();
        EXPECT_TRUE(texts.contains(QStringLiteral("Reabsorption"))) << format;
        for (const QVariant &item : m.spine())
            EXPECT_TRUE(m.dataForContent(item.toMap().value(QStringLiteral("href")).toString()).has_value()) << format;
    }
}

} // namespace
