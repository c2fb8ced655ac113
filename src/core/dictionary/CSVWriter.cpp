#include "CSVWriter.h"

#include "core/util/DictionaryHelpers.h"

#include <QFile>
#include <QRegularExpression>
#include <unicode/ucnv.h>

CSVWriter::CSVWriter(std::unique_ptr<QIODevice> stream, const char *encoding, QChar delimiter)
    : m_stream(std::move(stream))
    , m_delimiter(delimiter)
{
    if (m_stream && !m_stream->isOpen() && !m_stream->open(QIODevice::WriteOnly | QIODevice::Truncate))
        m_stream.reset();
    UErrorCode status = U_ZERO_ERROR;
    m_converter = ucnv_open(encoding, &status);
    if (U_FAILURE(status))
        m_converter = nullptr;

    // The mark is what "a" has beyond half of "aa".
    auto raw = [&](const QString &s) {
        QByteArray out(s.size() * 8 + 16, Qt::Uninitialized);
        UErrorCode st = U_ZERO_ERROR;
        if (!m_converter)
            return s.toUtf8();
        ucnv_resetFromUnicode(m_converter);
        const int32_t n = ucnv_fromUChars(m_converter, out.data(), int32_t(out.size()),
            reinterpret_cast<const UChar *>(s.utf16()), int32_t(s.size()), &st);
        out.resize(U_SUCCESS(st) ? n : 0);
        return out;
    };
    const QByteArray a = raw(QStringLiteral("a"));
    const QByteArray aa = raw(QStringLiteral("aa"));
    if (aa.size() != 2 * a.size())
        m_mark = a.left(2 * a.size() - aa.size());
    if (m_stream && !m_mark.isEmpty())
        m_stream->write(m_mark);
    m_delimiterBytes = encode(QString(delimiter));
}

CSVWriter::~CSVWriter()
{
    closeStream();
    if (m_converter)
        ucnv_close(m_converter);
}

std::unique_ptr<CSVWriter> CSVWriter::forWritingToCSVFile(const QString &path)
{
    auto writer = std::make_unique<CSVWriter>(std::make_unique<QFile>(path));
    return writer->isOpen() ? std::move(writer) : nullptr;
}

QByteArray CSVWriter::encode(const QString &text) const
{
    if (!m_converter)
        return text.toUtf8();
    QByteArray out(text.size() * 8 + 16, Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    ucnv_resetFromUnicode(m_converter);
    const int32_t n = ucnv_fromUChars(m_converter, out.data(), int32_t(out.size()),
        reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()), &status);
    if (U_FAILURE(status))
        return {};
    out.resize(n);
    if (!m_mark.isEmpty() && out.startsWith(m_mark))
        out.remove(0, m_mark.size());
    return out;
}

void CSVWriter::writeField(const QVariant &field)
{
    if (!m_stream)
        return;
    if (m_fieldsOnLine > 0)
        m_stream->write(m_delimiterBytes);
    QString text;
    if (isNumberVariant(field))
        text = numberText(field);
    else if (field.isValid() && field.metaType().id() != QMetaType::Nullptr)
        text = field.toString();
    const bool quote = text.contains(m_delimiter) || text.contains(u'"')
        || std::any_of(text.cbegin(), text.cend(), [](QChar c) {
               const char16_t u = c.unicode();
               return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
           });
    if (quote) {
        text.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        text = u'"' + text + u'"';
    }
    m_stream->write(encode(text));
    ++m_fieldsOnLine;
}

void CSVWriter::finishLine()
{
    if (!m_stream)
        return;
    m_stream->write(encode(QStringLiteral("\n")));
    m_fieldsOnLine = 0;
}

void CSVWriter::writeLineOfFields(const QVariantList &fields)
{
    if (m_fieldsOnLine > 0)
        finishLine();
    for (const QVariant &f : fields)
        writeField(f);
    finishLine();
}

void CSVWriter::writeComment(const QString &comment)
{
    if (!m_stream)
        return;
    if (m_fieldsOnLine > 0)
        finishLine();
    static const QRegularExpression newlines(QStringLiteral("[\\n\\r\\x{85}\\x{2028}\\x{2029}]"));
    for (const QString &line : comment.split(newlines))
        m_stream->write(encode(u'#' + line + u'\n'));
}

void CSVWriter::closeStream()
{
    if (m_stream) {
        m_stream->close();
        m_stream.reset();
    }
}
