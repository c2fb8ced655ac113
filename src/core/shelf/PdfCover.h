// The cover of a PDF book: its first page as "name.cover" beside the file
// (JPEG, quality 50), which the shelf and the top screen show. Made when the
// book is opened and no cover exists yet.
//
// Threads: any (one call blocks for at most PdfProbe's budget and the
// rendering of one page); two calls for the same book race on the file.
#pragma once

#include <QString>

namespace PdfCover
{

// The cover's path: ShelfModel::sideFile(pdfPath, ".cover").
QString pathFor(const QString &pdfPath);

// Makes the cover of the PDF at `pdfPath` unless one exists. The document is
// rendered here only after PdfProbe found it readable in its helper (or no
// helper could be started), so a file that crashes or stalls the PDF
// library never reaches this process. Returns whether a cover exists
// afterwards: false for a missing, damaged or page-less PDF, or a cover that
// could not be written (nothing is left behind then).
bool prepare(const QString &pdfPath);

} // namespace PdfCover
