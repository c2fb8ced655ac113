// User dictionaries: imports dictionary files (CSV, dictd, StarDict, EPWING:
// see DictionarySourceFactory) into the full-text table `edict` of "Dic.sqlite"
// and looks words up in the enabled dictionaries.
//
// An import is all or nothing: its rows go in under a new dictionary id that
// no master record names yet, so look-ups never see them; only when every
// row is in does one library transaction put the new master (and its
// columns) in place of the old one, whose rows then go. A cancelled, failed
// or killed import leaves the earlier install as it was. Unfinished imports
// are noted in the table "pendingImport" of the dictionary database and
// cleaned up by recoverInterruptedImports() (at construction and before
// every import).
//
// Threads: expandDic() runs on the calling thread with its own connections
// to the dictionary database and the library store (both in WAL mode), so it
// never shares a connection with the main thread; startImport() runs it on
// the manager's own worker, one import at a time, and the destructor cancels
// and waits for that worker. doSearchStr() runs on the main thread; cancel()
// may be called from any thread. Import progress is posted as "analyzeDic"
// through NotificationCenter.
#pragma once

#include "DictionaryLookup.h"
#include "core/library/DictionaryMaster.h"
#include "core/library/SqliteDatabase.h"

#include <QString>
#include <QThreadPool>
#include <QVariant>
#include <QVariantMap>
#include <atomic>
#include <memory>
#include <optional>

class JapaneseLemmas;
class LibraryStore;

class DictionaryManager
{
public:
    static constexpr const char *kAnalyzeDic = "analyzeDic";
    // The "result" of the last "analyzeDic" (status 2): whether the
    // dictionary went in, the import was cancelled (the earlier install
    // stays), the file could not be read as a dictionary, or it failed
    // (in both, the earlier install stays too).
    static constexpr const char *kResultInstalled = "installed";
    static constexpr const char *kResultCancelled = "cancelled";
    static constexpr const char *kResultUnreadable = "unreadable"; // the file is not a dictionary
    static constexpr const char *kResultFailed = "failed";

    // The dictionary database at `databasePath` ("Dic.sqlite" in the data
    // folder by default), created with its table when new. `library` is the
    // application's store (main thread): look-ups read the catalogue there,
    // and an import records its dictionary in the same file over a
    // connection of its own. The store must outlive the manager and stay
    // open on the same file while an import runs.
    explicit DictionaryManager(LibraryStore &library, QString databasePath = {});
    ~DictionaryManager();

    // Opens the main-thread connection; false when the database cannot be
    // opened or created (look-ups then find nothing).
    bool initDB();
    const QString &databasePath() const { return m_path; }

    // Installs the dictionary in the file at `csvPath` (a CSV file, a dictd
    // ".index" or a StarDict ".ifo", told apart by content; a data file of
    // a dictd or StarDict dictionary leads to the one beside it; an EPWING
    // book's CATALOGS file or folder): imports the rows, then records
    // a new DictionaryMaster with its columns in place of an earlier install
    // of the same "bookId" (whose rows are removed), and posts "analyzeDic"
    // with status 0, then 1 (after the header and about 50 times during the
    // rows; once the file has been counted, with "done" of "total" data
    // rows and "progress", that share from 0 to 1), then 2 with "tpath" and "result" ("installed",
    // "cancelled", "unreadable" or "failed"; also posted when nothing was installed; for "unreadable"
    // also "message", what is wrong with the file, in English). An empty "bookTitle" takes the
    // title the files give, else the file's base name. A file that cannot be
    // read or parsed, a cancel and a storage failure install nothing and keep the earlier install. Runs to
    // the end on the calling thread; true when the dictionary was installed.
    bool expandDic(const QString &csvPath, const QVariantMap &bookInfo, const QVariant &tPath);

    // expandDic() on the manager's worker; returns at once. A cancel pending
    // from before this call is dropped (it was meant for an earlier import).
    void startImport(const QString &csvPath, const QVariantMap &bookInfo, const QVariant &tPath);
    // Cancels what runs on the worker and waits up to `msecs` for it; false
    // when it is still running. Further imports are cancelled at once.
    bool shutdown(int msecs = 10000);

