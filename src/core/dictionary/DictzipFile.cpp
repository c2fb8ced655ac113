#include "DictzipFile.h"

#include <zlib.h>

namespace
{

constexpr int kCachedChunks = 8;

quint16 le16(const uchar *p)
{
    return quint16(p[0] | (p[1] << 8));
}

} // namespace

DictzipFile::DictzipFile() = default;
DictzipFile::~DictzipFile() = default;

bool DictzipFile::isGzip(const QByteArray &bytes)
{
    return bytes.size() >= 2 && uchar(bytes.at(0)) == 0x1F && uchar(bytes.at(1)) == 0x8B;
}

bool DictzipFile::open(const QString &path)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("cannot open %1: %2").arg(path, m_file.errorString());
        return false;
    }
    if (!isGzip(m_file.peek(2))) {
        m_kind = Kind::Plain;
        return true;
    }
    return readHeader();
}

bool DictzipFile::readHeader()
{
    const auto damaged = [this](const QString &why) {
        m_error = QStringLiteral("%1 is damaged: %2").arg(m_file.fileName(), why);
        return false;
    };
    const QByteArray fixed = m_file.read(10);
    if (fixed.size() < 10)
        return damaged(QStringLiteral("the gzip header is cut short"));
    const auto *h = reinterpret_cast<const uchar *>(fixed.constData());
    if (h[2] != 8)
        return damaged(QStringLiteral("unknown compression method %1").arg(h[2]));
    const uchar flags = h[3];
    m_kind = Kind::Whole;
    if (flags & 0x04) { // FEXTRA
        const QByteArray lengthBytes = m_file.read(2);
        if (lengthBytes.size() < 2)
            return damaged(QStringLiteral("the gzip header is cut short"));
        const quint16 extraLength = le16(reinterpret_cast<const uchar *>(lengthBytes.constData()));
        const QByteArray extra = m_file.read(extraLength);
        if (extra.size() < extraLength)
            return damaged(QStringLiteral("the gzip header is cut short"));
        const auto *e = reinterpret_cast<const uchar *>(extra.constData());
        qsizetype at = 0;
        while (at + 4 <= extra.size()) {
            const quint16 fieldLength = le16(e + at + 2);
            if (at + 4 + fieldLength > extra.size())
                return damaged(QStringLiteral("an extra field runs past the header"));
            if (e[at] == 'R' && e[at + 1] == 'A' && fieldLength >= 6) {
                const uchar *ra = e + at + 4;
                const quint16 version = le16(ra);
                const quint16 chunkLength = le16(ra + 2);
                const quint16 chunkCount = le16(ra + 4);
                if (version != 1 || chunkLength == 0 || 6 + 2 * qsizetype(chunkCount) > fieldLength)
                    return damaged(QStringLiteral("the dictzip chunk table is malformed"));
                m_chunkLength = chunkLength;
                m_chunkStarts.assign(size_t(chunkCount) + 1, 0);
                for (quint16 i = 0; i < chunkCount; ++i)
                    m_chunkStarts[size_t(i) + 1] = le16(ra + 6 + 2 * i);
                m_kind = Kind::Chunked;
            }
            at += 4 + fieldLength;
        }
    }
    const auto skipString = [this] {
        char c = 0;
        while (m_file.getChar(&c))
            if (c == 0)
                return true;
        return false;
    };
    if ((flags & 0x08) && !skipString()) // FNAME
        return damaged(QStringLiteral("the gzip header is cut short"));
    if ((flags & 0x10) && !skipString()) // FCOMMENT
        return damaged(QStringLiteral("the gzip header is cut short"));
    if ((flags & 0x02) && m_file.read(2).size() < 2) // FHCRC
        return damaged(QStringLiteral("the gzip header is cut short"));
    if (m_kind == Kind::Chunked) {
        // Sizes to offsets; the chunks must lie inside the file.
        qint64 at = m_file.pos();
        m_chunkStarts[0] = at;
        for (size_t i = 1; i < m_chunkStarts.size(); ++i) {
            at += m_chunkStarts[i];
            m_chunkStarts[i] = at;
        }
        if (at > m_file.size())
            return damaged(QStringLiteral("the dictzip chunks run past the end of the file"));
    }
    return true;
}

std::optional<QByteArray> DictzipFile::chunk(qsizetype index)
{
    for (qsizetype i = 0; i < m_cache.size(); ++i) {
        if (m_cache.at(i).first == index) {
            if (i != m_cache.size() - 1)
                m_cache.move(i, m_cache.size() - 1);
            return m_cache.last().second;
        }
    }
    const qint64 start = m_chunkStarts[size_t(index)];
    const qint64 size = m_chunkStarts[size_t(index) + 1] - start;
    if (!m_file.seek(start)) {
        m_error = QStringLiteral("cannot read %1").arg(m_file.fileName());
        return std::nullopt;
    }
    QByteArray in = m_file.read(size);
    if (in.size() != size) {
        m_error = QStringLiteral("%1 is cut short").arg(m_file.fileName());
        return std::nullopt;
    }
    QByteArray out(qsizetype(m_chunkLength), Qt::Uninitialized);
    z_stream z {};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
        m_error = QStringLiteral("cannot inflate %1").arg(m_file.fileName());
        return std::nullopt;
    }
    z.next_in = reinterpret_cast<Bytef *>(in.data());
    z.avail_in = uInt(in.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    const int rc = inflate(&z, Z_SYNC_FLUSH);
    const qsizetype produced = out.size() - qsizetype(z.avail_out);
    inflateEnd(&z);
    if (rc != Z_OK && rc != Z_STREAM_END && !(rc == Z_BUF_ERROR && produced > 0)) {
        m_error
            = QStringLiteral("%1 is damaged: chunk %2 does not inflate").arg(m_file.fileName()).arg(index);
        return std::nullopt;
    }
    out.truncate(produced);
    if (m_cache.size() >= kCachedChunks)
        m_cache.removeFirst();
    m_cache.append({ index, out });
    return out;
}

