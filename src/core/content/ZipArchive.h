// Reads entries of a zip archive by name through minizip, with an index of
// entry name to position so that a look-up does not scan the central
// directory (minizip's unzLocateFile does, and caps names at 256 bytes).
//
// Threads: an archive may be read from several threads; reads of one archive
// take turns on its one minizip handle. archiveFor() may be called from any
// thread.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>

class ZipArchive
{
public:
    // Entries are never inflated beyond this size: a larger one (or a zip
    // bomb) is cut there, as a read error would cut it.
    static constexpr qint64 kMaxEntrySize = 512LL * 1024 * 1024;

    ~ZipArchive();
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    // Opens the archive and indexes its entries; nullptr when the file is
    // missing or not a zip archive.
    static std::shared_ptr<ZipArchive> open(const QString &path);

    // The archive at `path` from a small process-wide cache of open
    // archives, reopened when the file's size or modification time changed;
    // nullptr when it cannot be opened.
    static std::shared_ptr<ZipArchive> archiveFor(const QString &path);
    // Empties the cache (archives in use stay open until released).
    static void clearCache();

    // The bytes of the entry with this exact (case-sensitive, raw) name:
    // absent when there is no such entry. An entry that cannot be read
    // whole (it cannot be opened, inflating fails, or its data ends before
    // the size the zip index records for it) gives the bytes inflated so far
    // (possibly empty) with `incomplete`, when given, set; the first such
    // read of each entry is logged. Bytes read in full that do not match the
    // entry's recorded CRC are returned all the same; `crcMismatch`, when
    // given, says so, and the first such read of each entry is logged.
    std::optional<QByteArray> read(
        const QByteArray &name, bool *crcMismatch = nullptr, bool *incomplete = nullptr);
    std::optional<QByteArray> read(
        const QString &name, bool *crcMismatch = nullptr, bool *incomplete = nullptr)
    {
        return read(name.toUtf8(), crcMismatch, incomplete);
    }

    bool contains(const QByteArray &name) const { return m_index.contains(name); }
    // Raw entry names in central-directory order.
    const QList<QByteArray> &entryNames() const { return m_names; }
    const QString &path() const { return m_path; }

private:
    struct Position {
        quint64 directoryOffset;
        quint64 fileNumber;
        quint64 uncompressedSize;
    };

    ZipArchive() = default;

    QString m_path;
    qint64 m_size = 0;
    QDateTime m_modified;
    void *m_handle = nullptr; // unzFile
    QHash<QByteArray, Position> m_index;
    QList<QByteArray> m_names;
    QSet<QByteArray> m_crcLogged; // entries whose mismatch was logged
    QSet<QByteArray> m_shortLogged; // entries whose incomplete read was logged
    QMutex m_mutex;
};
