#include "StarDictDictionarySource.h"

#include "core/util/StringHelpers.h"

#include <QFileInfo>
#include <QtEndian>

namespace
{

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

// A headword or text field: UTF-8 as the format says; bytes that are not
// become replacement characters rather than ending the import.
QString decode(QByteArrayView bytes)
{
    return QString::fromUtf8(bytes);
}

} // namespace

StarDictDictionarySource::StarDictDictionarySource(QString ifoPath)
    : m_ifoPath(std::move(ifoPath))
{
}

QStringList StarDictDictionarySource::columns() const
{
    return { QStringLiteral("見出し語"), QStringLiteral("内容") };
}

bool StarDictDictionarySource::looksLikeIfo(const QByteArray &head)
{
    QByteArray h = head;
    if (h.startsWith("\xEF\xBB\xBF"))
        h.remove(0, 3);
    return h.startsWith(kMagic);
}

DictionarySource::OpenResult StarDictDictionarySource::open(const std::function<bool()> &isCancelled)
{
    // The header: small, key=value lines.
    QFile ifo(m_ifoPath);
    if (!ifo.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("cannot open %1: %2").arg(fileName(m_ifoPath), ifo.errorString());
        return OpenResult::Unreadable;
    }
    const QByteArray header = ifo.read(64 * 1024);
    if (!looksLikeIfo(header)) {
        m_error = QStringLiteral("%1 is not a StarDict .ifo file").arg(fileName(m_ifoPath));
        return OpenResult::Unreadable;
    }
    QMap<QByteArray, QByteArray> keys;
    const QList<QByteArray> lines = header.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype eq = line.indexOf('=');
        if (eq > 0)
            keys.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    const QByteArray version = keys.value("version");
    if (version != "2.4.2" && version != "3.0.0") {
        m_error = QStringLiteral("%1: StarDict version \"%2\" is not supported (2.4.2 and 3.0.0 are)")
                      .arg(fileName(m_ifoPath), QString::fromUtf8(version));
        return OpenResult::Unreadable;
    }
    bool ok = false;
    const quint64 wordCount = keys.value("wordcount").toULongLong(&ok);
    if (!ok || wordCount == 0) {
        m_error = QStringLiteral("%1 gives no word count").arg(fileName(m_ifoPath));
        return OpenResult::Unreadable;
    }
    const QByteArray bits = keys.value("idxoffsetbits", "32");
    if (bits != "32" && !(bits == "64" && version == "3.0.0")) {
        m_error = QStringLiteral("%1: index offsets of %2 bits are not supported")
                      .arg(fileName(m_ifoPath), QString::fromUtf8(bits));
        return OpenResult::Unreadable;
    }
    const quint64 synCount = keys.value("synwordcount", "0").toULongLong(&ok);
    if (!ok) {
        m_error = QStringLiteral("%1 gives a malformed synonym count").arg(fileName(m_ifoPath));
        return OpenResult::Unreadable;
    }
    m_sameTypeSequence = keys.value("sametypesequence");
    m_title = decode(keys.value("bookname")).trimmed();

    // The siblings.
    QString base = QFileInfo(m_ifoPath).absoluteFilePath();
    if (base.endsWith(QStringLiteral(".ifo")))
        base.chop(4);
    const auto firstPresent = [](const QStringList &paths) {
        for (const QString &p : paths)
            if (QFileInfo(p).isFile())
                return p;
        return QString();
    };
    const QString idx = firstPresent({ base + QStringLiteral(".idx"), base + QStringLiteral(".idx.gz") });
    const QString dict = firstPresent({ base + QStringLiteral(".dict.dz"), base + QStringLiteral(".dict") });
    if (idx.isEmpty() || dict.isEmpty()) {
        m_error
            = QStringLiteral("the %1 file %2 is missing beside %3")
                  .arg(idx.isEmpty() ? QStringLiteral("index") : QStringLiteral("data"),
                      fileName(base) + (idx.isEmpty() ? QStringLiteral(".idx") : QStringLiteral(".dict.dz")),
                      fileName(m_ifoPath));
        return OpenResult::Unreadable;
    }
    bool cancelled = false;
    if (!readIndex(idx, bits == "64", wordCount, isCancelled, &cancelled))
        return cancelled ? OpenResult::Cancelled : OpenResult::Unreadable;
    const QString syn = base + QStringLiteral(".syn");
    if (QFileInfo(syn).isFile() && !readSynonyms(syn, synCount))
        return OpenResult::Unreadable;
    if (!m_data.open(dict)) {
        m_error = m_data.errorText();
        return OpenResult::Unreadable;
    }
    return OpenResult::Ready;
}

