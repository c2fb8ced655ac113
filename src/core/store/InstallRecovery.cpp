#include "InstallRecovery.h"

#include "core/content/ReadableBook.h"
#include "core/platform/DataFolder.h"
#include "core/util/Logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUuid>
#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace
{

const QString kPackagePrefix = QStringLiteral("tavro-package-");
const QString kDownloadPrefix = QStringLiteral("tavro-download-");

bool processRuns(qint64 pid)
{
    if (pid <= 0)
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

// "<prefix><pid>-<uuid>" of a process that is gone.
bool isLeftOver(const QString &name, const QString &prefix)
{
    if (!name.startsWith(prefix))
        return false;
    bool ok = false;
    const qint64 pid = name.mid(prefix.size()).section(u'-', 0, 0).toLongLong(&ok);
    return ok && pid != QCoreApplication::applicationPid() && !processRuns(pid);
}

} // namespace

QString InstallRecovery::privateTempFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
        + QStringLiteral("/Tavro/tmp");
    const QFileDevice::Permissions ownerOnly
        = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    if (!QDir().mkpath(folder) || !QFile::setPermissions(folder, ownerOnly))
        return {};
    const QFileInfo info(folder);
    if (info.isSymLink() || info.ownerId() != ::getuid())
        return {};
    return folder;
}

QString InstallRecovery::packageFolderName()
{
    return kPackagePrefix + QString::number(QCoreApplication::applicationPid()) + u'-'
        + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QString InstallRecovery::installingMarker(const QString &fileName)
{
    return DataFolder::contentsFolder() + QStringLiteral("/.") + fileName + QStringLiteral(".installing");
}

QString InstallRecovery::downloadFileName()
{
    return kDownloadPrefix + QString::number(QCoreApplication::applicationPid()) + u'-'
        + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

InstallRecovery::Report InstallRecovery::run(BookRepository books)
{
    Report report;

    QStringList temps { QDir::tempPath() };
    if (const QString own = privateTempFolder(); !own.isEmpty())
        temps.prepend(own);
    for (const QString &folder : temps) {
        const QDir temp(folder);
        for (const QFileInfo &info :
            temp.entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden)) {
            const QString name = info.fileName();
            if (info.isDir() && !info.isSymLink() && isLeftOver(name, kPackagePrefix)) {
                if (QDir(info.absoluteFilePath()).removeRecursively())
                    report.removed << info.absoluteFilePath();
            } else if (info.isFile() && isLeftOver(name, kDownloadPrefix)) {
                if (QFile::remove(info.absoluteFilePath()))
                    report.removed << info.absoluteFilePath();
            }
        }
    }

    const QDir contents(DataFolder::contentsFolder());
    static const QRegularExpression halfCopied(
        QStringLiteral("^\\..+\\.[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"));
    static const QRegularExpression marker(QStringLiteral("^\\.(.+)\\.installing$"));
    for (const QFileInfo &info : contents.entryInfoList(QDir::Files | QDir::Hidden)) {
        const QString name = info.fileName();
        if (halfCopied.match(name).hasMatch()) {
            if (QFile::remove(info.absoluteFilePath()))
                report.removed << info.absoluteFilePath();
            continue;
        }
        const auto m = marker.match(name);
        if (!m.hasMatch())
            continue;
        const QString bookName = m.captured(1);
        const QString bookPath = contents.filePath(bookName);
        const QString ext = QFileInfo(bookName).suffix().toLower();
        const bool stored = QFileInfo(bookPath).isFile();
        const bool known = books.hasBookFile(bookName);
        if (stored && !known) {
            if (ReadableBook::check(bookPath, ext)) {
                books.parseLooseBook(bookPath);
                report.registered << bookName;
            } else if (QFile::remove(bookPath)) {
                report.removed << bookPath;
            }
        }
        QFile::remove(info.absoluteFilePath());
    }
    if (!report.removed.isEmpty() || !report.registered.isEmpty())
        qCInfo(lcStore) << "after an interrupted installation: removed" << report.removed << "registered"
                        << report.registered;
    return report;
}
