#include "CSVParser.h"

#include "core/util/Logging.h"

#include <QBuffer>
#include <QFile>

CSVParser::CSVParser(std::unique_ptr<QIODevice> stream, CSVEncoding *usedEncoding, QChar delimiter)
    : m_stream(std::move(stream))
    , m_delimiter(delimiter)
{
    if (m_stream && !m_stream->isOpen() && !m_stream->open(QIODevice::ReadOnly)) {
        m_openError = CSVError { kCSVErrorDomain, 2,
            QStringLiteral("cannot open the input: %1").arg(m_stream->errorString()) };
        m_stream.reset();
    }
    if (usedEncoding && *usedEncoding != CSVEncoding::Unknown) {
        m_encoding = *usedEncoding;
    } else {
        sniffEncoding();
        if (usedEncoding)
            *usedEncoding = m_encoding;
    }
    m_decoder = std::make_unique<CSVStreamDecoder>(m_encoding);
    if (!m_stream)
        m_streamAtEnd = true;
}

CSVParser::~CSVParser()
{
    if (m_stream)
        m_stream->close();
}

std::unique_ptr<CSVParser> CSVParser::withString(const QString &text, QChar delimiter)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(text.toUtf8());
    CSVEncoding encoding = CSVEncoding::UTF8;
    return std::make_unique<CSVParser>(std::move(buffer), &encoding, delimiter);
}

std::unique_ptr<CSVParser> CSVParser::withContentsOfFile(const QString &path, QChar delimiter)
{
    return std::make_unique<CSVParser>(std::make_unique<QFile>(path), nullptr, delimiter);
}

void CSVParser::setOptions(int options)
{
    setRecognizesBackslashesAsEscapes(options & 1);
    setSanitizesFields(options & 2);
    setRecognizesComments(options & 4);
    setStripsLeadingAndTrailingWhitespace(options & 8);
}

void CSVParser::sniffEncoding()
{
    m_encoding = CSVEncoding::UTF8;
    if (!m_stream)
        return;
    const QByteArray first = m_stream->read(kReadSize);
    if (first.isEmpty())
        return;
    m_bytes = first;
    m_totalBytesRead += quint64(first.size());
    const auto *b = reinterpret_cast<const unsigned char *>(first.constData());
    const qsizetype n = first.size();
    auto starts = [&](std::initializer_list<unsigned char> mark) {
        if (n < qsizetype(mark.size()))
            return false;
        qsizetype i = 0;
        for (unsigned char m : mark)
            if (b[i++] != m)
                return false;
        return true;
    };
    if (starts({ 0x00, 0x00, 0xFE, 0xFF })) {
        m_encoding = CSVEncoding::UTF32BE;
        m_bytes.remove(0, 4);
    } else if (starts({ 0xFF, 0xFE, 0x00, 0x00 })) {
        m_encoding = CSVEncoding::UTF32LE;
        m_bytes.remove(0, 4);
    } else if (starts({ 0x1B, 0x24, 0x29, 0x43 })) {
        m_encoding = CSVEncoding::ISO2022KR;
        m_bytes.remove(0, 4);
    } else if (starts({ 0xFE, 0xFF })) {
        m_encoding = CSVEncoding::UTF16BE;
        m_bytes.remove(0, 2);
    } else if (starts({ 0xFF, 0xFE })) {
        m_encoding = CSVEncoding::UTF16LE;
        m_bytes.remove(0, 2);
    } else if (starts({ 0xEF, 0xBB, 0xBF })) {
        m_encoding = CSVEncoding::UTF8;
        m_bytes.remove(0, 3);
    } else {
        // A multi-byte character may be cut at the end of the block.
        for (qsizetype cut = 0; cut <= 3 && cut < n; ++cut) {
            if (CSVStreamDecoder::isValidUtf8(first.constData(), n - cut))
                return;
        }
        qCWarning(lcDictionary) << "unable to determine stream encoding; assuming MacOSRoman";
        m_encoding = CSVEncoding::MacOSRoman;
    }
}

void CSVParser::fill()
{
    const qsizetype remaining = m_string.size() - m_next;
    if (!m_streamAtEnd && remaining <= std::max<qsizetype>(m_string.size() / 3, 10)) {
        const QByteArray more = m_stream->read(kReadSize);
        if (more.isEmpty()) {
            m_streamAtEnd = true;
        } else {
            m_bytes.append(more);
            m_totalBytesRead += quint64(more.size());
        }
    }
    if (!m_bytes.isEmpty() && !m_decoder->decode(m_bytes, m_string)) {
        // Nothing after undecodable bytes can be read: stop reading.
        m_streamAtEnd = true;
    }
}

void CSVParser::refill()
{
    fill();
    while (m_next >= m_string.size() && !m_streamAtEnd)
        fill();
    // The next read is due when the read position comes within
    // max(length / 3, 10) characters of the end of the text.
    const qsizetype size = m_string.size();
    m_refillAt = m_streamAtEnd && m_bytes.isEmpty() ? size : size - std::max<qsizetype>(size / 3, 10);
}

int CSVParser::peekPeek()
{
    while (m_next + 1 >= m_string.size() && !m_streamAtEnd)
        fill();
    return m_next + 1 < m_string.size() ? m_string.at(m_next + 1).unicode() : kEnd;
}