bool StarDictDictionarySource::readIndex(const QString &path, bool offsets64, quint64 wordCount,
    const std::function<bool()> &isCancelled, bool *cancelled)
{
    DictzipFile file;
    if (!file.open(path)) {
        m_error = file.errorText();
        return false;
    }
    const auto bytes = file.readAll(kMaxIndexSize);
    if (!bytes) {
        m_error = file.errorText();
        return false;
    }
    const qsizetype numbers = offsets64 ? 12 : 8;
    // Each entry takes at least a NUL and its numbers: a count beyond that
    // cannot be true, and is not reserved for.
    if (wordCount > quint64(bytes->size() / (1 + numbers))) {
        m_error
            = QStringLiteral("%1 cannot hold the %2 words the .ifo gives").arg(fileName(path)).arg(wordCount);
        return false;
    }
    m_entries.reserve(size_t(wordCount));
    const char *p = bytes->constData();
    const qsizetype size = bytes->size();
    for (qsizetype at = 0; at < size;) {
        if (m_entries.size() % 4096 == 4095 && isCancelled && isCancelled()) {
            *cancelled = true;
            return false;
        }
        const void *nul = std::memchr(p + at, 0, size_t(size - at));
        if (!nul) {
            m_error
                = QStringLiteral("%1 is cut short after %2 words").arg(fileName(path)).arg(m_entries.size());
            return false;
        }
        const qsizetype end = static_cast<const char *>(nul) - p;
        if (end + 1 + numbers > size) {
            m_error
                = QStringLiteral("%1 is cut short after %2 words").arg(fileName(path)).arg(m_entries.size());
            return false;
        }
        const uchar *n = reinterpret_cast<const uchar *>(p + end + 1);
        Entry e { decode(QByteArrayView(p + at, end - at)), 0, 0 };
        if (offsets64) {
            e.offset = qFromBigEndian<quint64>(n);
            e.size = qFromBigEndian<quint32>(n + 8);
        } else {
            e.offset = qFromBigEndian<quint32>(n);
            e.size = qFromBigEndian<quint32>(n + 4);
        }
        m_entries.push_back(std::move(e));
        at = end + 1 + numbers;
    }
    if (m_entries.size() != wordCount) {
        m_error = QStringLiteral("%1 holds %2 words, the .ifo says %3")
                      .arg(fileName(path))
                      .arg(m_entries.size())
                      .arg(wordCount);
        return false;
    }
    return true;
}

bool StarDictDictionarySource::readSynonyms(const QString &path, quint64 synCount)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("cannot open %1: %2").arg(fileName(path), file.errorString());
        return false;
    }
    if (file.size() > kMaxIndexSize) {
        m_error = QStringLiteral("%1 is larger than %2 MB").arg(fileName(path)).arg(kMaxIndexSize >> 20);
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (synCount > quint64(bytes.size() / 5)) {
        m_error = QStringLiteral("%1 cannot hold the %2 synonyms the .ifo gives")
                      .arg(fileName(path))
                      .arg(synCount);
        return false;
    }
    m_synonyms.reserve(size_t(synCount));
    const char *p = bytes.constData();
    for (qsizetype at = 0; at < bytes.size();) {
        const void *nul = std::memchr(p + at, 0, size_t(bytes.size() - at));
        const qsizetype end = nul ? static_cast<const char *>(nul) - p : -1;
        if (end < 0 || end + 5 > bytes.size()) {
            m_error = QStringLiteral("%1 is cut short after %2 synonyms")
                          .arg(fileName(path))
                          .arg(m_synonyms.size());
            return false;
        }
        const quint32 entry = qFromBigEndian<quint32>(reinterpret_cast<const uchar *>(p + end + 1));
        if (entry >= m_entries.size()) {
            m_error = QStringLiteral("%1: synonym %2 names entry %3 of %4")
                          .arg(fileName(path))
                          .arg(m_synonyms.size() + 1)
                          .arg(entry)
                          .arg(m_entries.size());
            return false;
        }
        m_synonyms.push_back({ decode(QByteArrayView(p + at, end - at)), entry });
        at = end + 5;
    }
    if (synCount != 0 && m_synonyms.size() != synCount) {
        m_error = QStringLiteral("%1 holds %2 synonyms, the .ifo says %3")
                      .arg(fileName(path))
                      .arg(m_synonyms.size())
                      .arg(synCount);
        return false;
    }
    return true;
}