    // Stops a running import at the next row; nothing of it is kept.
    void cancel() { m_isCancel = true; }
    bool isCancel() const { return m_isCancel; }

    // Finishes what a killed import left: rows of an import whose master
    // was never recorded are removed, and so are the rows of a dictionary
    // that a recorded import replaced. Uses the library store given at
    // construction; false when either database is not open (nothing is
    // touched then). Not while an import runs.
    bool recoverInterruptedImports();

    // The rows for a word ("word", "item1".."item4", "dicId"), prefix matches
    // on the headword first, then word matches on the search key, without
    // duplicates; absent when no dictionary is enabled. Main thread.
    std::optional<QList<QVariantMap>> doSearchStr(const QString &word);

    // Looks a selection up as its LookupForms in turn (the selection, its
    // folded form, its inflections, the dictionary forms of its Japanese
    // words, its leading parts) and keeps the rows of the first form that
    // has any; absent when no dictionary is enabled, no rows when no form
    // has an entry. Main thread.
    std::optional<DictionaryLookup> lookUp(const QString &selection);

    // The tagger that finds the dictionary forms of Japanese words: made on
    // the first look-up of Japanese text over the system's MeCab dictionary
    // (loading it takes a while) and kept, unless one was given here. Main
    // thread; the manager shares ownership.
    void setJapaneseLemmas(std::shared_ptr<const JapaneseLemmas> lemmas);
    std::shared_ptr<const JapaneseLemmas> japaneseLemmas();

    // The quoted ids of the enabled dictionaries for an SQL "in (...)"
    // list; empty when none is enabled or the library store is closed.
    // Main thread.
    QStringList enabledIds() const;

    // The entry text of a row from its dictionary's column settings, as
    // DictionaryEntry::text() builds it; "" when the dictionary has none or
    // the library store is closed. Main thread.
    QString entryText(const QVariantMap &row) const;

    // The search key parts.
    static QString resolveString(const QString &text);
    static QString strReplace(const QString &text);
    static QString stringByStrippingHTML(const QString &text);
    static QString searchWordFor(const QString &word);
    // The body of an SQL string literal (single quotes doubled); the text of
    // a non-string; absent for absent.
    static std::optional<QString> escape(const QVariant &value);

    // Full-text queries that match like a plain word (or, with `prefix`, a
    // prefix of its last word) whatever the characters: the word is cut into
    // the tokens the table's tokenizer makes, so no query syntax survives.
    // Empty when the word has no token.
    static QString ftsQuery(const QString &word, bool prefix);

    // Rows inserted per transaction during an import. Each commit makes
    // the full-text index write and later merge another segment, which
    // costs more than the rows themselves; the rows stay invisible until
    // the end in any case.
    static constexpr int kRowsPerTransaction = 50000;

private:
    enum class Outcome { Imported, Cancelled, Unreadable, Failed };
    // What an import learnt from the file besides its records.
    struct ImportNotes {
        QString title; // the dictionary's own title, if it has one
        QString message; // why it could not be read
    };

    bool openDatabase(SqliteDatabase &db) const;
    // Stores the records of the dictionary file at `path` (any format
    // DictionarySourceFactory knows) under `dicId`.
    Outcome addDict(
        qint64 dicId, const QString &path, SqliteDatabase &db, QStringList *columns, ImportNotes *notes);
    // Rows for `word` in those dictionaries, at most `limit` (0: all).
    QList<QVariantMap> search(const QString &word, const QStringList &ids, int limit);
    bool consumeCancel(); // true (and cleared) when a cancel is pending, or closing
    static bool recover(SqliteDatabase &db, LibraryStore &library);

    QString m_path;
    LibraryStore &m_library;
    SqliteDatabase m_db;
    std::shared_ptr<const JapaneseLemmas> m_lemmas;
    std::atomic<bool> m_isCancel { false };
    std::atomic<bool> m_closing { false };
    // Last: destroyed first, waiting for a running import before anything
    // it uses goes.
    QThreadPool m_pool;
};
