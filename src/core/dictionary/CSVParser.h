// A streaming CSV reader: decodes its input 512 bytes at a time (sniffing
// the encoding from the first bytes when none is given) and reports
// documents, records, fields and comments to a delegate. Consumed text is
// dropped as it goes, so memory stays proportional to the longest field.
//
// One parse per object, on one thread; cancelParsing() may be called from
// any thread.
#pragma once

#include "CSVEncoding.h"
#include "CSVParserDelegate.h"
#include "CSVStreamDecoder.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <atomic>
#include <memory>
#include <optional>

class CSVParser
{
public:
    // Reads `stream` (the parser takes it over and opens it when needed).
    // With `usedEncoding` pointing to a known encoding that one is used;
    // otherwise the encoding is sniffed from the first 512 bytes and, when
    // the pointer is given, written back.
    CSVParser(std::unique_ptr<QIODevice> stream, CSVEncoding *usedEncoding = nullptr, QChar delimiter = u',');
    ~CSVParser();

    // A parser over text (read as UTF-8).
    static std::unique_ptr<CSVParser> withString(const QString &text, QChar delimiter = u',');
    // A parser over a file; a file that cannot be opened makes parse()
    // report an error (code 2).
    static std::unique_ptr<CSVParser> withContentsOfFile(const QString &path, QChar delimiter = u',');

    void setDelegate(CSVParserDelegate *delegate) { m_delegate = delegate; }
    void setRecognizesBackslashesAsEscapes(bool on) { m_backslashes = on; }
    void setSanitizesFields(bool on) { m_sanitizes = on; }
    void setRecognizesComments(bool on) { m_comments = on; }
    void setStripsLeadingAndTrailingWhitespace(bool on) { m_strips = on; }
    // The option bits of the convenience readers: 1 backslash escapes,
    // 2 sanitize fields, 4 comments, 8 strip whitespace.
    void setOptions(int options);

    // Runs to the end of the input, calling the delegate.
    void parse();
    // Reads one record, calling the delegate for it (and for the start of
    // the document on the first call); true while more records may follow.
    // When it returns false the end or the failure of the document has been
    // reported, and further calls do nothing. parse() is this in a loop.
    bool parseStep();
    // Stops all further events; parse() then returns soon.
    void cancelParsing() { m_cancelled = true; }

    CSVEncoding streamEncoding() const { return m_encoding; }
    quint64 totalBytesRead() const { return m_totalBytesRead; }
    const std::optional<CSVError> &error() const { return m_error; }
    QChar delimiter() const { return m_delimiter; }

private:
    static constexpr int kEnd = -1;
    static constexpr int kReadSize = 512;

    void sniffEncoding();
    void fill(); // reads and decodes when the read position nears the end
    void refill();
    int peek()
    {
        if (m_next >= m_refillAt)
            refill();
        return m_next < m_string.size() ? m_string.at(m_next).unicode() : kEnd;
    }
    int peekPeek();
    void advance() { ++m_next; }
    void dropConsumed();
    bool isCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

    bool parseRecord();
    void parseComment();
    bool parseField();
    bool parseEscapedField();
    void parseUnescapedField();
    bool parseDelimiter();
    bool parseNewlines();
    void skipWhitespace();

    static bool isNewline(int c);
    static bool isWhitespace(int c);

    std::unique_ptr<QIODevice> m_stream;
    CSVEncoding m_encoding = CSVEncoding::UTF8;
    std::unique_ptr<CSVStreamDecoder> m_decoder;
    QByteArray m_bytes; // read, not yet decoded
    QString m_string; // decoded, not yet dropped
    qsizetype m_next = 0;
    qsizetype m_refillAt = 0; // peek() reads more once m_next gets here
    bool m_streamAtEnd = false;
    quint64 m_totalBytesRead = 0;

    QChar m_delimiter;
    bool m_backslashes = false;
    bool m_sanitizes = false;
    bool m_comments = false;
    bool m_strips = false;

    CSVParserDelegate *m_delegate = nullptr;
    std::optional<CSVError> m_error;
    std::optional<CSVError> m_openError;
    qint64 m_fieldIndex = 0;
    quint64 m_currentRecord = 0;
    QString m_sanitizedField;
    std::atomic<bool> m_cancelled { false };
    bool m_begun = false;
    bool m_finished = false;
};
