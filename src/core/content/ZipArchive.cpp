#include "ZipArchive.h"

#include "core/util/Logging.h"

#include <QFile>
#include <QFileInfo>
#include <minizip/unzip.h>

namespace
{

constexpr int kCacheSize = 8;
constexpr int kChunk = 64 * 1024;

struct CacheEntry {
    QString path;
    std::shared_ptr<ZipArchive> archive;
    qint64 size;
    QDateTime modified;
};

QMutex cacheMutex;
QList<CacheEntry> cache; // most recently used first

} // namespace

ZipArchive::~ZipArchive()
{
    if (m_handle)
        unzClose(static_cast<unzFile>(m_handle));
}

std::shared_ptr<ZipArchive> ZipArchive::open(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return nullptr;
    unzFile handle = unzOpen64(QFile::encodeName(path).constData());
    if (!handle)
        return nullptr;

    std::shared_ptr<ZipArchive> archive(new ZipArchive);
    archive->m_path = path;
    archive->m_size = info.size();
    archive->m_modified = info.lastModified();
    archive->m_handle = handle;

    QByteArray name(1024, Qt::Uninitialized);
    for (int rc = unzGoToFirstFile(handle); rc == UNZ_OK; rc = unzGoToNextFile(handle)) {
        unz_file_info64 fileInfo {};
        if (unzGetCurrentFileInfo64(handle, &fileInfo, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            break;
        if (fileInfo.size_filename + 1 > quint64(name.size()))
            name.resize(qsizetype(fileInfo.size_filename + 1));
        if (unzGetCurrentFileInfo64(
                handle, &fileInfo, name.data(), uLong(name.size()), nullptr, 0, nullptr, 0)
            != UNZ_OK)
            break;
        const QByteArray entry(name.constData(), qsizetype(fileInfo.size_filename));
        unz64_file_pos pos {};
        if (unzGetFilePos64(handle, &pos) != UNZ_OK)
            break;
        // The first of two entries with one name wins, as a central-directory
        // scan would find it.
        if (!archive->m_index.contains(entry)) {
            archive->m_index.insert(
                entry, { pos.pos_in_zip_directory, pos.num_of_file, fileInfo.uncompressed_size });
            archive->m_names.append(entry);
        }
    }
    return archive;
}

std::shared_ptr<ZipArchive> ZipArchive::archiveFor(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return nullptr;
    const qint64 size = info.size();
    const QDateTime modified = info.lastModified();
    {
        QMutexLocker lock(&cacheMutex);
        for (qsizetype i = 0; i < cache.size(); ++i) {
            if (cache.at(i).path != path)
                continue;
            if (cache.at(i).size == size && cache.at(i).modified == modified) {
                cache.move(i, 0);
                return cache.first().archive;
            }
            cache.removeAt(i);
            break;
        }
    }
    auto archive = open(path);
    if (!archive)
        return nullptr;
    QMutexLocker lock(&cacheMutex);
    cache.prepend({ path, archive, size, modified });
    while (cache.size() > kCacheSize)
        cache.removeLast();
    return archive;
}

void ZipArchive::clearCache()
{
    QMutexLocker lock(&cacheMutex);
    cache.clear();
}

std::optional<QByteArray> ZipArchive::read(const QByteArray &name, bool *crcMismatch, bool *incomplete)
{
    if (crcMismatch)
        *crcMismatch = false;
    if (incomplete)
        *incomplete = false;
    const auto it = m_index.constFind(name);
    if (it == m_index.cend())
        return std::nullopt;
    QMutexLocker lock(&m_mutex);
    auto *handle = static_cast<unzFile>(m_handle);
    unz64_file_pos pos { it->directoryOffset, it->fileNumber };
    QByteArray data;
    const auto damaged = [&](const char *why) {
        if (incomplete)
            *incomplete = true;
        if (!m_shortLogged.contains(name)) {
            m_shortLogged.insert(name);
            qCWarning(lcContent).noquote()
                << QStringLiteral("entry %1 of %2 is damaged: %3 (%4 of %5 bytes read); refused")
                       .arg(QString::fromUtf8(name), m_path, QLatin1String(why))
                       .arg(data.size())
                       .arg(it->uncompressedSize);
        }
    };
    if (unzGoToFilePos64(handle, &pos) != UNZ_OK || unzOpenCurrentFile(handle) != UNZ_OK) {
        damaged("it cannot be opened");
        return data;
    }
    // The recorded size only bounds the first allocation: it comes from the
    // archive.
    data.reserve(qsizetype(std::min<quint64>(it->uncompressedSize, 64 * 1024 * 1024)));
    char buffer[kChunk];
    bool failed = false;
    bool cut = false;
    for (;;) {
        const int n = unzReadCurrentFile(handle, buffer, kChunk);
        if (n == 0)
            break;
        if (n < 0) {
            failed = true;
            break;
        }
        if (data.size() + n > kMaxEntrySize) {
            qCWarning(lcContent) << "entry" << name << "of" << m_path << "is larger than allowed; cut";
            cut = true;
            break;
        }
        data.append(buffer, n);
    }
    // minizip checks the CRC on closing an entry read to its end, and only
    // then: deflate data damaged in the middle can end early without any
    // error, and the bytes before the damage would pass for the whole entry.
    // The size the zip index records tells such a short read. A stored entry
    // has no other check than its CRC: its altered bytes are served as they
    // are.
    const int closed = unzCloseCurrentFile(handle);
    if (failed) {
        damaged("inflating failed");
        return data;
    }
    if (!cut && quint64(data.size()) != it->uncompressedSize) {
        damaged(quint64(data.size()) < it->uncompressedSize ? "its data ends early"
                                                            : "its data is longer than recorded");
        return data;
    }
    if (closed == UNZ_CRCERROR) {
        if (crcMismatch)
            *crcMismatch = true;
        if (!m_crcLogged.contains(name)) {
            m_crcLogged.insert(name);
            qCWarning(lcContent) << "entry" << name << "of" << m_path
                                 << "does not match its CRC; served as stored";
        }
    }
    return data;
}