std::optional<QString> StarDictDictionarySource::entryText(
    const QByteArray &data, const QByteArray &sameTypeSequence)
{
    QStringList parts;
    const auto add = [&parts](char type, QByteArrayView bytes) {
        switch (type) {
        case 'm': // plain text
        case 'l': // text in the dictionary's locale (read as UTF-8 too)
        case 'y': // readings
        case 'w': // MediaWiki markup, shown as written
        case 'n': // WordNet data
            parts.append(decode(bytes).trimmed());
            break;
        case 't': // phonetic transcription
            parts.append(QStringLiteral("[%1]").arg(decode(bytes).trimmed()));
            break;
        case 'g': // Pango markup
        case 'h': // HTML
        case 'x': // XDXF
        case 'k': // KingSoft XML
            parts.append(stringByStrippingHTML(decode(bytes)).trimmed());
            break;
        default: // resources, sounds, pictures and unknown kinds
            break;
        }
    };
    const qsizetype size = data.size();
    const char *p = data.constData();
    qsizetype at = 0;
    // One field: its type, and whether it is the last of a same-type
    // sequence (whose length is what remains).
    const auto field = [&](char type, bool lastOfSequence) {
        if (QChar::isLower(uchar(type))) {
            if (lastOfSequence) {
                add(type, QByteArrayView(p + at, size - at));
                at = size;
                return true;
            }
            const void *nul = std::memchr(p + at, 0, size_t(size - at));
            if (!nul)
                return false;
            const qsizetype end = static_cast<const char *>(nul) - p;
            add(type, QByteArrayView(p + at, end - at));
            at = end + 1;
            return true;
        }
        if (lastOfSequence) {
            at = size;
            return true;
        }
        if (size - at < 4)
            return false;
        const quint32 length = qFromBigEndian<quint32>(reinterpret_cast<const uchar *>(p + at));
        if (quint64(length) > quint64(size - at - 4))
            return false;
        at += 4 + qsizetype(length);
        return true;
    };
    if (!sameTypeSequence.isEmpty()) {
        for (qsizetype i = 0; i < sameTypeSequence.size(); ++i)
            if (!field(sameTypeSequence.at(i), i == sameTypeSequence.size() - 1))
                return std::nullopt;
    } else {
        while (at < size) {
            const char type = p[at++];
            if (!field(type, false))
                return std::nullopt;
        }
    }
    parts.removeAll(QString());
    return parts.join(u'\n');
}

std::optional<QString> StarDictDictionarySource::textOf(const Entry &e)
{
    const auto bytes = m_data.read(e.offset, e.size);
    if (!bytes) {
        m_error = QStringLiteral("the entry \"%1\": %2").arg(e.word, m_data.errorText());
        return std::nullopt;
    }
    auto text = entryText(*bytes, m_sameTypeSequence);
    if (!text)
        m_error = QStringLiteral("the entry \"%1\" is malformed").arg(e.word);
    return text;
}

bool StarDictDictionarySource::next(QStringList *fields)
{
    if (!m_error.isEmpty() || m_next >= recordCount())
        return false;
    const bool synonym = m_next >= m_entries.size();
    const Entry &e = synonym ? m_entries[m_synonyms[m_next - m_entries.size()].entry] : m_entries[m_next];
    const auto text = textOf(e);
    if (!text)
        return false;
    *fields = QStringList { synonym ? m_synonyms[m_next - m_entries.size()].word : e.word, *text };
    ++m_next;
    return true;
}
