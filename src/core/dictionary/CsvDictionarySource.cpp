#include "CsvDictionarySource.h"

namespace
{

// The importer's reading options: fields sanitized (quotes removed), no
// escapes, comments or trimming.
constexpr int kOptions = 2;

// Counts the records of a CSV file and notes whether it parses.
class RecordCounter : public CSVParserDelegate
{
public:
    quint64 records = 0;
    std::optional<CSVError> error;
    bool cancelled = false;
    std::function<bool()> isCancelled;
    void didBeginLine(CSVParser *, quint64) override
    {
        m_fields = 0;
        m_empty = true;
    }
    void didReadField(CSVParser *, const QString &field, qint64) override
    {
        ++m_fields;
        m_empty = m_empty && field.isEmpty();
    }
    void didEndLine(CSVParser *parser, quint64) override
    {
        if (!(m_fields == 1 && m_empty))
            ++records;
        // Counting a large file takes a while: a cancel (or quitting) need
        // not wait for it.
        if (records % 1024 == 0 && isCancelled && isCancelled()) {
            cancelled = true;
            parser->cancelParsing();
        }
    }
    void didFailWithError(CSVParser *, const CSVError &e) override { error = e; }

private:
    int m_fields = 0;
    bool m_empty = true;
};

} // namespace

// Keeps the fields of the record the parser just ended.
class CsvDictionarySource::Reader : public CSVParserDelegate
{
public:
    QStringList fields;
    bool ended = false;
    void didBeginLine(CSVParser *, quint64) override
    {
        fields.clear();
        ended = false;
    }
    void didReadField(CSVParser *, const QString &field, qint64) override { fields.append(field); }
    void didEndLine(CSVParser *, quint64) override
    {
        // A record holding one empty field (the one after a final line
        // break, or a line of just "") is no entry.
        ended = !(fields.size() == 1 && fields.first().isEmpty());
    }
};

CsvDictionarySource::CsvDictionarySource(QString path)
    : m_path(std::move(path))
{
}

CsvDictionarySource::~CsvDictionarySource() = default;

DictionarySource::OpenResult CsvDictionarySource::open(const std::function<bool()> &isCancelled)
{
    // First pass: the number of records (for the progress step), and whether
    // the file parses at all; a file that does not yields nothing.
    {
        RecordCounter counter;
        counter.isCancelled = isCancelled;
        auto parser = CSVParser::withContentsOfFile(m_path);
        parser->setOptions(kOptions);
        parser->setDelegate(&counter);
        parser->parse();
        if (counter.cancelled)
            return OpenResult::Cancelled;
        if (counter.error) {
            m_error = counter.error->description;
            return OpenResult::Unreadable;
        }
        m_records = counter.records;
    }
    if (m_records == 0) {
        m_error = QStringLiteral("the file holds no records");
        return OpenResult::Unreadable;
    }
    m_reader = std::make_unique<Reader>();
    m_parser = CSVParser::withContentsOfFile(m_path);
    m_parser->setOptions(kOptions);
    m_parser->setDelegate(m_reader.get());
    if (!next(&m_columns)) {
        // The file changed between the passes.
        m_error = QStringLiteral("the file changed while it was read");
        return OpenResult::Unreadable;
    }
    return OpenResult::Ready;
}

bool CsvDictionarySource::next(QStringList *fields)
{
    if (!m_parser)
        return false;
    for (;;) {
        m_reader->ended = false;
        const bool more = m_parser->parseStep();
        if (m_reader->ended) {
            *fields = m_reader->fields;
            return true;
        }
        if (!more) {
            if (m_parser->error())
                m_error = m_parser->error()->description;
            m_parser.reset();
            return false;
        }
    }
}
