// Which format a book file is: its first bytes where the file is there,
// its name otherwise.
#include "core/content/BookFormat.h"
#include "support/Samples.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace
{

const char *name(BookFormat format)
{
    return format == BookFormat::Pdf ? "PDF" : "EPUB";
}

class BookFormatTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    // `sample` of the generated books copied under `asName`.
    QString copy(const QString &sample, const QString &asName)
    {
        const QString path = m_dir.filePath(asName);
        EXPECT_TRUE(QFile::copy(sampleBookPath(sample), path)) << sample.toStdString();
        return path;
    }
    QString write(const QString &asName, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(asName);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QTemporaryDir m_dir;
};

TEST_F(BookFormatTest, ContentDecidesWhereTheFileIsElseTheName)
{
    const QString pdf = QStringLiteral("nursing-notes.pdf");
    const QString epub = QStringLiteral("anatomy-basics.epub");
    // A PDF header further in (after a line of junk, as some writers put
    // it) still makes a PDF; a file that is neither goes by its name.
    const QByteArray lateHeader = QByteArray(200, 'x') + "\n%PDF-1.4\n%%EOF\n";
    const QByteArray neither("plain text, no book");
    const struct {
        QString path;
        BookFormat expected;
    } cases[] = {
        { copy(pdf, QStringLiteral("a.pdf")), BookFormat::Pdf },
        { copy(epub, QStringLiteral("b.epub")), BookFormat::Epub },
        { copy(pdf, QStringLiteral("pdf-named.epub")), BookFormat::Pdf },
        { copy(epub, QStringLiteral("epub-named.pdf")), BookFormat::Epub },
        { copy(pdf, QStringLiteral("UPPER.PDF")), BookFormat::Pdf },
        { copy(pdf, QStringLiteral("no-extension")), BookFormat::Pdf },
        { write(QStringLiteral("late.epub"), lateHeader), BookFormat::Pdf },
        { write(QStringLiteral("text.pdf"), neither), BookFormat::Pdf },
        { write(QStringLiteral("text.epub"), neither), BookFormat::Epub },
        { write(QStringLiteral("empty.PdF"), {}), BookFormat::Pdf },
        // Missing files: the name alone, in any case.
        { m_dir.filePath(QStringLiteral("gone.pdf")), BookFormat::Pdf },
        { m_dir.filePath(QStringLiteral("gone.PDF")), BookFormat::Pdf },
        { m_dir.filePath(QStringLiteral("gone.epub")), BookFormat::Epub },
        { m_dir.filePath(QStringLiteral("gone.EPUB")), BookFormat::Epub },
        { m_dir.filePath(QStringLiteral("gone.pdf.epub")), BookFormat::Epub },
        { m_dir.filePath(QStringLiteral("gone")), BookFormat::Epub },
        { QString(), BookFormat::Epub },
        // A folder named like a PDF goes by its name too.
        { m_dir.path() + QStringLiteral("/dir.pdf"), BookFormat::Pdf },
        // file:// URLs are read like their paths.
        { QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("pdf-named.epub"))).toString(), BookFormat::Pdf },
        { QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("epub-named.pdf"))).toString(),
            BookFormat::Epub },
        { QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("gone.PDF"))).toString(), BookFormat::Pdf },
        { QStringLiteral("epub://abc.book/OEBPS/ch1.xhtml"), BookFormat::Epub },
    };
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("dir.pdf")));
    for (const auto &c : cases)
        EXPECT_STREQ(name(formatOf(c.path)), name(c.expected)) << c.path.toStdString();

    // The URL form gives the same answers.
    EXPECT_EQ(
        formatOf(QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("pdf-named.epub")))), BookFormat::Pdf);
    EXPECT_EQ(formatOf(QUrl(QStringLiteral("https://example.com/x.pdf"))), BookFormat::Pdf);
    EXPECT_EQ(formatOf(QUrl(QStringLiteral("epub://abc.book/x.pdf"))), BookFormat::Epub);
}

TEST(BookFormat, NameAloneKnowsOnlyBookExtensions)
{
    const struct {
        const char *name;
        std::optional<BookFormat> expected;
    } cases[] = {
        { "a.pdf", BookFormat::Pdf },
        { "A.PDF", BookFormat::Pdf },
        { "a.Epub", BookFormat::Epub },
        { "a.pdf.epub", BookFormat::Epub },
        { "a.epub.pdf", BookFormat::Pdf },
        { "pdf", std::nullopt },
        { "a.txt", std::nullopt },
        { "a.pdfx", std::nullopt },
        { "", std::nullopt },
    };
    for (const auto &c : cases)
        EXPECT_EQ(formatOfName(QString::fromUtf8(c.name)), c.expected) << c.name;
}

} // namespace
