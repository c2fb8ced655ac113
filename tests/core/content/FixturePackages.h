// Crafted EPUB packages kept as folders under tests/fixtures/packages, one
// per case, zipped into a book when a test needs one.
#pragma once

#include "support/ZipWriter.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QString>

// Zips the fixture folder `name` into `epubPath` ("mimetype" first, stored,
// then every file under its path in the folder); false when the folder is
// missing or the archive cannot be written.
inline bool writeFixturePackage(const QString &name, const QString &epubPath)
{
    const QDir folder(QStringLiteral(TAVRO_FIXTURES_DIR "/packages/") + name);
    if (!folder.exists())
        return false;
    QList<ZipEntry> entries { { "mimetype", "application/epub+zip", true } };
    QStringList files;
    for (QDirIterator it(folder.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        files << folder.relativeFilePath(it.next());
    files.sort(); // the same archive on every file system
    for (const QString &file : files) {
        QFile f(folder.filePath(file));
        if (!f.open(QIODevice::ReadOnly))
            return false;
        entries.append({ file.toUtf8(), f.readAll() });
    }
    return writeZip(epubPath, entries);
}
