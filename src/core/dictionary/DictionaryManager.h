// User dictionaries: imports dictionary CSV files into the full-text table
// `edict` of "Dic.sqlite" and looks words up in the enabled dictionaries.
//
// Threads: expandDic() runs on a worker thread with its own connections to
// the dictionary database and the library store (both in WAL mode), so it
// never shares a connection with the main thread; doSearchStr() runs on the
// main thread; cancel() may be called from any thread. Import progress is
// posted as "analyzeDic" through NotificationCenter.
#pragma once

#include "library/DictionaryMaster.h"
#include "library/SqliteDatabase.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <atomic>
#include <optional>

class LibraryStore;

class DictionaryManager
{
public:
    static constexpr const char *kAnalyzeDic = "analyzeDic";

    // The dictionary database at `databasePath` ("Dic.sqlite" in the data
    // folder by default), created with its table when new; the library
    // store file the import records dictionaries in (the main store's file
    // by default, read when an import starts).
    explicit DictionaryManager(QString databasePath = {}, QString libraryPath = {});
    ~DictionaryManager();

    // Opens the main-thread connection; false when the database cannot be
    // opened or created (look-ups then find nothing).
    bool initDB();
    const QString &databasePath() const { return m_path; }

    // Installs the dictionary in the CSV file: replaces the rows of an earlier
    // install of the same "bookId", records a new DictionaryMaster with its
    // columns, imports the rows, and posts "analyzeDic" with status 0, then 1
    // (after the header and about 50 times during the rows), then 2 with
    // "tpath". Runs to the end on the calling thread.
    void expandDic(const QString &csvPath, const QVariantMap &bookInfo, const QVariant &tPath);

    // Stops a running import at the next row; the rows so far stay.
    void cancel() { m_isCancel = true; }
    bool isCancel() const { return m_isCancel; }

    // The rows for a word ("word", "item1".."item4", "dicId"), prefix matches
    // on the headword first, then word matches on the search key, without
    // duplicates; absent when no dictionary is enabled. Main thread.
    std::optional<QList<QVariantMap>> doSearchStr(const QString &word);

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

    // Rows inserted per transaction during an import.
    static constexpr int kRowsPerTransaction = 5000;

private:
    bool openDatabase(SqliteDatabase &db) const;
    void addDict(qint64 dicId, const QString &csvPath, const DictionaryMaster &master, SqliteDatabase &db,
                 LibraryStore &library);
    bool consumeCancel(); // true (and cleared) when a cancel is pending

    QString m_path;
    QString m_libraryPath;
    SqliteDatabase m_db;
    std::atomic<bool> m_isCancel{false};
};
