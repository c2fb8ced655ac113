#include "CoverCache.h"

#include "core/content/BookUrl.h"
#include "core/content/EPUBManager.h"
#include "core/shelf/PdfCover.h"

#include <QFileInfo>
#include <QPainter>
#include <QPdfDocument>
#include <algorithm>

CoverCache::CoverCache(int maxCovers)
    : m_covers(maxCovers)
{
}

namespace
{
// A ratio that is usable for sizes: at least 1, at most 4.
qreal usableRatio(qreal dpr)
{
    return std::clamp(dpr, 1.0, 4.0);
}
} // namespace

QString CoverCache::keyFor(const ShelfEntry &entry, qreal dpr)
{
    const QFileInfo file(entry.path);
    return QStringLiteral("%1|%2|%3|%4")
        .arg(entry.path)
        .arg(file.size())
        .arg(file.lastModified().toMSecsSinceEpoch())
        .arg(usableRatio(dpr));
}

QImage CoverCache::load(const ShelfEntry &entry, qreal dpr)
{
    if (!entry.isPdf()) {
        EPUBManager epub(BookUrl::rootUrl(entry.fileName));
        return epub.coverImage();
    }
    // A black cover left by an earlier version is passed over: the page
    // itself shows until the next opening makes the cover again.
    const QString side = PdfCover::pathFor(entry.path);
    QImage image(side);
    if (!image.isNull() && PdfCover::isUsable(side))
        return image;
    QPdfDocument pdf;
    if (pdf.load(entry.path) != QPdfDocument::Error::None || pdf.pageCount() < 1)
        return {};
    // Twice the pixels shown, for a smooth scale down.
    return pdf.render(
        0, pdf.pagePointSize(0).scaled(kCoverSize * (2 * usableRatio(dpr)), Qt::KeepAspectRatio).toSize());
}

QPixmap CoverCache::placeholder(const QString &title, qreal dpr)
{
    dpr = usableRatio(dpr);
    QPixmap pixmap(kCoverSize * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(QColor(0x2f, 0x5d, 0x8a));
    QPainter p(&pixmap);
    p.setPen(QColor(0xf4, 0xf1, 0xe8));
    p.drawRect(QRect(QPoint(6, 6), kCoverSize - QSize(13, 13)));
    QFont font = p.font();
    font.setPixelSize(13);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRect(QPoint(12, 14), kCoverSize - QSize(24, 28)), Qt::AlignCenter | Qt::TextWordWrap, title);
    return pixmap;
}

QPixmap CoverCache::cached(const ShelfEntry &entry, qreal dpr) const
{
    const QPixmap *hit = m_covers.object(keyFor(entry, dpr));
    return hit ? *hit : QPixmap();
}

QPixmap CoverCache::cover(const ShelfEntry &entry, const QString &title, qreal dpr)
{
    dpr = usableRatio(dpr);
    const QString key = keyFor(entry, dpr);
    if (const QPixmap *hit = m_covers.object(key))
        return *hit;
    const QImage image = load(entry, dpr);
    QPixmap made;
    if (image.isNull()) {
        made = placeholder(title, dpr);
    } else {
        // Drawn over white of the same size: transparent covers stay legible
        // on the dark shelf.
        const QImage scaled = image.scaled(kCoverSize * dpr, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        made = QPixmap(scaled.size());
        made.fill(Qt::white);
        QPainter p(&made);
        p.drawImage(0, 0, scaled);
        p.end();
        made.setDevicePixelRatio(dpr);
    }
    m_covers.insert(key, new QPixmap(made));
    return made;
}
