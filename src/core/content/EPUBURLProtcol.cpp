#include "EPUBURLProtcol.h"

#include "SafePath.h"
#include "ZipArchive.h"
#include "core/platform/AppResources.h"
#include "core/platform/DataFolder.h"

#include <QFile>
#include <QMimeDatabase>

namespace
{

// Files the reader's pages refer to by name from any book.
const char *const kBuiltIns[] = { "searchhighlight.css", "starburst.gif", "ylw-pushpin.png" };

std::optional<QByteArray> readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return f.readAll();
}

} // namespace

EPUBURLProtcol EPUBURLProtcol::forDataFolder()
{
    return EPUBURLProtcol(DataFolder::contentsFolder(), AppResources::directory());
}

EPUBURLProtcol::EPUBURLProtcol(QString contentsFolder, QString resourceFolder)
    : m_contents(std::move(contentsFolder))
    , m_resources(std::move(resourceFolder))
{
}

bool EPUBURLProtcol::canInitWithRequest(const QUrl &url)
{
    return url.scheme() == QLatin1String(BookUrl::kScheme);
}

QString EPUBURLProtcol::archivePath(const BookUrl::Target &target) const
{
    // The file name was checked by BookUrl::parse (SafePath), so it cannot
    // leave the folder.
    return (target.sample ? m_resources + QStringLiteral("/sample") : m_contents) + u'/' + target.fileName;
}

QByteArray EPUBURLProtcol::mimeTypeForPath(const QString &path)
{
    const QString last = path.section(u'/', -1);
    const qsizetype dot = last.lastIndexOf(u'.');
    if (dot < 0 || dot == last.size() - 1)
        return {};
    static const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(
        QStringLiteral("x.") + last.mid(dot + 1).toLower(), QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault())
        return {};
    return type.name().toUtf8();
}

std::optional<QByteArray> EPUBURLProtcol::zipData(
    const QString &archive, const QString &path, bool *crcMismatch, bool *incomplete)
{
    if (crcMismatch)
        *crcMismatch = false;
    if (incomplete)
        *incomplete = false;
    const auto zip = ZipArchive::archiveFor(archive);
    if (!zip)
        return std::nullopt;
    const QString entry = path.startsWith(u'/') ? path.mid(1) : path;
    if (!SafePath::isSafeRelativePath(entry))
        return std::nullopt;
    bool shortRead = false;
    auto data = zip->read(entry, crcMismatch, &shortRead);
    if (incomplete)
        *incomplete = shortRead;
    if (shortRead)
        return std::nullopt;
    return data;
}

EpubResponse EPUBURLProtcol::startLoading(const QUrl &url) const
{
    EpubResponse response;
    const auto target = BookUrl::parse(url);
    const QString path = target ? target->path : url.path();

    if (target) {
        const char *builtIn = nullptr;
        for (const char *name : kBuiltIns) {
            if (path.contains(QLatin1String(name))) {
                builtIn = name;
                break;
            }
        }
        response.data = builtIn
            ? readFile(m_resources + u'/' + QLatin1String(builtIn))
            : zipData(archivePath(*target), path, &response.crcMismatch, &response.incomplete);
    }

    response.mimeType = mimeTypeForPath(path);
    response.headers.append(
        { "Content-Length", QByteArray::number(response.data ? response.data->size() : 0) });
    if (!response.mimeType.isEmpty())
        response.headers.append({ "Content-Type", response.mimeType });
    if (!response.data) {
        response.errorDomain = QStringLiteral("EPUB");
        response.errorCode = -1;
    }
    return response;
}
