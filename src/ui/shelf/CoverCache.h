// Shelf covers, made on demand and kept: an EPUB's cover image (or a plain
// book with its title written over it), a PDF's ".cover" side file (or its
// first page), each drawn on white at the shelf's cover size. Keyed by the
// file's path, size and modification time (and the screen's pixel ratio),
// so a replaced book gets a new cover and an unchanged one is never read
// twice. Covers are made at the screen's device pixel ratio: 110×140 points
// are 220×280 pixels on a screen at 2, sharp there.
//
// Main thread only (it paints with QPainter on pixmaps).
#pragma once

#include "core/shelf/ShelfModel.h"

#include <QCache>
#include <QPixmap>
#include <QSize>

class CoverCache
{
public:
    static constexpr QSize kCellSize { 140, 152 };
    static constexpr QSize kCoverSize { 110, 140 };

    explicit CoverCache(int maxCovers = 600);

    // The cover for an entry; never null (a drawn book when the file has no
    // usable cover).
    // `dpr`: the device pixel ratio of the view that shows it.
    QPixmap cover(const ShelfEntry &entry, const QString &title, qreal dpr = 1.0);
    // The cover when it is already made at `dpr`, else null.
    QPixmap cached(const ShelfEntry &entry, qreal dpr = 1.0) const;

    // How many covers are kept.
    int capacity() const { return int(m_covers.maxCost()); }

    // The plain book with `title` written over it.
    static QPixmap placeholder(const QString &title, qreal dpr = 1.0);

private:
    static QString keyFor(const ShelfEntry &entry, qreal dpr);
    static QImage load(const ShelfEntry &entry, qreal dpr);

    QCache<QString, QPixmap> m_covers;
};
