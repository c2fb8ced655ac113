// Run with QT_SCALE_FACTOR=2: covers and PDF pages are drawn with the
// screen's pixels, not enlarged from half as many.
#include "core/shelf/ShelfModel.h"
#include "support/Samples.h"
#include "support/Wait.h"
#include "ui/reader/QLBPDFReaderView.h"
#include "ui/shelf/CoverCache.h"

#include <QImage>
#include <QListWidget>
#include <QPainter>
#include <QPdfDocument>
#include <QPixmap>
#include <gtest/gtest.h>

namespace
{

ShelfEntry entryAt(const QString &path, bool pdf)
{
    ShelfEntry e;
    e.path = path;
    e.fileName = QFileInfo(path).fileName();
    e.format = pdf ? BookFormat::Pdf : BookFormat::Epub;
    return e;
}

TEST(HiDpi, CoversHaveTheScreensPixels)
{
    QListWidget shelf;
    shelf.show();
    const qreal dpr = shelf.devicePixelRatioF();
    ASSERT_EQ(dpr, 2.0) << "run with QT_SCALE_FACTOR=2";
    CoverCache covers;
    const struct {
        const char *name;
        ShelfEntry entry;
    } cases[] = {
        { "PDF first page", entryAt(sampleBookPath(QStringLiteral("nursing-notes.pdf")), true) },
        { "no cover: drawn book", entryAt(QStringLiteral("/nonexistent/missing.pdf"), true) },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QPixmap cover = covers.cover(c.entry, QStringLiteral("Title"), dpr);
        EXPECT_EQ(cover.devicePixelRatio(), 2.0);
        const QSizeF shown = cover.deviceIndependentSize();
        EXPECT_TRUE(shown.width() <= CoverCache::kCoverSize.width() + 0.5
            && shown.height() <= CoverCache::kCoverSize.height() + 0.5)
            << shown.width() << "x" << shown.height();
        EXPECT_GE(std::max(shown.width() / CoverCache::kCoverSize.width(),
                      shown.height() / CoverCache::kCoverSize.height()),
            0.99)
            << "fills the cover box one way";
        EXPECT_TRUE(covers.cached(c.entry, dpr).cacheKey() == cover.cacheKey());
        EXPECT_TRUE(covers.cached(c.entry, 1.0).isNull()) << "kept per pixel ratio";
    }
}

// The mean difference of two same-sized images, 0-255.
double difference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_Grayscale8);
    const QImage y = b.convertToFormat(QImage::Format_Grayscale8);
    qint64 sum = 0;
    for (int r = 0; r < x.height(); ++r) {
        const uchar *p = x.constScanLine(r);
        const uchar *q = y.constScanLine(r);
        for (int c = 0; c < x.width(); ++c)
            sum += std::abs(int(p[c]) - int(q[c]));
    }
    return double(sum) / (double(x.width()) * x.height());
}

// A rendered page on the white the view lays under it.
QImage onWhite(const QImage &page)
{
    QImage paper(page.size(), QImage::Format_RGB32);
    paper.fill(Qt::white);
    QPainter p(&paper);
    p.drawImage(0, 0, page);
    return paper;
}

TEST(HiDpi, PdfPagesAreRenderedAtTheScreensPixels)
{
    QLBPDFReaderView view { QString() };
    QPdfDocument document;
    ASSERT_EQ(document.load(sampleBookPath(QStringLiteral("nursing-notes.pdf"))), QPdfDocument::Error::None);
    view.setDocument(&document);
    view.resize(700, 900);
    view.setZoomMode(QPdfView::ZoomMode::Custom);
    view.setZoomFactor(0.5); // the whole page in the view
    view.show();
    ASSERT_EQ(view.devicePixelRatioF(), 2.0) << "run with QT_SCALE_FACTOR=2";
    double toSharp = 0;
    double toEnlarged = 0;
    // Pages render in the background, and the page moves when the scroll
    // bars come and go: wait until the view shows it where it lays it out.
    const bool drawn = waitUntil([&] {
        const QRect page = view.pageRect().toRect();
        if (page.isEmpty())
            return false;
        const QRect pixels(page.topLeft() * 2, page.size() * 2);
        const QImage shot = view.viewport()->grab().toImage().copy(pixels);
        // The page rendered at every screen pixel, and at half of them
        // enlarged.
        toSharp = difference(shot, onWhite(document.render(0, pixels.size())));
        toEnlarged = difference(shot,
            onWhite(document.render(0, page.size()))
                .scaled(pixels.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        return toSharp < toEnlarged / 2;
    });
    EXPECT_TRUE(drawn) << "difference to the sharp page " << toSharp << ", to the enlarged page "
                       << toEnlarged;
}

} // namespace
