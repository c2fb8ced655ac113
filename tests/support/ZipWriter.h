// Writes small zip archives for tests (minizip's zip side).
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

struct ZipEntry
{
    QByteArray name;
    QByteArray data;
    bool stored = false; // no compression (as "mimetype" must be)
};

// Writes the entries in order; false on failure.
bool writeZip(const QString &path, const QList<ZipEntry> &entries);

// A minimal EPUB: "mimetype", a container naming `opfPath`, and `files`.
bool writeEpub(const QString &path, const QString &opfPath, const QList<ZipEntry> &files);
