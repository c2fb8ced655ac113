// A dictionary file (or set of files) read as records for the importer:
// column titles, then one record per entry, each a list of fields in column
// order (the first is the headword). DictionaryManager stores the records;
// a source only reads.
//
// Each format is one subclass in its own file, chosen by
// DictionarySourceFactory from the file's content. A source reads input
// from outside: any byte sequence gives records or an error text, never a
// crash, a hang or unbounded memory.
//
// One thread at a time: made, opened and read on the import's thread.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class DictionarySource
{
public:
    enum class OpenResult {
        Ready, // columns() and recordCount() are known; next() reads
        Cancelled, // `isCancelled` said so while opening
        Unreadable, // not this format, damaged or missing: errorText() says what
    };

    virtual ~DictionarySource() = default;

    // Reads what is needed before the first record (headers, indexes, a
    // counting pass). Long work polls `isCancelled` (may be empty) now and
    // then and stops when it returns true.
    virtual OpenResult open(const std::function<bool()> &isCancelled) = 0;

    // The column titles, at least one (the headword's). After a Ready open().
    virtual QStringList columns() const = 0;
    // The number of records next() will give, or an estimate of it, for the
    // progress; never below 0. After a Ready open().
    virtual quint64 recordCount() const = 0;
    // The next record into `fields`; false at the end, and when the input
    // turns out damaged part-way (errorText() is then not empty).
    virtual bool next(QStringList *fields) = 0;

    // Why the input could not be read (for the log and the user); empty
    // while nothing went wrong.
    virtual QString errorText() const = 0;

    // A name of the format for messages and the inspector ("csv", "dictd",
    // "stardict").
    virtual QString formatName() const = 0;
    // The dictionary's own title, when the files carry one; else empty.
    virtual QString title() const { return {}; }
};
