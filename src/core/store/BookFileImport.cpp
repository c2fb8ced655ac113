#include "BookFileImport.h"

#include "PackageInstaller.h"
#include "core/content/BookFormat.h"
#include "core/library/BookMetaData.h"
#include "core/platform/DataFolder.h"

#include <QFileInfo>

QVariantMap BookFileImport::pdfInfo(const QString &path)
{
    return {
        { QStringLiteral("book_id"), QStringLiteral("999999") },
        { QStringLiteral("bookId"), QString::fromLatin1(BookMetaData::kBookIdFromDisk) },
        { QStringLiteral("bookTitle"), QFileInfo(path).fileName() },
        { QStringLiteral("bookAuthor"), QStringLiteral("未知") },
        { QStringLiteral("bookPublisher"), QStringLiteral("未知") },
    };
}

BookFileImport::Result BookFileImport::importFile(BookRepository books, const QString &path, InstallerUi &ui)
{
    Result result;
    const QFileInfo source(path);
    const QString name = source.fileName();
    if (!source.isFile()) {
        result.error = QStringLiteral("%1 cannot be read").arg(path);
        return result;
    }
    // The installer checks the file against the format its name gives.
    const auto format = formatOfName(name);
    const bool pdf = format == BookFormat::Pdf;
    if (!format) {
        result.error = PackageInstaller::kUnsupported;
        return result;
    }
    // The installer decides by a lower-case extension; the file keeps its name.
    PackageInstaller installer(books, ui, nullptr);
    installer.install(source.absoluteFilePath(), name, pdf ? pdfInfo(path) : QVariantMap());
    if (installer.installed.contains(name)) {
        result.fileName = name;
        result.installed = true;
        return result;
    }
    if (!installer.refused.isEmpty()) {
        result.error = PackageInstaller::isReadableBook(source.absoluteFilePath(), source.suffix())
            ? QStringLiteral("%1 cannot be put into the library").arg(name)
            : PackageInstaller::kDamaged;
        return result;
    }
    // Declined to overwrite: the book already in the library is opened.
    const bool known = books.hasBookFile(name);
    if (known && QFileInfo::exists(DataFolder::contentsFolder() + u'/' + name)) {
        result.fileName = name;
        return result;
    }
    result.error = PackageInstaller::kUnsupported;
    return result;
}
