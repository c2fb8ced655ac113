// Receives the events of a CSVParser. Every method is optional: the
// defaults do nothing. Called on the thread that runs CSVParser::parse().
#pragma once

#include <QString>

class CSVParser;

// A parse failure: domain kCSVErrorDomain, code 1 for an unexpected
// delimiter, 2 for an input that cannot be opened.
struct CSVError {
    QString domain;
    int code = 0;
    QString description;
};

inline const QString kCSVErrorDomain = QStringLiteral("jp.tavro.csv");

class CSVParserDelegate
{
public:
    virtual ~CSVParserDelegate() = default;
    virtual void parserDidBeginDocument(CSVParser *) { }
    virtual void didBeginLine(CSVParser *, quint64 recordNumber) { Q_UNUSED(recordNumber); }
    virtual void didReadField(CSVParser *, const QString &field, qint64 index)
    {
        Q_UNUSED(field);
        Q_UNUSED(index);
    }
    virtual void didReadComment(CSVParser *, const QString &comment) { Q_UNUSED(comment); }
    virtual void didEndLine(CSVParser *, quint64 recordNumber) { Q_UNUSED(recordNumber); }
    virtual void parserDidEndDocument(CSVParser *) { }
    virtual void didFailWithError(CSVParser *, const CSVError &error) { Q_UNUSED(error); }
};
