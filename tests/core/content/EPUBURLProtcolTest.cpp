#include "core/content/EPUBURLProtcol.h"
#include "core/content/ZipArchive.h"
#include "support/ZipWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

class EPUBURLProtcolTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_contents.isValid());
        ASSERT_TRUE(writeZip(m_contents.filePath(QStringLiteral("book.epub")),
            { { "mimetype", "application/epub+zip", true },
                { "OEBPS/Text/Chapter 1.xhtml", "<html>chapter one</html>" }, { "OEBPS/style.css", "body{}" },
                { "OEBPS/data.unknownext", "?" }, { "OEBPS/empty.txt", "" },
                { "OEBPS/mysearchhighlight.css", "book's own" }, { longName().toUtf8(), "long" } }));
    }

    static QString longName()
    {
        // Over minizip's 256-byte limit for unzLocateFile.
        return QStringLiteral("OEBPS/") + QString(100, QChar(0x7AE0)) + QStringLiteral(".xhtml");
    }

    EPUBURLProtcol protocol() const
    {
        return EPUBURLProtcol(m_contents.path(), QStringLiteral(TAVRO_RESOURCE_DIR_FOR_TESTS));
    }

    QUrl url(const QString &encodedPath, const QString &file = QStringLiteral("book.epub")) const
    {
        return QUrl(BookUrl::rootUrl(file).toString() + encodedPath);
    }

    static QByteArray header(const EpubResponse &r, const QByteArray &name)
    {
        for (const auto &[k, v] : r.headers)
            if (k == name)
                return v;
        return {};
    }

    QTemporaryDir m_contents;
};

TEST_F(EPUBURLProtcolTest, ServesEntriesWithStatusAndHeaders)
{
    const EpubResponse r = protocol().startLoading(url(QStringLiteral("/OEBPS/Text/Chapter%201.xhtml")));
    ASSERT_FALSE(r.failed());
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(*r.data, QByteArray("<html>chapter one</html>"));
    EXPECT_EQ(header(r, "Content-Length"), QByteArray("24"));
    EXPECT_EQ(header(r, "Content-Type"), QByteArray("application/xhtml+xml"));

    const EpubResponse css = protocol().startLoading(url(QStringLiteral("/OEBPS/style.css")));
    EXPECT_EQ(header(css, "Content-Type"), QByteArray("text/css"));

    const EpubResponse unknown = protocol().startLoading(url(QStringLiteral("/OEBPS/data.unknownext")));
    ASSERT_FALSE(unknown.failed());
    EXPECT_TRUE(header(unknown, "Content-Type").isEmpty()) << "no type for an unknown extension";

    const EpubResponse empty = protocol().startLoading(url(QStringLiteral("/OEBPS/empty.txt")));
    ASSERT_FALSE(empty.failed()) << "an empty entry is data, not a failure";
    EXPECT_EQ(header(empty, "Content-Length"), QByteArray("0"));

    const EpubResponse longEntry
        = protocol().startLoading(QUrl(BookUrl::entryUrl(QStringLiteral("book.epub"), longName())));
    EXPECT_EQ(longEntry.data.value_or(QByteArray()), QByteArray("long"));
}

TEST_F(EPUBURLProtcolTest, MissingThingsFailAfterA200)
{
    struct Case {
        const char *why;
        QUrl url;
    };
    const Case cases[] = {
        { "other letter case", url(QStringLiteral("/oebps/style.css")) },
        { "missing entry", url(QStringLiteral("/OEBPS/none.css")) },
        { "missing archive", url(QStringLiteral("/OEBPS/style.css"), QStringLiteral("none.epub")) },
        { "traversal, encoded", url(QStringLiteral("/..%2F..%2Fbook.epub")) },
        { "absolute after the slash", url(QStringLiteral("//etc/passwd")) },
        { "root of the book", url(QString()) },
        { "not a book host", QUrl(QStringLiteral("epub://book.epub/OEBPS/style.css")) },
    };
    for (const Case &c : cases) {
        const EpubResponse r = protocol().startLoading(c.url);
        EXPECT_TRUE(r.failed()) << c.why;
        EXPECT_EQ(r.status, 200) << c.why;
        EXPECT_EQ(r.errorDomain, QStringLiteral("EPUB")) << c.why;
        EXPECT_EQ(r.errorCode, -1) << c.why;
        EXPECT_EQ(header(r, "Content-Length"), QByteArray("0")) << c.why;
    }
}

