#include "AppResources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#ifndef TAVRO_BUILD_RESOURCE_DIR
#define TAVRO_BUILD_RESOURCE_DIR ""
#endif

QString AppResources::directory()
{
    const QString fromEnv = qEnvironmentVariable("TAVRO_RESOURCE_DIR");
    if (!fromEnv.isEmpty())
        return fromEnv;
    if (QCoreApplication::instance()) {
        const QString installed = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/tavro");
        if (QFileInfo(installed).isDir())
            return QDir::cleanPath(installed);
    }
    return QString::fromUtf8(TAVRO_BUILD_RESOURCE_DIR);
}
