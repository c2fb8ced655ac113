#include "ReadableBook.h"

#include "EPUBManager.h"
#include "PdfProbe.h"
#include "core/util/Logging.h"

#include <QFile>

bool ReadableBook::check(const QString &path, const QString &extension)
{
    const QString ext = extension.toLower();
    if (ext == u"pdf") {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        // Readers accept the header anywhere in the first kilobyte.
        if (!file.read(1024).contains("%PDF-"))
            return false;
        // A header is not a book: the document must open and its first page
        // render, in the helper process, so that a file that crashes or
        // stalls the PDF library never enters the library.
        return PdfProbe::check(path).status != PdfProbe::Status::Damaged;
    }
    if (ext == u"epub") {
        // A book enters the library only when it can be opened: a package
        // that parses, a spine, and a first page that reads whole.
        if (const auto why = EPUBManager::whyUnreadable(path)) {
            qCWarning(lcStore).noquote() << "not a readable EPUB:" << path << "-" << *why;
            return false;
        }
        return true;
    }
    return false;
}