TEST_F(EPUBURLProtcolTest, BuiltInResourcesMatchAnywhereInThePath)
{
    QFile css(QStringLiteral(TAVRO_RESOURCE_DIR_FOR_TESTS "/searchhighlight.css"));
    ASSERT_TRUE(css.open(QIODevice::ReadOnly));
    const QByteArray own = css.readAll();
    const EpubResponse r = protocol().startLoading(url(QStringLiteral("/OEBPS/mysearchhighlight.css")));
    EXPECT_EQ(r.data.value_or(QByteArray()), own) << "the application's style sheet wins";

    const EpubResponse pin = protocol().startLoading(url(QStringLiteral("/any/where/ylw-pushpin.png")));
    ASSERT_FALSE(pin.failed());
    EXPECT_TRUE(pin.data->startsWith("\x89PNG"));
    EXPECT_EQ(header(pin, "Content-Type"), QByteArray("image/png"));
    EXPECT_TRUE(protocol().startLoading(url(QStringLiteral("/starburst.gif"))).data->startsWith("GIF89a"));
}

TEST_F(EPUBURLProtcolTest, SampleBooksComeFromTheResources)
{
    const QUrl sample(BookUrl::sampleRootUrl(QStringLiteral("welcome.epub")).toString()
        + QStringLiteral("/META-INF/container.xml"));
    const EpubResponse r = protocol().startLoading(sample);
    ASSERT_FALSE(r.failed());
    EXPECT_TRUE(r.data->contains("rootfile"));
}

TEST_F(EPUBURLProtcolTest, ReplacedArchiveIsReadAfresh)
{
    const QString path = m_contents.filePath(QStringLiteral("swap.epub"));
    ASSERT_TRUE(writeZip(path, { { "a.txt", "first" } }));
    EXPECT_EQ(protocol().dataForUrl(url(QStringLiteral("/a.txt"), QStringLiteral("swap.epub"))),
        QByteArray("first"));
    QFile::remove(path);
    ASSERT_TRUE(writeZip(path, { { "a.txt", "second, longer" } }));
    EXPECT_EQ(protocol().dataForUrl(url(QStringLiteral("/a.txt"), QStringLiteral("swap.epub"))),
        QByteArray("second, longer"));
}

TEST_F(EPUBURLProtcolTest, CorruptInputIsRefused)
{
    // A deflated entry whose compressed bytes are damaged: inflating stops
    // short of the size the zip index records, with no error from minizip
    // and no CRC check. The part before the damage is not served as the
    // whole entry.
    QByteArray text;
    for (int i = 0; i < 4000; ++i)
        text += "line " + QByteArray::number(i) + " of a chapter about the kidney\n";
    const QString path = m_contents.filePath(QStringLiteral("bad.epub"));
    ASSERT_TRUE(writeZip(path, { { "t.txt", text } }));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    for (int i = 2000; i < 2200; ++i)
        bytes[i] = char(0xAA);
    f.seek(0);
    f.write(bytes);
    f.close();
    ZipArchive::clearCache();
    const EpubResponse r = protocol().startLoading(url(QStringLiteral("/t.txt"), QStringLiteral("bad.epub")));
    EXPECT_TRUE(r.failed());
    EXPECT_TRUE(r.incomplete);
    EXPECT_EQ(r.errorDomain, QStringLiteral("EPUB"));
    bool incomplete = false;
    EXPECT_FALSE(EPUBURLProtcol::zipData(path, QStringLiteral("t.txt"), nullptr, &incomplete).has_value());
    EXPECT_TRUE(incomplete);
    // The archive reader still hands over what it inflated, marked.
    bool crc = true;
    const auto part = ZipArchive::open(path)->read(QByteArrayLiteral("t.txt"), &crc, &incomplete);
    ASSERT_TRUE(part.has_value());
    EXPECT_TRUE(incomplete);
    EXPECT_FALSE(crc);
    EXPECT_LT(part->size(), text.size());
    EXPECT_TRUE(text.startsWith(part->left(100)));

    // Not a zip at all.
    QFile junk(m_contents.filePath(QStringLiteral("junk.epub")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(5000, 'j'));
    junk.close();
    EXPECT_TRUE(protocol().startLoading(url(QStringLiteral("/x"), QStringLiteral("junk.epub"))).failed());
}

// Warnings logged while it lives.
class WarningLog
{
public:
    WarningLog()
    {
        s_messages.clear();
        m_previous = qInstallMessageHandler(&WarningLog::handle);
    }
    ~WarningLog() { qInstallMessageHandler(m_previous); }
    const QStringList &messages() const { return s_messages; }

private:
    static void handle(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type == QtWarningMsg)
            s_messages << message;
    }
    static inline QStringList s_messages;
    QtMessageHandler m_previous;
};

