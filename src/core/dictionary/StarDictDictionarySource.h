// A StarDict dictionary: the ".ifo" file the user picks ("StarDict's dict
// ifo file", then key=value lines: version 2.4.2 or 3.0.0, wordcount,
// bookname, sametypesequence, idxoffsetbits, synwordcount) and beside it
// "NAME.idx" (or "NAME.idx.gz": per word its UTF-8 headword, a NUL, the
// offset and size of its data, big-endian), "NAME.dict.dz" (dictzip) or
// "NAME.dict", and optionally "NAME.syn" (per synonym: the word, a NUL, the
// big-endian number of its entry in the index).
//
// Records have two columns, 見出し語 (headword) and 内容 (the entry's text
// fields joined by line breaks; markup of HTML, Pango and XDXF fields
// removed; pictures, sounds and other binary fields left out). The entries
// of the index come first, then one record per synonym with its entry's
// text.
//
// A missing sibling, a count that disagrees with the files, an index cut
// short, offsets outside the data and a damaged data file are errors that
// name what is wrong.
//
// One thread at a time.
#pragma once

#include "DictionarySource.h"
#include "DictzipFile.h"

#include <QByteArray>
#include <vector>

class StarDictDictionarySource : public DictionarySource
{
public:
    // The largest ".idx" and ".syn" read (both are kept in memory).
    static constexpr qint64 kMaxIndexSize = 512LL * 1024 * 1024;
    static constexpr const char *kMagic = "StarDict's dict ifo file";

    explicit StarDictDictionarySource(QString ifoPath);

    OpenResult open(const std::function<bool()> &isCancelled) override;
    QStringList columns() const override;
    quint64 recordCount() const override { return m_entries.size() + m_synonyms.size(); }
    bool next(QStringList *fields) override;
    QString errorText() const override { return m_error; }
    QString formatName() const override { return QStringLiteral("stardict"); }
    QString title() const override { return m_title; }

    // Whether `head` (the first bytes of a file) starts like an ".ifo".
    static bool looksLikeIfo(const QByteArray &head);

    // The text of one entry's data as a record shows it, for the given
    // "sametypesequence" (empty: every field carries its type); absent when
    // the data is malformed.
    static std::optional<QString> entryText(const QByteArray &data, const QByteArray &sameTypeSequence);

private:
    struct Entry {
        QString word;
        quint64 offset;
        quint32 size;
    };
    struct Synonym {
        QString word;
        quint32 entry;
    };

    bool readIndex(const QString &path, bool offsets64, quint64 wordCount,
        const std::function<bool()> &isCancelled, bool *cancelled);
    bool readSynonyms(const QString &path, quint64 synCount);
    std::optional<QString> textOf(const Entry &e);

    QString m_ifoPath;
    QString m_title;
    QString m_error;
    QByteArray m_sameTypeSequence;
    std::vector<Entry> m_entries;
    std::vector<Synonym> m_synonyms;
    size_t m_next = 0;
    DictzipFile m_data;
};
