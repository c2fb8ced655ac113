// The rows of a PDF book's outline as the reader shows them, and the row
// that goes with the page on screen.
//
// Where the rows come from, first found wins:
// - the ".toc" file beside the PDF (the PDF's path without its extension,
//   plus ".toc"): a JSON object whose "toc" array holds entries with
//   "title", "pageNumber" (from 1) and optional "sub" entries;
// - the document's own outline; when its root holds a single entry, that
//   entry's children are the top rows (a lone entry without children is
//   shown itself);
// - one row per page, "ページ1", "ページ2", ...
// A ".toc" file that cannot be read or holds no entries is passed over (and
// logged) rather than leaving the book without an outline.
//
// Plain values; any thread. Loading reads files and, for the document's
// outline, asks PdfProbe (a helper process with a time budget): the PDF
// library's own outline walk must not run in the program that shows it.
#pragma once

#include "core/content/PdfOutlineRow.h"

#include <QList>
#include <QPointF>
#include <QString>
#include <QVariant>
#include <optional>

class PdfProbe;

class PdfOutline
{
public:
    enum class Source { TocFile, Document, Pages };
    // Entries nested deeper than this are left out.
    static constexpr int kMaxDepth = 32;

    Source source = Source::Pages;
    QList<PdfOutlineRow> rows;

    // The ".toc" file of the PDF at `pdfPath`.
    static QString tocPath(const QString &pdfPath);

    // The rows of the book at `pdfPath`, whose document `probe` checked
    // (its outline, else one row per page; none for a damaged document).
    static PdfOutline load(const QString &pdfPath, const PdfProbe &probe);
    // The same, checking the document with PdfProbe; absent when it cannot
    // be read or checked (`error`, if given, says why).
    static std::optional<PdfOutline> load(const QString &pdfPath, QString *error = nullptr);

    // The rows of a decoded ".toc" file (its whole JSON object); absent when
    // it has no "toc" array with at least one entry.
    static std::optional<QList<PdfOutlineRow>> fromToc(const QVariant &tocFile);
    static QList<PdfOutlineRow> perPage(int pageCount);

    // The row to select while `page` (from 0) is shown, as the row numbers
    // from the top level down: the first row, top to bottom through every
    // level, that leads to `page`; else the row of the nearest earlier page
    // (the part being read; the last such row); absent when no row leads to
    // `page` or before it.
    std::optional<QList<int>> rowForPage(int page) const;
    // The row at `path`, if there is one.
    const PdfOutlineRow *row(const QList<int> &path) const;

    // {"source": "toc"|"outline"|"pages", "rows": [{"title", "pageNumber"
    // (from 1, or null), "sub": [...]}]}: what tavro-inspect prints.
    QVariantMap toVariant() const;
    static QString sourceName(Source source);
};
