// Random access to the text of a dictionary data file that may be
// compressed: a plain file is read in place; a dictzip file (gzip with a
// table of independently compressed chunks in its "RA" extra field, as
// dictd and StarDict write ".dict.dz") inflates only the chunks a read
// needs, keeping a few; any other gzip file is inflated whole into memory,
// up to kMaxInflated bytes. zlib only, no other process.
//
// Hostile input: chunk tables that do not fit the file, reads outside the
// text and damaged deflate data give an error, not a crash.
//
// One thread at a time.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <optional>
#include <vector>

class DictzipFile
{
public:
    // The most a plain gzip file (no chunk table) may inflate to, and the
    // longest single read.
    static constexpr qint64 kMaxInflated = 512LL * 1024 * 1024;
    static constexpr qint64 kMaxRead = 16LL * 1024 * 1024;

    DictzipFile();
    ~DictzipFile();
    DictzipFile(const DictzipFile &) = delete;
    DictzipFile &operator=(const DictzipFile &) = delete;

    // Opens `path` and reads its header; false (with errorText()) when it
    // cannot be opened or its gzip header is damaged.
    bool open(const QString &path);
    // `length` bytes of the text from `offset`; absent (with errorText())
    // when the range is not wholly inside the text or the data is damaged.
    std::optional<QByteArray> read(quint64 offset, quint64 length);
    // The whole text (for small files such as an ".idx.gz"), at most
    // `limit` bytes; absent when larger or damaged.
    std::optional<QByteArray> readAll(qint64 limit);

    bool isCompressed() const { return m_kind != Kind::Plain; }
    QString errorText() const { return m_error; }

    // Whether `bytes` start like a gzip file.
    static bool isGzip(const QByteArray &bytes);

private:
    enum class Kind { Plain, Chunked, Whole };

    bool readHeader();
    std::optional<QByteArray> chunk(qsizetype index);
    bool inflateWhole(qint64 limit);

    QFile m_file;
    Kind m_kind = Kind::Plain;
    QString m_error;
    // Chunked: uncompressed chunk length, and where each chunk starts in the
    // file (one more entry than chunks: the end of the last).
    quint32 m_chunkLength = 0;
    std::vector<qint64> m_chunkStarts;
    // A few inflated chunks, most recent last.
    QList<std::pair<qsizetype, QByteArray>> m_cache;
    // Whole: the inflated text.
    QByteArray m_text;
    bool m_inflated = false;
};
