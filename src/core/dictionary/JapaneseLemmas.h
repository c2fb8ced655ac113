// The dictionary forms of the words of a Japanese selection, found with
// MeCab and its IPA dictionary: 「投与された」 gives 投与する and 投与,
// 「腫れていた」 腫れる, 「痛かった」 痛い, 「服用しないで」 服用する and 服用.
//
// Creating the tagger loads the dictionary and is slow: make one object and
// keep it. When MeCab's dictionary cannot be loaded the object is
// unavailable and every call gives nothing; that is logged once per process.
//
// Threads: the tagger is not reentrant, so forms() takes a lock; any thread
// may call it. The object is neither copied nor moved.
#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>

struct mecab_t;

class JapaneseLemmas
{
public:
    // The tagger over the dictionary in `dictionaryDir`, or over the
    // system's MeCab configuration (/etc/mecabrc) when it is empty.
    explicit JapaneseLemmas(const QString &dictionaryDir = {});
    ~JapaneseLemmas();
    JapaneseLemmas(const JapaneseLemmas &) = delete;
    JapaneseLemmas &operator=(const JapaneseLemmas &) = delete;

    // False when MeCab's dictionary could not be loaded.
    bool isAvailable() const { return m_tagger != nullptr; }

    // The forms to look the words of `text` up as, one content word after
    // the other: for a verb or an adjective its dictionary form, for a noun
    // of the kind that takes する followed by する that noun with する and
    // then the noun alone, for a compound noun the whole and then its
    // longer parts. Each text once, at most kMaxForms of them, from the
    // first kMaxInput characters. Empty when unavailable or when `text`
    // holds no kana or ideographs.
    QStringList forms(const QString &text) const;

    static constexpr int kMaxForms = 8;
    static constexpr int kMaxInput = 64;

private:
    mecab_t *m_tagger = nullptr;
    mutable QMutex m_lock;
};
