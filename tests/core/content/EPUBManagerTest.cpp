#include "core/content/EPUBManager.h"
#include "FixturePackages.h"
#include "core/content/EPUBURLProtcol.h"
#include "core/content/ZipArchive.h"
#include "support/Samples.h"
#include "support/ZipWriter.h"

#include <QImage>
#include <QRegularExpression>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

QStringList tocTexts(const QVariantList &toc)
{
    QStringList out;
    for (const QVariant &e : toc)
        out << e.toMap().value(QStringLiteral("text")).toString();
    return out;
}

// The table of contents as lines "text -> content", children indented.
QStringList outline(const QVariantList &toc, const QString &indent = {})
{
    QStringList out;
    for (const QVariant &e : toc) {
        const QVariantMap entry = e.toMap();
        out << indent + entry.value(QStringLiteral("text")).toString() + QStringLiteral(" -> ")
                + entry.value(QStringLiteral("content")).toString();
        out += outline(entry.value(QStringLiteral("child")).toList(), indent + QStringLiteral("  "));
    }
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
        QList<ZipEntry> files { { opfPath.toUtf8(), opf } };
        files.append(extra);
        EXPECT_TRUE(writeEpub(m_dir.filePath(name), opfPath, files));
        return EPUBManager(BookUrl::rootUrl(name), &m_protocol);
    }

    QTemporaryDir m_dir;
    EPUBURLProtcol m_protocol { m_dir.path(), QStringLiteral(TAVRO_RESOURCE_DIR_FOR_TESTS) };
    int m_count = 0;
};

const QByteArray kHead
    = "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" version=\"2.0\">"
      "<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">";

