// A dictd database: the ".index" file the user picks (one line per entry:
// headword, TAB, offset, TAB, length, both numbers in dictd's base64
// digits, and an optional fourth field with the headword as written) and
// its data file beside it, "NAME.dict.dz" (dictzip) or "NAME.dict". Records
// have two columns, 見出し語 (headword) and 内容 (the entry's text from the
// data file). The database's own entries ("00-database-…", "00database…")
// are no records; "00-database-short" gives the title.
//
// Text that is not UTF-8 is read as Latin-1 (older databases). A missing
// data file, a malformed index line, an offset or length outside the data
// and a damaged data file are errors that name what is wrong.
//
// One thread at a time.
#pragma once

#include "DictionarySource.h"
#include "DictzipFile.h"

#include <QByteArray>
#include <optional>
#include <vector>

class DictdDictionarySource : public DictionarySource
{
public:
    // The largest index read (the whole index is kept in memory).
    static constexpr qint64 kMaxIndexSize = 256LL * 1024 * 1024;

    explicit DictdDictionarySource(QString indexPath);

    OpenResult open(const std::function<bool()> &isCancelled) override;
    QStringList columns() const override;
    quint64 recordCount() const override { return m_entries.size(); }
    bool next(QStringList *fields) override;
    QString errorText() const override { return m_error; }
    QString formatName() const override { return QStringLiteral("dictd"); }
    QString title() const override { return m_title; }

    // Whether `head` (the first bytes of a file) reads like the start of a
    // dictd index.
    static bool looksLikeIndex(const QByteArray &head);
    // A dictd base64 number ("A" is 0, "/" is 63, most significant digit
    // first); absent for an empty, overlong or malformed one.
    static std::optional<quint64> decodeNumber(QByteArrayView digits);

private:
    struct Entry {
        QString word;
        quint64 offset;
        quint64 length;
    };

    std::optional<QString> text(quint64 offset, quint64 length);

    QString m_indexPath;
    QString m_title;
    QString m_error;
    std::vector<Entry> m_entries;
    size_t m_next = 0;
    DictzipFile m_data;
};
