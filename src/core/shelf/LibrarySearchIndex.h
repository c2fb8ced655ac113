// A full-text index of every book in the contents folder: the text of each
// EPUB spine item (exactly the text the reader's own search reads) and of
// each PDF page, in an SQLite FTS5 table of its own file
// ("LibrarySearch.sqlite" in the data folder). Every substring of the text
// is findable, case ignored (SubstringTokenizer), so a term the reader's
// search finds in a book is found here too, inside Japanese compounds and
// inside words alike. update() brings it in line with the folder: books added or
// replaced (other size or modification time) are read again, books gone are
// dropped, so nothing else needs to tell it about installs or deletions.
//
// Threads: an object (one connection) belongs to one thread; several objects
// on the same file may be used from different threads at once (the file is
// in WAL mode: searches read while an update writes).
#pragma once

#include "core/library/SqliteDatabase.h"

#include <QFileInfo>
#include <QList>
#include <QString>
#include <atomic>
#include <functional>

class LibrarySearchIndex
{
public:
    struct Hit {
        QString fileName; // in the contents folder
        QString title; // the book's title (file name when it has none)
        bool isPdf = false;
        int page = 0; // EPUB spine index or PDF page, from 0
        QString manifestId; // EPUB: the spine item's id
        QString location; // chapter title (EPUB) or page label (PDF)
        QString snippet; // the words around the hit
        int markStart = -1; // the term in `snippet`, when found there
        int markLength = 0;
    };

    // $HOME/.data/LibrarySearch.sqlite
    static QString defaultPath();

    // Opens (creating) the index; isOpen() is false when it cannot.
    explicit LibrarySearchIndex(const QString &path = defaultPath());
    bool isOpen() const { return m_db.isOpen(); }
    const QString &lastError() const { return m_error; }

    // Indexes what changed in `contentsFolder` and drops what is gone.
    // `progress(done, total)` runs on the calling thread after each book
    // (total: the books to read); `cancel` is polled between books and pages.
    // False when the database fails or on cancel (what was done stays).
    bool update(const QString &contentsFolder, const std::function<void(int, int)> &progress = {},
        const std::atomic_bool *cancel = nullptr);
    // (Re)indexes one book file; false when it cannot be read as a book (it
    // is then left out) or the database fails.
    bool indexBook(const QString &path, const std::atomic_bool *cancel = nullptr);
    bool removeBook(const QString &fileName);

    // Every indexed item (spine item or page) holding the term as typed
    // (case ignored), by book title and page; at most `limit`. Empty for an
    // empty term.
    QList<Hit> search(const QString &term, int limit = 1000) const;
    int bookCount() const;

    // The FTS5 query for a term: the quoted term, as a prefix when shorter
    // than a token; empty for an empty term.
    static QString queryFor(const QString &term);
    // The words around the first occurrence of `term` in `body` (case
    // ignored), and where the term lies in them (-1 when not found as
    // typed: the beginning of the body is shown).
    static QString snippetFor(const QString &body, const QString &term, int *markStart);

private:
    struct Row;
    // Reads the rows of one book; false when it is not a readable book.
    static bool readBook(
        const QFileInfo &info, QList<Row> *rows, QString *title, bool *isPdf, const std::atomic_bool *cancel);
    // Replaces the book's rows inside the transaction the caller holds;
    // `isNew`: the index holds nothing of it (nothing to remove first).
    bool storeBook(
        const QFileInfo &info, const QList<Row> &rows, const QString &title, bool isPdf, bool isNew = false);
    bool exec(const QString &sql);

    SqliteDatabase m_db;
    QString m_error;
};
