// The dictionary window's logic, without a window: headwords that start
// with what is typed, across the enabled dictionaries; entries whose text
// mentions a word (the full-text table); the words looked up, with back
// and forward, kept between runs in the user defaults and clearable; and
// the window's last mode and search text, kept with them.
//
// Headword prefixes are answered from an ordinary index of the folded
// headwords ("headwordIndex" in the dictionary database, beside the
// full-text table), because a prefix query on the full-text table reads
// every matching term's rows. The index is derived data: a dictionary that
// is not in it yet (or that changed since) is indexed on its first query
// (about 2 s for EDICT), or, when the caller indexes on a worker
// (setIndexesItself(false), indexHeadwords()), answered from the full-text
// table until then (which misses the headwords whose folded form its tokens
// do not show, such as full-width letters). An index that cannot be written
// leaves those dictionaries answered from the full-text table.
//
// Main thread only (but the static indexHeadwords(), any thread): the
// object has its own connection to the dictionary database and asks the
// manager it was made over which dictionaries are enabled.
#pragma once

#include "core/library/SqliteDatabase.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

class DictionaryManager;

class DictionaryBrowser
{
public:
    // Which rows the window lists: headwords() or mentions().
    enum class Mode { Headword = 0, Mentions = 1 };

    // Over the dictionary database of `manager` (which must outlive this
    // object and tells the enabled dictionaries); the history under
    // `historyKey` of the user defaults.
    explicit DictionaryBrowser(
        const DictionaryManager &manager, QString historyKey = QStringLiteral("dictionaryHistory"));

    // Rows ("word", "item1".."item4", "dicId") whose headword starts with
    // `prefix` (both folded: NFKC, case, surrounding punctuation), in code
    // point order of the folded headword (so an exact match comes first), at
    // most `limit`. Absent when no dictionary is enabled;
    // empty for a blank prefix or when the database cannot be read.
    std::optional<QList<QVariantMap>> headwords(const QString &prefix, int limit = kLimit);

    // Rows whose entry text (the columns after the headword) holds every
    // word of `text`, at most `limit`, in the order they were installed.
    // Absent when no dictionary is enabled; empty when `text` has no word.
    std::optional<QList<QVariantMap>> mentions(const QString &text, int limit = kLimit);

    // Whether headwords() indexes missing dictionaries itself, on the
    // calling thread (the default).
    void setIndexesItself(bool itself) { m_indexesItself = itself; }
    // The enabled dictionaries (their ids) that the headword index lacks
    // or holds an old install of; reads only.
    QStringList unindexed();
    // Indexes the dictionaries `dicIds` (and drops the index rows of
    // dictionaries gone) in the database at `databasePath`, over a
    // connection of its own: any thread, while the main thread reads. False
    // when the database cannot be opened or written.
    static bool indexHeadwords(const QString &databasePath, const QStringList &dicIds);
    // Checks the index afresh on the next query (after indexHeadwords()).
    void recheck() { m_checked.clear(); }

    // The history: visit() adds a word after the current one (dropping the
    // words one had gone back past, and an immediate repeat) and makes it
    // current; back() and forward() move and return the new current word,
    // absent at either end. Kept at most kMaxHistory words, oldest dropped.
    void visit(const QString &word);
    std::optional<QString> back();
    std::optional<QString> forward();
    bool canGoBack() const { return m_position > 0; }
    bool canGoForward() const { return m_position + 1 < m_history.size(); }
    // The current word; "" with no history.
    QString current() const { return m_history.value(m_position); }
    const QStringList &history() const { return m_history; }
    // Forgets every word, here and in the user defaults (the kept word
    // too; the kept mode stays).
    void clearHistory();

    // What the window showed last: its mode and the text in its search
    // field, kept with the history so that the next opening, in this run or
    // a later one, starts there. Headword and "" at first.
    Mode keptMode() const { return m_keptMode; }
    const QString &keptWord() const { return m_keptWord; }
    void keep(Mode mode, const QString &word);

    static constexpr int kLimit = 200;
    static constexpr int kMaxHistory = 500;
    // The longest search text kept (a paste of a whole page is not).
    static constexpr int kMaxKeptWord = 200;

private:
    bool open();
    // The ids of the quoted `ids` whose index rows are missing or stale.
    QStringList missingFrom(const QStringList &ids);
    static bool createIndexTables(SqliteDatabase &db);
    static bool indexInto(SqliteDatabase &db, const QStringList &dicIds);
    // Rows of the dictionaries `dicIds` whose headword starts with `key`,
    // from the full-text table.
    QList<QVariantMap> fromFullText(const QString &key, const QStringList &dicIds, int limit);
    void saveHistory() const;

    const DictionaryManager &m_manager;
    QString m_path;
    QString m_historyKey;
    SqliteDatabase m_db;
    QSet<QString> m_checked; // dictionaries whose index was found current
    bool m_indexesItself = true;
    QStringList m_history;
    qsizetype m_position = -1;
    Mode m_keptMode = Mode::Headword;
    QString m_keptWord;
};
