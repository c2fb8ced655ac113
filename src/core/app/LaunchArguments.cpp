#include "LaunchArguments.h"

#include "core/content/BookFormat.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

bool LaunchArguments::isBookFileName(const QString &name)
{
    return formatOfName(name).has_value();
}

LaunchArguments::Result LaunchArguments::parse(const QStringList &arguments, const QString &workingDirectory)
{
    Result result;
    for (const QString &argument : arguments) {
        QString path = argument;
        if (argument.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) {
            const QUrl url(argument);
            const bool thisHost = url.host().isEmpty() || url.host() == u"localhost";
            if (!url.isValid() || !url.isLocalFile() || !thisHost) {
                result.rejected.append({ argument, QStringLiteral("not a local file URL") });
                continue;
            }
            path = url.toLocalFile();
        } else if (argument.contains(QStringLiteral("://"))) {
            result.rejected.append({ argument, QStringLiteral("only local files can be opened") });
            continue;
        }
        if (path.isEmpty()) {
            result.rejected.append({ argument, QStringLiteral("empty file name") });
            continue;
        }
        const QFileInfo info(QDir(workingDirectory), path);
        if (!isBookFileName(info.fileName())) {
            result.rejected.append({ argument, QStringLiteral("not an EPUB or PDF file") });
            continue;
        }
        if (!info.exists()) {
            result.rejected.append({ argument, QStringLiteral("no such file") });
            continue;
        }
        if (!info.isFile() || !info.isReadable()) {
            result.rejected.append({ argument, QStringLiteral("not a readable file") });
            continue;
        }
        const QString absolute = QDir::cleanPath(info.absoluteFilePath());
        if (!result.files.contains(absolute))
            result.files.append(absolute);
    }
    return result;
}
