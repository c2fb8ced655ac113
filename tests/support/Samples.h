// The generated sample content (tools/make_samples.py) for tests.
#pragma once

#include "core/platform/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QString>

inline QString sampleBookPath(const QString &fileName)
{
    return QStringLiteral(TAVRO_SAMPLES_DIR "/books/") + fileName;
}

inline QString samplePackagePath(const QString &fileName)
{
    return QStringLiteral(TAVRO_SAMPLES_DIR "/packages/") + fileName;
}

// Copies a generated book into the data folder's contents folder under
// `asName` (its own name by default); the path it now has there.
inline QString installSampleBook(const QString &fileName, const QString &asName = {})
{
    DataFolder::createContentsFolder();
    const QString target = DataFolder::contentsFolder() + u'/' + (asName.isEmpty() ? fileName : asName);
    QFile::remove(target);
    QFile::copy(sampleBookPath(fileName), target);
    return target;
}
