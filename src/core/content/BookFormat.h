// What kind of book a file is: an EPUB (a zip package) or a PDF. The one
// place that decides it; every screen and tool asks here.
//
// A file that exists is told by its first bytes: "%PDF-" within the first
// kPdfHeaderWindow bytes (where PDF readers look for it) is a PDF, a zip
// local header ("PK\3\4") at the start is an EPUB. So a PDF named ".epub"
// opens as the PDF it is, and the other way round. A file that is missing,
// unreadable, a folder, or starts with neither goes by its name: ".pdf" in
// any case is a PDF, anything else an EPUB (what the library has always
// assumed of its files).
//
// Pure apart from reading at most kPdfHeaderWindow bytes of the file; any
// thread.
#pragma once

#include <QString>
#include <QUrl>
#include <optional>

enum class BookFormat { Epub, Pdf };

constexpr int kPdfHeaderWindow = 1024;

// The format a file name alone says: ".epub" or ".pdf" in any case; absent
// for any other name. For names of files that are not there (yet): a
// download's suggested name, a command-line argument being sorted.
std::optional<BookFormat> formatOfName(const QString &name);

// The format of the book at `pathOrUrl`, a local path or a "file://" URL
// (an "epub://" URL is an EPUB). Never fails: see above for the fallback.
BookFormat formatOf(const QString &pathOrUrl);
BookFormat formatOf(const QUrl &url);
