#include "DictdDictionarySource.h"

#include "CSVStreamDecoder.h"

#include <QFile>
#include <QFileInfo>

namespace
{

int digitValue(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

QString decodeText(QByteArrayView bytes)
{
    if (CSVStreamDecoder::isValidUtf8(bytes.data(), bytes.size()))
        return QString::fromUtf8(bytes);
    return QString::fromLatin1(bytes);
}

bool isDatabaseEntry(QByteArrayView word)
{
    return word.startsWith("00-database-") || word.startsWith("00database");
}

} // namespace

DictdDictionarySource::DictdDictionarySource(QString indexPath)
    : m_indexPath(std::move(indexPath))
{
}

QStringList DictdDictionarySource::columns() const
{
    return { QStringLiteral("見出し語"), QStringLiteral("内容") };
}

std::optional<quint64> DictdDictionarySource::decodeNumber(QByteArrayView digits)
{
    // Eight digits are 48 bits: far beyond any file, and no overflow.
    if (digits.isEmpty() || digits.size() > 8)
        return std::nullopt;
    quint64 value = 0;
    for (const char c : digits) {
        const int v = digitValue(c);
        if (v < 0)
            return std::nullopt;
        value = value * 64 + quint64(v);
    }
    return value;
}

bool DictdDictionarySource::looksLikeIndex(const QByteArray &head)
{
    const qsizetype end = head.indexOf('\n');
    if (end <= 0)
        return false;
    const QList<QByteArray> fields = head.left(end).split('\t');
    return (fields.size() == 3 || fields.size() == 4) && !fields.at(0).isEmpty() && decodeNumber(fields.at(1))
        && decodeNumber(fields.at(2).trimmed());
}

DictionarySource::OpenResult DictdDictionarySource::open(const std::function<bool()> &isCancelled)
{
    const QFileInfo info(m_indexPath);
    QString base = info.absoluteFilePath();
    if (base.endsWith(QStringLiteral(".index")))
        base.chop(6);
    const QString dz = base + QStringLiteral(".dict.dz");
    const QString plain = base + QStringLiteral(".dict");
    const QString dataPath = QFileInfo::exists(dz) ? dz : plain;
    if (!QFileInfo(dataPath).isFile()) {
        m_error = QStringLiteral("the data file %1 (or %2) is missing beside %3")
                      .arg(QFileInfo(dz).fileName(), QFileInfo(plain).fileName(), info.fileName());
        return OpenResult::Unreadable;
    }

    QFile index(m_indexPath);
    if (!index.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("cannot open %1: %2").arg(info.fileName(), index.errorString());
        return OpenResult::Unreadable;
    }
    if (index.size() > kMaxIndexSize) {
        m_error = QStringLiteral("%1 is larger than %2 MB").arg(info.fileName()).arg(kMaxIndexSize >> 20);
        return OpenResult::Unreadable;
    }
    const QByteArray bytes = index.readAll();
    index.close();

    std::optional<std::pair<quint64, quint64>> shortName;
    quint64 line = 0;
    for (qsizetype at = 0; at < bytes.size();) {
        qsizetype end = bytes.indexOf('\n', at);
        if (end < 0)
            end = bytes.size();
        QByteArrayView text(bytes.constData() + at, end - at);
        at = end + 1;
        ++line;
        if (text.endsWith('\r'))
            text.chop(1);
        if (text.isEmpty())
            continue;
        if (line % 4096 == 0 && isCancelled && isCancelled())
            return OpenResult::Cancelled;
        const qsizetype tab1 = text.indexOf('\t');
        const qsizetype tab2 = tab1 < 0 ? -1 : text.indexOf('\t', tab1 + 1);
        qsizetype tab3 = tab2 < 0 ? -1 : text.indexOf('\t', tab2 + 1);
        const auto offset = tab2 < 0 ? std::nullopt : decodeNumber(text.sliced(tab1 + 1, tab2 - tab1 - 1));
        const auto length = tab2 < 0
            ? std::nullopt
            : decodeNumber(tab3 < 0 ? text.sliced(tab2 + 1) : text.sliced(tab2 + 1, tab3 - tab2 - 1));
        if (!offset || !length || tab1 == 0) {
            m_error = QStringLiteral("%1 line %2 is not \"headword<TAB>offset<TAB>length\"")
                          .arg(info.fileName())
                          .arg(line);
            return OpenResult::Unreadable;
        }
        const QByteArrayView key = text.first(tab1);
        if (isDatabaseEntry(key)) {
            if (key == "00-database-short" || key == "00databaseshort")
                shortName = std::pair { *offset, *length };
            continue;
        }
        // With a fourth field the first is the folded search key and the
        // fourth the headword as written.
        const QByteArrayView word = tab3 >= 0 && tab3 + 1 < text.size() ? text.sliced(tab3 + 1) : key;
        m_entries.push_back({ decodeText(word), *offset, *length });
    }
    if (m_entries.empty()) {
        m_error = QStringLiteral("%1 lists no entries").arg(info.fileName());
        return OpenResult::Unreadable;
    }
    if (!m_data.open(dataPath)) {
        m_error = m_data.errorText();
        return OpenResult::Unreadable;
    }
    if (shortName) {
        // The entry repeats its own name on the first line.
        if (const auto name = text(shortName->first, shortName->second)) {
            QString title = *name;
            if (title.startsWith(QStringLiteral("00-database-short"))
                || title.startsWith(QStringLiteral("00databaseshort")))
                title = title.section(u'\n', 1);
            m_title = title.simplified();
        }
        m_error.clear(); // a damaged title is no reason to refuse the entries
    }
    return OpenResult::Ready;
}

std::optional<QString> DictdDictionarySource::text(quint64 offset, quint64 length)
{
    const auto bytes = m_data.read(offset, length);
    if (!bytes) {
        m_error = m_data.errorText();
        return std::nullopt;
    }
    return decodeText(*bytes).trimmed();
}

bool DictdDictionarySource::next(QStringList *fields)
{
    if (m_next >= m_entries.size() || !m_error.isEmpty())
        return false;
    const Entry &e = m_entries[m_next];
    const auto body = text(e.offset, e.length);
    if (!body) {
        m_error = QStringLiteral("the entry \"%1\" (entry %2 of the index): %3")
                      .arg(e.word)
                      .arg(m_next + 1)
                      .arg(m_error);
        return false;
    }
    ++m_next;
    *fields = QStringList { e.word, *body };
    return true;
}
