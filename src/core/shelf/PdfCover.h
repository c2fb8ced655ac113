// The cover of a PDF book: its first page on white as "name.cover" beside the
// file (JPEG, quality 50), which the shelf and the top screen show. Made when
// the book is opened and no usable cover exists yet.
//
// Threads: any (one call blocks for at most PdfProbe's budget and the
// rendering of one page); two calls for the same book race on the file.
#pragma once

#include <QImage>
#include <QString>

namespace PdfCover
{

// The cover's path: ShelfModel::sideFile(pdfPath, ".cover").
QString pathFor(const QString &pdfPath);

// Makes the cover of the PDF at `pdfPath` unless a usable one exists (see
// isUsable: a solid black cover left by an earlier version is made again).
// The document is rendered here only after PdfProbe found it readable in its
// helper (or no helper could be started), so a file that crashes or stalls
// the PDF library never reaches this process. Returns whether a cover exists
// afterwards: false for a missing, damaged or page-less PDF, or a cover that
// could not be written (a black cover being replaced stays then).
bool prepare(const QString &pdfPath);

// Whether the stored cover at `coverPath` may be shown: false only for an
// image that decodes to solid black and was not made on white by prepare()
// (pages were once drawn on an uninitialised image). Anything else, even a
// file that is no image, is the book's own business and kept.
bool isUsable(const QString &coverPath);

// `page` (which may be transparent) drawn over white, opaque; null for a
// null page.
QImage onWhite(const QImage &page);

} // namespace PdfCover