TEST_F(EPUBManagerTest, GeneratedEpub2Book)
{
    installSampleBook(QStringLiteral("anatomy-basics.epub"));
    EPUBManager m(BookUrl::rootUrl(QStringLiteral("anatomy-basics.epub")));
    EXPECT_EQ(m.metadata().value(QStringLiteral("dc:title")).toString(), QStringLiteral("Anatomy Basics"));
    EXPECT_EQ(m.metadata().value(QStringLiteral("dc:identifier")).toString(),
        QStringLiteral("urn:tavro:anatomy-basics"));
    EXPECT_EQ(m.metadata().value(QStringLiteral("dc:creator")).toString(), QStringLiteral("Hanako Sato"));
    EXPECT_EQ(m.metadata().value(QStringLiteral("print")).toString(), QStringLiteral("1"));
    EXPECT_EQ(spineIds(m), (QStringList { "ch1", "ch2", "ch3", "ch4" }));
    EXPECT_EQ(m.manifest().size(), 8);
    EXPECT_EQ(m.contentURL().path(), QStringLiteral("/OEBPS/"));
    EXPECT_EQ(m.coverPath(), QStringLiteral("images/cover.png"));
    EXPECT_EQ(m.coverImage().size(), QSize(300, 400));

    ASSERT_TRUE(m.toc().has_value());
    const QVariantList toc = *m.toc();
    EXPECT_EQ(tocTexts(toc),
        (QStringList {
            "Anatomy of the Heart", "Cardiac Cycle", "Blood Pressure", "Respiratory Physiology" }));
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
    EXPECT_EQ(spineIds(m), (QStringList { "c1", "c2", "c3" }));
    ASSERT_TRUE(m.toc().has_value()) << "built from the nav document";
    const QVariantList toc = *m.toc();
    EXPECT_EQ(tocTexts(toc), (QStringList { "Anatomy of the Heart", "Cardiac Cycle", "Blood Pressure" }));
    EXPECT_EQ(toc.at(0).toMap().value(QStringLiteral("id")).toString(), QStringLiteral("toc-1"));
    EXPECT_EQ(
        toc.at(0).toMap().value(QStringLiteral("content")).toString(), QStringLiteral("chapters/c1.xhtml"))
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
    EPUBManager a = book(kHead
        + "<dc:creator>X</dc:creator><dc:creator>Y</dc:creator>"
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
    EPUBManager b = book(kHead
        + "</metadata><manifest><item id=\"x\" href=\"x.xhtml\"/><item id=\"y\" href=\"y.xhtml\"/>"
          "</manifest><spine><itemref idref=\"x\"/><itemref idref=\"gone\"/>"
          "<itemref idref=\"y\"/></spine></package>");
    EXPECT_EQ(spineIds(b), (QStringList { "x", "y" }));
    EXPECT_TRUE(b.coverImage().isNull());

    // Prefixed package elements read as unprefixed ones; Dublin Core is
    // known by its namespace, under whatever prefix, and two creators under
    // two prefixes are still two creators.
    EPUBManager c
        = book("<opf:package xmlns:opf=\"http://www.idpf.org/2007/opf\">"
               "<opf:metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
               "<dc:title>T 内科学</dc:title><dc:creator>X</dc:creator>"
               "<d:creator xmlns:d=\"http://purl.org/dc/elements/1.1/\">Y</d:creator>"
               "<d:publisher xmlns:d=\"http://purl.org/dc/elements/1.1/\">P</d:publisher></opf:metadata>"
               "<opf:manifest><opf:item id=\"x\" href=\"x\"/></opf:manifest>"
               "<opf:spine><opf:itemref idref=\"x\"/></opf:spine></opf:package>");
    EXPECT_EQ(c.metadata(), (QVariantMap { { "dc:title", "T 内科学" }, { "dc:publisher", "P" } }));
    EXPECT_EQ(c.manifest().size(), 1);
    EXPECT_EQ(spineIds(c), QStringList { "x" });

    // Unprefixed names are read whatever their namespace, an undeclared "dc"
    // prefix too, as before; a prefix bound to another namespace is not the
    // package's.
    EPUBManager lenient
        = book("<package xmlns=\"urn:typo\"><metadata><dc:title>Old</dc:title></metadata>"
               "<manifest><item id=\"x\" href=\"x\"/><o:item xmlns:o=\"urn:other\" id=\"y\" href=\"y\"/>"
               "</manifest><spine><itemref idref=\"x\"/><itemref idref=\"y\"/></spine></package>");
    EXPECT_EQ(lenient.metadata().value(QStringLiteral("dc:title")).toString(), QStringLiteral("Old"));
    EXPECT_EQ(spineIds(lenient), QStringList { "x" });

    // NCX: a single navPoint; nested ones without ids give an empty child list.
    EPUBManager d = book(kHead
            + "</metadata><manifest><item id=\"ncx\" href=\"toc.ncx\"/></manifest>"
              "<spine toc=\"ncx\"/></package>",
        { { "OEBPS/toc.ncx",
            "<ncx><navMap><navPoint id=\"p1\"><navLabel><text>One</text></navLabel>"
            "<content src=\"one.xhtml#s\"/><navPoint><navLabel><text>no id</text>"
            "</navLabel></navPoint></navPoint></navMap></ncx>" } });
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
    // Rootfile elements that name no file.
    const QString none = m_dir.filePath(QStringLiteral("none.epub"));
    ASSERT_TRUE(writeZip(none,
        { { "META-INF/container.xml",
              "<container><rootfiles><rootfile media-type=\"application/oebps-package+xml\"/>"
              "<rootfile full-path=\"\" media-type=\"application/oebps-package+xml\"/>"
              "</rootfiles></container>" },
            { "a.opf", kHead + "<dc:title>T</dc:title></metadata></package>" } }));
    EPUBManager m(BookUrl::rootUrl(QStringLiteral("none.epub")), &m_protocol);
    EXPECT_TRUE(m.metadata().isEmpty());
    EXPECT_FALSE(m.contentURL().isValid());
    EXPECT_FALSE(m.urlForContent(QStringLiteral("x")).isValid());

    // Two rootfiles without their types: the first that names a file, as a
    // lone one without its type is read.
    const QString two = m_dir.filePath(QStringLiteral("two.epub"));
    ASSERT_TRUE(writeZip(two,
        { { "META-INF/container.xml",
              "<container><rootfiles><rootfile full-path=\"a.opf\"/><rootfile full-path=\"b.opf\"/>"
              "</rootfiles></container>" },
            { "a.opf", kHead + "<dc:title>T</dc:title></metadata></package>" } }));
    EPUBManager first(BookUrl::rootUrl(QStringLiteral("two.epub")), &m_protocol);
    EXPECT_EQ(first.metadata().value(QStringLiteral("dc:title")).toString(), QStringLiteral("T"));

    EPUBManager missing(BookUrl::rootUrl(QStringLiteral("missing.epub")), &m_protocol);
    EXPECT_EQ(missing.rootURL(), BookUrl::rootUrl(QStringLiteral("missing.epub")));
    EXPECT_TRUE(missing.manifest().isEmpty());
    EXPECT_TRUE(missing.spine().isEmpty());
    EXPECT_FALSE(missing.toc().has_value());
}

// A manifest and spine of 100,000 items (a large atlas split page by page)
// are read in full and in order. Reading them once copied the growing list
// for every item, which took minutes here (the test's time limit catches
// that; bench_epub_manifest measures it).
TEST_F(EPUBManagerTest, VeryLargeManifestIsReadInFull)
{
    constexpr int kItems = 100000;
    QByteArray opf = kHead + "</metadata><manifest>";
    QByteArray spine = "<spine>";
    for (int i = 0; i < kItems; ++i) {
        const QByteArray n = QByteArray::number(i);
        opf += "<item id=\"i" + n + "\" href=\"p" + n + ".xhtml\"/>";
        spine += "<itemref idref=\"i" + QByteArray::number(kItems - 1 - i) + "\"/>";
    }
    const EPUBManager m = book(opf + "</manifest>" + spine + "</spine></package>");
    EXPECT_EQ(m.manifest().size(), kItems);
    ASSERT_EQ(m.spine().size(), kItems);
    EXPECT_EQ(
        m.spine().first().toMap().value(QStringLiteral("href")).toString(), QStringLiteral("p99999.xhtml"));
    EXPECT_EQ(m.spine().last().toMap().value(QStringLiteral("href")).toString(), QStringLiteral("p0.xhtml"));
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
            "date: 2020-2-3\n---\n\n# Filtration\n\nThe glomerulus filters.\n\n## Starling "
            "forces\n\nPressure.\n\n"
            "# Reabsorption\n\nThe tubule takes back water.\n");
    f.close();
    for (const char *format : { "epub2", "epub3" }) {
        const QString name = QStringLiteral("pandoc-%1.epub").arg(QLatin1String(format));
        QProcess p;
        p.start(pandoc,
            { md, QStringLiteral("-t"), QLatin1String(format), QStringLiteral("-o"), m_dir.filePath(name) });
        ASSERT_TRUE(p.waitForFinished(60000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

        EPUBManager m(BookUrl::rootUrl(name), &m_protocol);
        EXPECT_EQ(
            m.metadata().value(QStringLiteral("dc:title")).toString(), QStringLiteral("Renal Physiology"))
            << format;
        EXPECT_EQ(m.metadata().value(QStringLiteral("dc:creator")).toString(), QStringLiteral("Aiko Mori"))
            << format;
        EXPECT_EQ(m.metadata().value(QStringLiteral("dc:language")).toString(), QStringLiteral("en"))
            << format;
        EXPECT_GE(m.spine().size(), 2) << format;
        ASSERT_TRUE(m.toc().has_value()) << format;
        const QStringList texts = tocTexts(*m.toc());
        EXPECT_TRUE(texts.contains(QStringLiteral("Filtration"))) << format << texts.join(u'|').toStdString();
        EXPECT_TRUE(texts.contains(QStringLiteral("Reabsorption"))) << format;
        for (const QVariant &item : m.spine())
            EXPECT_TRUE(m.dataForContent(item.toMap().value(QStringLiteral("href")).toString()).has_value())
                << format;
    }
}

// The table of contents of tests/fixtures/packages/*/OEBPS/nav.xhtml.
const QStringList kNavOutline {
    "3.4.1. The package Element -> c1.xhtml#package",
    "Why we read nested spans -> c1.xhtml#why",
    "  Bold and italic -> c1.xhtml#deep",
    "Part II without link -> ",
    "  心臓 and lungs -> c1.xhtml#x",
};

// One crafted package per way real books have been misread.
TEST_F(EPUBManagerTest, CraftedPackages)
{
    struct Case {
        const char *fixture;
        QVariantMap metadata; // expected keys (others may be present)
        QStringList outline; // empty: no table of contents
        QString coverPath; // empty: none
        QSize coverSize; // QSize(0, 0): no image
        int spine;
    };
    const Case cases[] = {
        { "mixed-scripts",
            { { "dc:title", "Harrison's 内科学 第5版 Vol. 2" }, { "dc:publisher", "Heart&Lungs 出版" } },
            { "Chapter 1 心臓 and lungs -> c1.xhtml", "  A Apple Pie — embedded images -> c1.xhtml#pie",
                QStringLiteral("Vol.\u00a02 付録 -> c1.xhtml#app") },
            {}, { 0, 0 }, 1 },
        { "nav-inline-markup", { { "dc:title", "Navigation Fixture" } }, kNavOutline, {}, { 0, 0 }, 1 },
        { "ncx-empty-nav-fallback", { { "dc:title", "Navigation Fixture" } }, kNavOutline, {}, { 0, 0 }, 1 },
        { "ncx-missing-nav-fallback", { { "dc:title", "Navigation Fixture" } }, kNavOutline, {}, { 0, 0 },
            1 },
        { "ncx-prefixed", {}, { "From the NCX -> c1.xhtml", "  Nested 心臓 -> c1.xhtml#n" }, {}, { 0, 0 },
            1 },
        { "opf-prefixed",
            { { "dc:title", "Prefixed Package 内科学" }, { "dc:creator", "Aiko Mori" },
                { "dc:publisher", "Another Prefix Press" }, { "dc:identifier", "urn:fixture:opf-prefixed" },
                { "print", "1" } },
            { "First -> c1.xhtml", "Second -> c2.xhtml" }, "images/cover.png", { 30, 40 }, 2 },
        { "cover-image-property", {}, kNavOutline, "images/cover.png", { 24, 36 }, 1 },
        { "cover-meta-and-property", {}, kNavOutline, "images/meta.png", { 12, 16 }, 1 },
        { "foreign-namespace", {}, {}, {}, { 0, 0 }, 0 },
        // Accessibility editions list several renditions: the first package
        // document is the default one, whatever comes before it.
        { "several-rootfiles", { { "dc:title", "Default Rendition 内科学" } }, {}, {}, { 0, 0 }, 1 },
        // A cover meta naming an item that is gone leaves the manifest's mark.
        { "cover-meta-names-nothing", {}, kNavOutline, "images/property.png", { 10, 10 }, 1 },
        // Pictures label a link by their alternative text or title; ruby
        // readings are not part of a label.
        { "nav-pictures-and-ruby", { { "dc:title", "Pictures and Readings" } },
            { "第1部 循環器 -> c1.xhtml#logo", "Part 2 Lungs -> c1.xhtml#title", "Text wins -> c1.xhtml#both",
                "心臓の働き -> c1.xhtml#ruby", "肺 without link -> ", "  血液 -> c1.xhtml#rb" },
            {}, { 0, 0 }, 1 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fixture);
        const QString name = QStringLiteral("%1.epub").arg(QLatin1String(c.fixture));
        ASSERT_TRUE(writeFixturePackage(QLatin1String(c.fixture), m_dir.filePath(name)));
        EPUBManager m(BookUrl::rootUrl(name), &m_protocol);
        for (auto it = c.metadata.cbegin(); it != c.metadata.cend(); ++it)
            EXPECT_EQ(m.metadata().value(it.key()).toString(), it.value().toString())
                << it.key().toStdString();
        if (c.outline.isEmpty()) {
            EXPECT_TRUE(!m.toc() || m.toc()->isEmpty());
        } else {
            ASSERT_TRUE(m.toc().has_value());
            EXPECT_EQ(outline(*m.toc()), c.outline);
        }
        EXPECT_EQ(m.coverPath().value_or(QString()), c.coverPath);
        EXPECT_EQ(m.coverImage().size(), c.coverSize);
        EXPECT_EQ(m.spine().size(), c.spine);
    }

    // Entry ids of the navigation document: the item's own, else numbered in
    // document order.
    EPUBManager nav(BookUrl::rootUrl(QStringLiteral("nav-inline-markup.epub")), &m_protocol);
    QStringList ids;
    std::function<void(const QVariantList &)> collect = [&](const QVariantList &toc) {
        for (const QVariant &e : toc) {
            ids << e.toMap().value(QStringLiteral("id")).toString();
            collect(e.toMap().value(QStringLiteral("child")).toList());
        }
    };
    collect(nav.toc().value_or(QVariantList()));
    EXPECT_EQ(ids, (QStringList { "s341", "nav-2", "nav-3", "nav-4", "nav-5" }));
}

// Copies the book at `from` to `to`, passing each entry's bytes through `edit`.
bool rewriteBook(const QString &from, const QString &to,
    const std::function<QByteArray(const QByteArray &name, const QByteArray &data)> &edit)
{
    const auto archive = ZipArchive::open(from);
    if (!archive)
        return false;
    QList<ZipEntry> entries;
    for (const QByteArray &name : archive->entryNames())
        entries.append({ name, edit(name, archive->read(name).value_or(QByteArray())), name == "mimetype" });
    return writeZip(to, entries);
}

// Books made by pandoc with a title and headings that mix scripts and carry
// inline code, in the forms real books come in.
TEST_F(EPUBManagerTest, PandocBooksWithMixedScriptsReadInFull)
{
    const QString pandoc = QStandardPaths::findExecutable(QStringLiteral("pandoc"));
    if (pandoc.isEmpty())
        GTEST_SKIP() << "pandoc is not installed";
    QFile md(m_dir.filePath(QStringLiteral("mixed.md")));
    ASSERT_TRUE(md.open(QIODevice::WriteOnly));
    md.write("---\ntitle: \"Harrison's 内科学 第5版 Vol. 2\"\nauthor: 山田 Taro\nlang: ja\n---\n\n"
             "# Chapter 1 心臓 and lungs\n\nText.\n\n## 3.4.1. The `package` Element\n\nMore.\n\n"
             "# A Apple Pie — embedded images\n\nEnd.\n");
    md.close();
    QImage cover(20, 30, QImage::Format_RGB32);
    cover.fill(Qt::darkCyan);
    ASSERT_TRUE(cover.save(m_dir.filePath(QStringLiteral("cover.png"))));
    auto make = [&](const char *format, const QString &name) {
        QProcess p;
        p.start(pandoc,
            { QStringLiteral("-f"), QStringLiteral("markdown-smart"), md.fileName(), QStringLiteral("-t"),
                QLatin1String(format), QStringLiteral("--epub-cover-image=") + m_dir.filePath("cover.png"),
                QStringLiteral("-o"), m_dir.filePath(name) });
        return p.waitForFinished(60000) && p.exitCode() == 0;
    };
    ASSERT_TRUE(make("epub2", QStringLiteral("p2.epub")));
    ASSERT_TRUE(make("epub3", QStringLiteral("p3.epub")));

    // Variants of the EPUB 3 book: an NCX without entries, a cover marked only
    // in the manifest, every package element prefixed.
    auto variant = [&](const QString &name, const QByteArray &entry, auto edit) {
        return rewriteBook(m_dir.filePath(QStringLiteral("p3.epub")), m_dir.filePath(name),
            [&](const QByteArray &n, const QByteArray &data) { return n == entry ? edit(data) : data; });
    };
    ASSERT_TRUE(variant(QStringLiteral("p3-empty-ncx.epub"), "EPUB/toc.ncx", [](QByteArray ncx) {
        const qsizetype from = ncx.indexOf("<navMap>"), to = ncx.indexOf("</navMap>");
        return ncx.remove(from + 8, to - from - 8);
    }));
    ASSERT_TRUE(variant(QStringLiteral("p3-cover-property.epub"), "EPUB/content.opf", [](QByteArray opf) {
        return QString::fromUtf8(opf)
            .remove(QRegularExpression(QStringLiteral("<meta name=\"cover\"[^>]*>")))
            .toUtf8();
    }));
    ASSERT_TRUE(variant(QStringLiteral("p3-prefixed.epub"), "EPUB/content.opf", [](QByteArray opf) {
        QString text = QString::fromUtf8(opf);
        text.replace(
            QRegularExpression(QStringLiteral("<(/?)(package|metadata|manifest|item|spine|itemref|guide|"
                                              "reference|meta)\\b")),
            QStringLiteral("<\\1opf:\\2"));
        text.replace(QStringLiteral("xmlns=\"http://www.idpf.org/2007/opf\""),
            QStringLiteral("xmlns:opf=\"http://www.idpf.org/2007/opf\""));
        return text.toUtf8();
    }));

    const QStringList chapters { "Chapter 1 心臓 and lungs", "  3.4.1. The package Element",
        "A Apple Pie — embedded images" };
    struct Case {
        const char *book;
        QStringList toc; // texts, children indented
    };
    const Case cases[] = {
        { "p2.epub",
            QStringList { "Harrison's 内科学 第5版 Vol. 2" } + chapters }, // the NCX lists the title page
        { "p3.epub", QStringList { "Harrison's 内科学 第5版 Vol. 2" } + chapters },
        { "p3-empty-ncx.epub", chapters }, // from the navigation document
        { "p3-cover-property.epub", QStringList { "Harrison's 内科学 第5版 Vol. 2" } + chapters },
        { "p3-prefixed.epub", QStringList { "Harrison's 内科学 第5版 Vol. 2" } + chapters },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.book);
        EPUBManager m(BookUrl::rootUrl(QLatin1String(c.book)), &m_protocol);
        EXPECT_EQ(m.metadata().value(QStringLiteral("dc:title")).toString(),
            QStringLiteral("Harrison's 内科学 第5版 Vol. 2"));
        EXPECT_EQ(m.metadata().value(QStringLiteral("dc:creator")).toString(), QStringLiteral("山田 Taro"));
        EXPECT_EQ(m.spine().size(), 4) << "cover, title page, two chapters";
        ASSERT_TRUE(m.toc().has_value());
        QStringList texts = outline(*m.toc());
        for (QString &line : texts)
            line = line.section(QStringLiteral(" -> "), 0, 0);
        EXPECT_EQ(texts, c.toc);
        EXPECT_EQ(m.coverImage().size(), QSize(20, 30));
    }
}

} // namespace
