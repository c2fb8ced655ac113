// A parser delegate that collects the records as lists of field strings.
#pragma once

#include "CSVParserDelegate.h"

#include <QList>
#include <QStringList>
#include <optional>

class CSVAggregator : public CSVParserDelegate
{
public:
    // The records read; absent after a failure.
    std::optional<QList<QStringList>> lines;
    std::optional<CSVError> error;

    void parserDidBeginDocument(CSVParser *) override { lines.emplace(); }
    void didBeginLine(CSVParser *, quint64) override { m_current.clear(); }
    void didReadField(CSVParser *, const QString &field, qint64) override { m_current.append(field); }
    void didEndLine(CSVParser *, quint64) override
    {
        if (lines)
            lines->append(m_current);
    }
    void didFailWithError(CSVParser *, const CSVError &e) override
    {
        error = e;
        lines.reset();
    }

private:
    QStringList m_current;
};
