// Whether a file on disk can be a book, before anything installs, registers
// or opens it. The installation, the recovery after a crash, the shelf's
// loose files and the import from disk all ask the same question, so it sits
// with the book content rather than with any one of them.
//
// Threads: any (a PDF check starts a helper process and waits for it).
#pragma once

#include <QString>

namespace ReadableBook
{

// Whether the file can be a book of this extension ("epub": a package that
// parses, with a spine whose first item reads whole, see
// EPUBManager::whyUnreadable; "pdf": a PDF header near the start, and a
// document that PdfProbe opens with a first page that renders, waiting at
// most its budget; when no helper can check it, the header is enough). An
// empty or random file, a missing one or another extension: false.
bool check(const QString &path, const QString &extension);

} // namespace ReadableBook
