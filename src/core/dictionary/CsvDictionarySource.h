// A dictionary CSV file: its first record holds the column titles, every
// later record is an entry (headword first). The encoding is sniffed as the
// CSV reader does; fields are sanitized (quotes removed). A record of one
// empty field (a blank line, the end after a final line break) is no entry.
//
// open() makes a counting pass over the whole file first (so the progress
// knows the total and a file that does not parse yields nothing), then
// reads the header. A file with no record at all, one that cannot be opened
// and one that does not parse are Unreadable.
//
// One thread at a time.
#pragma once

#include "CSVParser.h"
#include "DictionarySource.h"

#include <memory>

class CsvDictionarySource : public DictionarySource
{
public:
    explicit CsvDictionarySource(QString path);
    ~CsvDictionarySource() override;

    OpenResult open(const std::function<bool()> &isCancelled) override;
    QStringList columns() const override { return m_columns; }
    quint64 recordCount() const override { return m_records > 0 ? m_records - 1 : 0; }
    bool next(QStringList *fields) override;
    QString errorText() const override { return m_error; }
    QString formatName() const override { return QStringLiteral("csv"); }

private:
    class Reader;

    QString m_path;
    QStringList m_columns;
    quint64 m_records = 0; // with the header
    QString m_error;
    std::unique_ptr<Reader> m_reader;
    std::unique_ptr<CSVParser> m_parser;
};