TEST_F(EPUBURLProtcolTest, StoredEntryThatNoLongerMatchesItsCrcIsServedAndLoggedOnce)
{
    // A stored entry has no compression that could notice damage; only the
    // CRC tells. Another entry of the same archive stays good.
    const QString path = m_contents.filePath(QStringLiteral("crc.epub"));
    ASSERT_TRUE(writeZip(path,
        { { "OEBPS/c1.xhtml", "<p>Chapter one, as written</p>", true },
            { "OEBPS/c2.xhtml", "<p>Chapter two</p>", true } }));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    const qsizetype at = bytes.indexOf("as written");
    ASSERT_GT(at, 0);
    bytes.replace(at, 10, "AS WRITTEN");
    f.seek(0);
    f.write(bytes);
    f.close();
    ZipArchive::clearCache();

    WarningLog log;
    for (int i = 0; i < 3; ++i) {
        const EpubResponse r
            = protocol().startLoading(url(QStringLiteral("/OEBPS/c1.xhtml"), QStringLiteral("crc.epub")));
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.data, QByteArray("<p>Chapter one, AS WRITTEN</p>")) << "served as stored";
        EXPECT_TRUE(r.crcMismatch) << "read " << i;
    }
    const EpubResponse good
        = protocol().startLoading(url(QStringLiteral("/OEBPS/c2.xhtml"), QStringLiteral("crc.epub")));
    EXPECT_FALSE(good.crcMismatch);
    EXPECT_EQ(good.data, QByteArray("<p>Chapter two</p>"));
    ASSERT_EQ(log.messages().size(), 1) << log.messages().join(u'\n').toStdString();
    EXPECT_TRUE(log.messages().first().contains(QStringLiteral("OEBPS/c1.xhtml")));
    EXPECT_TRUE(log.messages().first().contains(QStringLiteral("CRC")));
}

TEST_F(EPUBURLProtcolTest, DamagedDeflatedEntryIsRefusedAndLoggedOnce)
{
    // Bytes overwritten in the middle of a chapter's compressed data (the
    // fuzz corpus keeps the book); the package entries before it stay good.
    const QString path = m_contents.filePath(QStringLiteral("damaged.epub"));
    ASSERT_TRUE(QFile::copy(
        QStringLiteral(TAVRO_FUZZ_CORPUS "/epub_zip/regression-damaged-deflate-entry.epub"), path));
    ZipArchive::clearCache();
    WarningLog log;
    for (int i = 0; i < 3; ++i) {
        const EpubResponse r
            = protocol().startLoading(url(QStringLiteral("/OEBPS/c1.xhtml"), QStringLiteral("damaged.epub")));
        EXPECT_TRUE(r.failed()) << "read " << i;
        EXPECT_TRUE(r.incomplete) << "read " << i;
        EXPECT_FALSE(r.crcMismatch);
    }
    const EpubResponse opf
        = protocol().startLoading(url(QStringLiteral("/OEBPS/content.opf"), QStringLiteral("damaged.epub")));
    ASSERT_FALSE(opf.failed());
    EXPECT_FALSE(opf.incomplete);
    EXPECT_TRUE(opf.data->contains("Damaged Entry"));
    ASSERT_EQ(log.messages().size(), 1) << log.messages().join(u'\n').toStdString();
    EXPECT_TRUE(log.messages().first().contains(QStringLiteral("OEBPS/c1.xhtml")));
    EXPECT_TRUE(log.messages().first().contains(QStringLiteral("damaged")));
}

} // namespace