void CSVParser::dropConsumed()
{
    // Dropping after every field would move the rest of the text each time;
    // dropping once the consumed part is large keeps memory bounded as well.
    if (m_next > 4096 || m_next * 2 > m_string.size()) {
        m_string.remove(0, m_next);
        m_refillAt = std::max<qsizetype>(0, m_refillAt - m_next);
        m_next = 0;
    }
}

bool CSVParser::isNewline(int c)
{
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool CSVParser::isWhitespace(int c)
{
    return c == u' ' || c == u'\t'
        || (c > 0x7F && c != 0x85 && QChar::category(char32_t(c)) == QChar::Separator_Space);
}

void CSVParser::parse()
{
    while (parseStep()) { }
}

bool CSVParser::parseStep()
{
    if (m_finished)
        return false;
    if (!m_begun) {
        m_begun = true;
        if (m_delegate)
            m_delegate->parserDidBeginDocument(this);
        m_currentRecord = 0;
        if (m_openError)
            m_error = m_openError;
    }
    if (!m_error && parseRecord())
        return true;
    m_finished = true;
    if (m_error) {
        if (m_delegate && !isCancelled())
            m_delegate->didFailWithError(this, *m_error);
    } else if (m_delegate) {
        m_delegate->parserDidEndDocument(this);
    }
    return false;
}

bool CSVParser::parseRecord()
{
    while (m_comments && !isCancelled() && peek() == u'#')
        parseComment();

    m_fieldIndex = 0;
    ++m_currentRecord;
    if (m_delegate && !isCancelled())
        m_delegate->didBeginLine(this, m_currentRecord);

    bool ok = parseField();
    while (ok && parseDelimiter())
        ok = parseField();

    const bool newline = parseNewlines();
    if (m_delegate && !isCancelled())
        m_delegate->didEndLine(this, m_currentRecord);
    return newline && !m_error;
}

void CSVParser::parseComment()
{
    advance(); // "#"
    const qsizetype start = m_next;
    for (int c = peek(); c != kEnd && !isNewline(c); c = peek()) {
        advance();
        if (m_backslashes && c == u'\\' && peek() != kEnd)
            advance();
    }
    const QString comment = m_string.mid(start, m_next - start);
    if (m_delegate && !isCancelled())
        m_delegate->didReadComment(this, comment);
    dropConsumed();
    parseNewlines();
}

void CSVParser::skipWhitespace()
{
    for (int c = peek(); c != kEnd && c != m_delimiter.unicode() && isWhitespace(c); c = peek())
        advance();
}

bool CSVParser::parseField()
{
    if (isCancelled())
        return false;
    m_sanitizedField.clear();
    const qsizetype start = m_next;
    if (m_strips)
        skipWhitespace();
    if (peek() == u'"') {
        if (!parseEscapedField())
            return false;
    } else {
        parseUnescapedField();
        if (m_strips)
            m_sanitizedField = m_sanitizedField.trimmed();
    }
    if (m_strips)
        skipWhitespace();

    QString value;
    if (m_sanitizes) {
        value = m_sanitizedField;
    } else {
        value = m_string.mid(start, m_next - start);
        if (m_strips)
            value = value.trimmed();
    }
    if (m_delegate && !isCancelled())
        m_delegate->didReadField(this, value, m_fieldIndex);
    dropConsumed();
    ++m_fieldIndex;
    return true;
}

bool CSVParser::parseEscapedField()
{
    advance(); // opening quote
    for (int c = peek(); c != kEnd; c = peek()) {
        if (m_backslashes && c == u'\\') {
            advance();
            const int literal = peek();
            if (literal == kEnd)
                break;
            m_sanitizedField.append(QChar(literal));
            advance();
        } else if (c == u'"') {
            if (peekPeek() != u'"')
                break;
            m_sanitizedField.append(u'"');
            advance();
            advance();
        } else {
            m_sanitizedField.append(QChar(c));
            advance();
        }
    }
    if (peek() != u'"')
        return false;
    advance();
    return true;
}

void CSVParser::parseUnescapedField()
{
    const int delimiter = m_delimiter.unicode();
    if (!m_backslashes) {
        // The common case: the field is one run of text.
        const qsizetype start = m_next;
        for (int c = peek(); c != kEnd && c != u'"' && c != delimiter && !isNewline(c); c = peek())
            advance();
        m_sanitizedField = m_string.mid(start, m_next - start);
        return;
    }
    for (int c = peek(); c != kEnd; c = peek()) {
        if (c == u'\\') {
            advance();
            const int literal = peek();
            if (literal == kEnd)
                break;
            m_sanitizedField.append(QChar(literal));
            advance();
            continue;
        }
        if (c == u'"' || c == delimiter || isNewline(c))
            break;
        m_sanitizedField.append(QChar(c));
        advance();
    }
}

bool CSVParser::parseDelimiter()
{
    const int c = peek();
    if (c == m_delimiter.unicode()) {
        advance();
        return true;
    }
    if (c == kEnd || isNewline(c))
        return false;
    const auto hex = [](int code) { return QString::number(code, 16).toUpper(); };
    m_error = CSVError { kCSVErrorDomain, 1,
        QStringLiteral("Unexpected delimiter. Expected '%1' (0x%2), but got '%3' (0x%4)")
            .arg(m_delimiter, hex(m_delimiter.unicode()), QChar(c), hex(c)) };
    return false;
}

bool CSVParser::parseNewlines()
{
    if (isCancelled())
        return false;
    qsizetype count = 0;
    while (isNewline(peek())) {
        advance();
        ++count;
    }
    return count > 0 && !isCancelled();
}
