// An EPWING book (or an older EB, EBG or EBXA disc) read through libeb: the
// book's folder, which holds its "CATALOGS" (or "CATALOG") file and one
// folder per subbook. The user picks the CATALOGS file; the folder itself,
// and a subbook's "HONMON" text file, lead to the same book.
//
// Records have two columns, 見出し語 (headword) and 内容 (the entry's text):
// every entry of the text of every subbook, in the book's order. The book
// has no list of its entries, so open() walks each subbook's text from its
// start, entry by entry, and keeps where each one begins; next() reads one
// entry there. The headword is the entry's first search key (the marked
// heading that starts an entry), else its first line; an entry without
// either is no record. Text in JIS X 0208 becomes UTF-8; a character the
// book defines itself (gaiji, drawn from its own font) becomes "〓", as do
// GB 2312 characters; pictures, sounds and links leave no text. The title
// is the subbooks' titles.
//
// A folder that is not a book, a catalogue naming missing subbooks, text
// that cannot be read and text that does not advance are errors that name
// what is wrong. An entry longer than kMaxEntryBytes is cut there.
//
// Threads: one thread at a time per source (open() on one thread and next()
// on another is fine, one after the other). libeb is built without locks of
// its own and keeps some state for all books, so every call into it, from
// any source, runs under one process-wide lock; two imports of books take
// turns entry by entry.
#pragma once

#include "DictionarySource.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

struct EB_Book_Struct;
struct EB_Hookset_Struct;
struct UConverter;

class EpwingDictionarySource : public DictionarySource
{
public:
    // The longest entry text kept, in bytes as the book stores it.
    static constexpr qsizetype kMaxEntryBytes = 1024 * 1024;
    // The most entries read from one book.
    static constexpr size_t kMaxEntries = 20'000'000;

    // Over the book whose folder is `bookFolder` (see bookFolder()).
    explicit EpwingDictionarySource(QString bookFolder);
    ~EpwingDictionarySource() override;
    EpwingDictionarySource(const EpwingDictionarySource &) = delete;
    EpwingDictionarySource &operator=(const EpwingDictionarySource &) = delete;

    OpenResult open(const std::function<bool()> &isCancelled) override;
    QStringList columns() const override;
    quint64 recordCount() const override { return m_entries.size(); }
    bool next(QStringList *fields) override;
    QString errorText() const override { return m_error; }
    QString formatName() const override { return QStringLiteral("epwing"); }
    QString title() const override { return m_title; }

    // The folder of the book that `path` names: a folder holding a
    // CATALOGS or CATALOG file, such a file itself, or a subbook's text file
    // ("HONMON…" in the subbook's data folder). Absent for anything else.
    // Looks only at names and folders; any thread.
    static std::optional<QString> bookFolder(const QString &path);

private:
    struct Entry {
        int subbook; // index into m_subbooks
        int page;
        int offset;
    };
    struct BookDeleter {
        void operator()(EB_Book_Struct *book) const;
    };
    struct HooksetDeleter {
        void operator()(EB_Hookset_Struct *hooks) const;
    };
    struct ConverterDeleter {
        void operator()(UConverter *converter) const;
    };

    // Walks the text of the subbook at `index` and appends its entries;
    // false (with m_error set) when it cannot, or when cancelled.
    bool listEntries(int index, const std::function<bool()> &isCancelled, bool *cancelled);
    bool selectSubbook(int index);
    // The entry's text as the book stores it (markers for its search keys
    // around them); absent (with m_error set) when it cannot be read.
    std::optional<QByteArray> readEntry(const Entry &entry);
    QString decode(const QByteArray &bytes);
    QString failure(const QString &what, int code) const;

    QString m_folder;
    QString m_title;
    QString m_error;
    std::unique_ptr<EB_Book_Struct, BookDeleter> m_book;
    std::unique_ptr<EB_Hookset_Struct, HooksetDeleter> m_hooks;
    std::unique_ptr<UConverter, ConverterDeleter> m_euc;
    std::vector<int> m_subbooks; // libeb's subbook codes
    std::vector<QString> m_subbookNames;
    QStringList m_withoutText; // names of the subbooks that have no text
    int m_current = -1; // the subbook libeb has selected
    bool m_latin1 = false; // the book's text is ISO 8859-1, not JIS X 0208
    QByteArray m_buffer; // what libeb writes an entry's text into
    std::vector<Entry> m_entries;
    size_t m_next = 0;
};
