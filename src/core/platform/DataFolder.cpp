#include "DataFolder.h"

#include <QDir>

QString DataFolder::path()
{
    return QDir::homePath() + QStringLiteral("/.data");
}

QString DataFolder::configFile()
{
    return path() + QStringLiteral("/config.plist");
}

QString DataFolder::contentsFolder()
{
    return path() + QStringLiteral("/contents");
}

bool DataFolder::createContentsFolder()
{
    return QDir().mkpath(contentsFolder());
}
