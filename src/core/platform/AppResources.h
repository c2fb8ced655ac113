// The application's resource folder on disk: page scripts, style sheets,
// the three built-in images and style sheet served under epub://, and the
// "sample" folder of sample books.
//
// Looked up in order: $TAVRO_RESOURCE_DIR; <program dir>/../share/tavro;
// the build tree's resources folder. Any thread.
#pragma once

#include <QString>

class AppResources
{
public:
    static QString directory();
    static QString sampleFolder() { return directory() + QStringLiteral("/sample"); }
    static QString filePath(const QString &name) { return directory() + u'/' + name; }
};