bool DictzipFile::inflateWhole(qint64 limit)
{
    if (m_inflated)
        return m_text.size() <= limit;
    m_inflated = true;
    if (!m_file.seek(0)) {
        m_error = QStringLiteral("cannot read %1").arg(m_file.fileName());
        return false;
    }
    z_stream z {};
    // 16 + window bits: a gzip wrapper; members after the first are read
    // too.
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) {
        m_error = QStringLiteral("cannot inflate %1").arg(m_file.fileName());
        return false;
    }
    QByteArray in;
    char out[65536];
    bool ok = true;
    int rc = Z_OK;
    while (ok) {
        if (z.avail_in == 0) {
            in = m_file.read(65536);
            if (in.isEmpty())
                break;
            z.next_in = reinterpret_cast<Bytef *>(in.data());
            z.avail_in = uInt(in.size());
        }
        z.next_out = reinterpret_cast<Bytef *>(out);
        z.avail_out = sizeof out;
        rc = inflate(&z, Z_NO_FLUSH);
        const qsizetype produced = qsizetype(sizeof out) - qsizetype(z.avail_out);
        if (m_text.size() + produced > limit) {
            m_error
                = QStringLiteral("%1 inflates to more than %2 MB").arg(m_file.fileName()).arg(limit >> 20);
            ok = false;
            break;
        }
        m_text.append(out, produced);
        if (rc == Z_STREAM_END) {
            if (z.avail_in == 0 && m_file.atEnd())
                break;
            inflateReset(&z); // another member follows
            rc = Z_OK;
        } else if (rc != Z_OK && !(rc == Z_BUF_ERROR && z.avail_in == 0)) {
            m_error = QStringLiteral("%1 is damaged: it does not inflate").arg(m_file.fileName());
            ok = false;
        }
    }
    inflateEnd(&z);
    if (ok && rc != Z_STREAM_END) {
        m_error = QStringLiteral("%1 is cut short").arg(m_file.fileName());
        ok = false;
    }
    if (!ok)
        m_text.clear();
    return ok;
}

std::optional<QByteArray> DictzipFile::read(quint64 offset, quint64 length)
{
    if (length > quint64(kMaxRead)) {
        m_error = QStringLiteral("an entry of %1 bytes is too long").arg(length);
        return std::nullopt;
    }
    const auto outside = [this, offset, length] {
        m_error = QStringLiteral("the range %1+%2 lies outside %3")
                      .arg(offset)
                      .arg(length)
                      .arg(m_file.fileName());
        return std::nullopt;
    };
    switch (m_kind) {
    case Kind::Plain: {
        const quint64 size = quint64(m_file.size());
        if (offset > size || length > size - offset)
            return outside();
        if (!m_file.seek(qint64(offset))) {
            m_error = QStringLiteral("cannot read %1").arg(m_file.fileName());
            return std::nullopt;
        }
        QByteArray bytes = m_file.read(qint64(length));
        if (quint64(bytes.size()) != length)
            return outside();
        return bytes;
    }
    case Kind::Whole: {
        if (!inflateWhole(kMaxInflated) && m_text.isEmpty())
            return std::nullopt;
        const quint64 size = quint64(m_text.size());
        if (offset > size || length > size - offset)
            return outside();
        return m_text.mid(qsizetype(offset), qsizetype(length));
    }
    case Kind::Chunked: {
        const quint64 chunks = quint64(m_chunkStarts.size() - 1);
        if (offset / m_chunkLength >= chunks && length > 0)
            return outside();
        QByteArray out;
        out.reserve(qsizetype(length));
        quint64 at = offset;
        while (quint64(out.size()) < length) {
            const quint64 index = at / m_chunkLength;
            if (index >= chunks)
                return outside();
            const auto text = chunk(qsizetype(index));
            if (!text)
                return std::nullopt;
            const quint64 within = at - index * m_chunkLength;
            if (within >= quint64(text->size()))
                return outside();
            const quint64 take
                = std::min<quint64>(quint64(text->size()) - within, length - quint64(out.size()));
            out.append(text->constData() + within, qsizetype(take));
            at += take;
        }
        return out;
    }
    }
    return std::nullopt;
}

std::optional<QByteArray> DictzipFile::readAll(qint64 limit)
{
    if (m_kind == Kind::Plain) {
        if (m_file.size() > limit) {
            m_error = QStringLiteral("%1 is larger than %2 MB").arg(m_file.fileName()).arg(limit >> 20);
            return std::nullopt;
        }
        m_file.seek(0);
        return m_file.readAll();
    }
    // A chunked file inflates as a plain gzip stream too.
    if (!inflateWhole(limit) || m_text.size() > limit)
        return std::nullopt;
    return m_text;
}
