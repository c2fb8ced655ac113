// Puts a book file from disk into the library, as the shelf's PDF import
// does (EPUB files too): the file is copied into the contents folder and
// registered by the package installer, a PDF under the identifier of books
// from disk with its file name as the title.
//
// The thread of the library store given (the main thread in the application;
// the installer may ask `ui`).
#pragma once

#include "core/library/BookRepository.h"

#include <QString>
#include <QVariantMap>

class InstallerUi;

class BookFileImport
{
public:
    struct Result {
        // The book's file name in the contents folder, ready for the
        // reader; empty when nothing can be opened.
        QString fileName;
        bool installed = false; // copied and registered by this call
        QString error; // for people, when fileName is empty
    };

    // The store info a PDF from disk is registered with ("book_id",
    // "bookId", "bookTitle", "bookAuthor", "bookPublisher").
    static QVariantMap pdfInfo(const QString &path);

    // Installs `path` (an .epub or .pdf file). A book of that name already
    // in the library is replaced when `ui` agrees to overwrite, and opened
    // as it is when not. Errors also go to `ui.error` when the installer
    // met them (an unreadable book file).
    static Result importFile(BookRepository books, const QString &path, InstallerUi &ui);
};
