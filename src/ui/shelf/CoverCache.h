// Shelf covers, made on demand and kept: an EPUB's cover image (or a plain
// book with its title written over it), a PDF's ".cover" side file (or its
// first page), each drawn on white at the shelf's cover size. Keyed by the
// file's path, size and modification time, so a replaced book gets a new
// cover and an unchanged one is never read twice.
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
    QPixmap cover(const ShelfEntry &entry, const QString &title);
    // The cover when it is already made, else null.
    QPixmap cached(const ShelfEntry &entry) const;

    // How many covers are kept.
    int capacity() const { return int(m_covers.maxCost()); }

    // The plain book with `title` written over it.
    static QPixmap placeholder(const QString &title);

private:
    static QString keyFor(const ShelfEntry &entry);
    static QImage load(const ShelfEntry &entry);

    QCache<QString, QPixmap> m_covers;
};
