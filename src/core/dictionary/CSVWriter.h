// Writes CSV: fields quoted when they hold a newline, the delimiter or a
// double quote (quotes doubled), lines ended by "\n", comments as "#text".
// The encoding's byte-order mark, if it has one, is written once at the
// start. One thread at a time.
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QVariant>
#include <memory>

struct UConverter;

class CSVWriter
{
public:
    // Writes to `stream` (taken over; opened for writing when needed) in the
    // ICU encoding `encoding` ("UTF-8", "UTF-16", ...).
    CSVWriter(std::unique_ptr<QIODevice> stream, const char *encoding = "UTF-8", QChar delimiter = u',');
    ~CSVWriter();

    // UTF-8 with ",", the file created or truncated; nullptr when it cannot
    // be opened.
    static std::unique_ptr<CSVWriter> forWritingToCSVFile(const QString &path);

    // The field's text (numbers as decimal text, nothing for an invalid or
    // null value), after a delimiter when the line already has fields.
    void writeField(const QVariant &field);
    void finishLine();
    void writeLineOfFields(const QVariantList &fields);
    void writeComment(const QString &comment);
    void closeStream();

    bool isOpen() const { return m_stream != nullptr; }
    QIODevice *stream() const { return m_stream.get(); }

private:
    QByteArray encode(const QString &text) const; // without the mark

    std::unique_ptr<QIODevice> m_stream;
    UConverter *m_converter = nullptr;
    QByteArray m_mark;
    QByteArray m_delimiterBytes;
    QChar m_delimiter;
    int m_fieldsOnLine = 0;
};
