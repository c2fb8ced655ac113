// Whether a PDF file can be read, and its document outline, found out in a
// helper process ("tavro-inspect pdf-probe FILE") with a time budget.
//
// The PDF library has no guard against hostile files: an outline entry that
// is its own child, a cyclic chain of entries or a very deep outline make
// its bookmark model recurse until the stack or the memory runs out, and a
// page tree with a cycle can keep it busy for good. None of that may reach
// the program that shows the library, so the document is first opened, its
// first page rendered and its outline built in a child process that is
// killed when it runs past the budget (and, outside sanitizer builds, may
// use at most kMemoryLimit bytes). The helper reports in two lines: the
// document first, then the outline, so a file whose outline alone is broken
// is still a readable book (whose rows are then one per page).
//
// Plain values. check() blocks the calling thread for at most the budget
// (any thread; it runs no event loop). inspectHere() is the helper's side:
// it may crash or never return on a hostile file, so only the helper calls
// it.
#pragma once

#include "PdfOutlineRow.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdio>
#include <optional>

class QPdfDocument;

class PdfProbe
{
public:
    enum class Status {
        Readable, // opens, has pages, the first page renders
        Damaged, // does not open, has no page, fails to render, crashed or ran too long
        NotChecked, // no helper program could be started: nothing is known
    };
    static constexpr int kBudgetMs = 10000;
    static constexpr qint64 kMemoryLimit = qint64(2) * 1024 * 1024 * 1024;
    // At most this many outline rows are taken from a document; the rest
    // are left out.
    static constexpr int kMaxRows = 20000;
    // Entries nested deeper than this are left out.
    static constexpr int kMaxDepth = 32;

    Status status = Status::NotChecked;
    int pageCount = 0;
    // The document's own outline (already past the single title entry), when
    // it has one and the helper could build it.
    std::optional<QList<PdfOutlineRow>> outline;
    QString error; // for the log, when not Readable

    // Checks the PDF at `path` in the helper process, waiting at most
    // `budgetMs`.
    static PdfProbe check(const QString &path, int budgetMs = kBudgetMs);

    // The helper program: set by the caller (tests, the inspector), else
    // "tavro-inspect" beside the running program, in the build tree or where
    // it is installed. Empty when none is found. Set before any check; not
    // thread-safe against a running check.
    static void setHelperProgram(const QString &program);
    static QString helperProgram();

    // The helper's side: writes the two report lines for `path` to `out`
    // (flushed one by one). Returns 0 when the document is readable, 1 when
    // not. May crash or hang on a hostile file.
    static int inspectHere(const QString &path, FILE *out);

    // The rows of the document's outline (when its root holds a single entry
    // with children, those children), absent when it has none. Runs the PDF
    // library's bookmark model, which can crash or never end on a hostile
    // file: inspectHere() only.
    static std::optional<QList<PdfOutlineRow>> documentOutline(QPdfDocument &pdf);

    // The report lines as the helper wrote them (possibly cut short by a
    // crash or the budget), read back; `finished` says whether the helper
    // ended by itself.
    static PdfProbe fromReport(const QByteArray &report, bool finished);
};
