// Writes small zip archives for tests (minizip's zip side).
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

struct ZipEntry {
    QByteArray name;
    QByteArray data;
    bool stored = false; // no compression (as "mimetype" must be)
    bool symlink = false; // marked as a symbolic link (Unix mode in the external attributes)
    bool utf8Flag = true; // bit 11 set: the name is UTF-8
};

// Writes the entries in order; false on failure.
bool writeZip(const QString &path, const QList<ZipEntry> &entries);

// A minimal EPUB: "mimetype", a container naming `opfPath`, and `files`.
bool writeEpub(const QString &path, const QString &opfPath, const QList<ZipEntry> &files);
