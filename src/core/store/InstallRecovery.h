// Cleans up after an installation that a crash or a kill interrupted, once
// at start-up before anything else installs:
// - half-copied book files in the contents folder (".name.<uuid>", the
//   temporary files of PackageInstaller::storeAtomically) are removed;
// - package folders and download files in the private temporary folder (and
//   the shared one, where earlier versions put them) that belong to a
//   process no longer running are removed;
// - a book file that an installation was storing (it leaves a marker,
//   ".name.installing", until the book is registered) and that reached the
//   contents folder but not the library store is registered when it can be
//   read: an EPUB by its package, a PDF as a book from disk; one that cannot
//   be read is removed. Files that were not being installed are left alone.
//
// The thread of the library store given (the main thread at start-up).
#pragma once

#include "core/library/BookRepository.h"

#include <QString>
#include <QStringList>

class InstallRecovery
{
public:
    struct Report {
        QStringList removed; // paths
        QStringList registered; // file names
    };

    static Report run(BookRepository books);

    // The folder of downloads and unpacked packages while they are
    // installed: "Tavro/tmp" in the user's cache folder, created and kept
    // at mode 0700 so that no other user reads a paid book on its way in.
    // Empty when it cannot be made private (the caller then fails rather
    // than write a book where others can read it).
    static QString privateTempFolder();
    // Names of the temporary package folders and download files: the
    // process id first, so that a later start can tell whose they are.
    static QString packageFolderName();
    static QString downloadFileName();
    // The marker of a book file being installed into the contents folder.
    static QString installingMarker(const QString &fileName);
};
