// A PDF book's cover made when it is opened: the first page as a JPEG
// beside the file, only for a document the helper found readable.
#include "core/shelf/PdfCover.h"
#include "support/PdfMaker.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

TEST(PdfCover, IsTheFirstPageBesideTheBook)
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("Cardiology.pdf"));
    ASSERT_TRUE(makePdf(pdf, 3));
    EXPECT_EQ(PdfCover::pathFor(pdf), dir.filePath(QStringLiteral("Cardiology.cover")));

    ASSERT_TRUE(PdfCover::prepare(pdf));
    QFile cover(PdfCover::pathFor(pdf));
    ASSERT_TRUE(cover.open(QIODevice::ReadOnly));
    const QByteArray bytes = cover.readAll();
    EXPECT_TRUE(bytes.startsWith("\xff\xd8")) << "a JPEG";
    const QImage image = QImage::fromData(bytes);
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(image.width(), 100);
    // The page has no background of its own: where there is no ink it is
    // white, not the black of an image nobody filled.
    EXPECT_GT(qGray(image.pixel(5, 5)), 240);
    EXPECT_GT(qGray(image.pixel(image.width() / 2, image.height() - 5)), 240);
    EXPECT_TRUE(PdfCover::isUsable(PdfCover::pathFor(pdf)));
}

// A solid black cover stored by an earlier version is made again, once; a
// cover of any other look is the book's own and stays.
TEST(PdfCover, AStoredBlackCoverIsMadeAgain)
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("black.pdf"));
    ASSERT_TRUE(makePdf(pdf, 1));
    QImage black(300, 400, QImage::Format_RGB32);
    black.fill(Qt::black);
    ASSERT_TRUE(black.save(PdfCover::pathFor(pdf), "JPEG", 50));
    EXPECT_FALSE(PdfCover::isUsable(PdfCover::pathFor(pdf)));

    ASSERT_TRUE(PdfCover::prepare(pdf));
    const QImage remade(PdfCover::pathFor(pdf));
    ASSERT_FALSE(remade.isNull());
    EXPECT_GT(qGray(remade.pixel(5, 5)), 240);
    EXPECT_TRUE(PdfCover::isUsable(PdfCover::pathFor(pdf)));

    QImage dark(300, 400, QImage::Format_RGB32);
    dark.fill(QColor(0x20, 0x30, 0x60));
    ASSERT_TRUE(dark.save(PdfCover::pathFor(pdf), "JPEG", 50));
    QFile kept(PdfCover::pathFor(pdf));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    const QByteArray before = kept.readAll();
    kept.close();
    EXPECT_TRUE(PdfCover::prepare(pdf));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), before) << "a dark blue cover is kept";
}

TEST(PdfCover, AnExistingCoverIsKept)
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("kept.pdf"));
    ASSERT_TRUE(makePdf(pdf, 1));
    ASSERT_TRUE(writeFile(PdfCover::pathFor(pdf), "a cover chosen elsewhere"));
    EXPECT_TRUE(PdfCover::prepare(pdf));
    QFile cover(PdfCover::pathFor(pdf));
    ASSERT_TRUE(cover.open(QIODevice::ReadOnly));
    EXPECT_EQ(cover.readAll(), QByteArray("a cover chosen elsewhere"));
}

// Nothing that is not a readable document gets a cover, and nothing is left
// behind. A page tree that lists itself would keep the PDF library busy in
// this process; the helper finds it damaged first.
TEST(PdfCover, NoCoverForWhatIsNoReadableDocument)
{
    QTemporaryDir dir;
    const struct {
        const char *name;
        QByteArray bytes; // empty: no file at all
    } cases[] = {
        { "missing file", {} },
        { "empty file", QByteArray("", 0) },
        { "a header and nothing else", "%PDF-1.7\n" },
        { "random bytes", QByteArray(4096, '\x5a') },
        { "page tree that lists itself", hostilePdf(HostilePdf::PageTreeCycle) },
    };
    int n = 0;
    for (const auto &c : cases) {
        const QString pdf = dir.filePath(QStringLiteral("bad%1.pdf").arg(++n));
        if (n > 1)
            ASSERT_TRUE(writeFile(pdf, c.bytes)) << c.name;
        EXPECT_FALSE(PdfCover::prepare(pdf)) << c.name;
        EXPECT_FALSE(QFile::exists(PdfCover::pathFor(pdf))) << c.name;
    }
}

} // namespace
