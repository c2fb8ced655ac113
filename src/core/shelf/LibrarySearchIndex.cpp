#include "LibrarySearchIndex.h"

#include "SubstringTokenizer.h"

#include "core/content/BookFormat.h"
#include "core/content/BookUrl.h"
#include "core/content/EPUBManager.h"
#include "core/content/EPUBURLProtcol.h"
#include "core/platform/AppResources.h"
#include "core/platform/DataFolder.h"
#include "core/reader/BookSearchText.h"
#include "core/reader/PdfTextSearch.h"
#include "core/util/Logging.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QUrl>

namespace
{

bool isCancelled(const std::atomic_bool *cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

// The title of each spine item: the table-of-contents entry that points at
// its file, else the title of the item before it.
QStringList chapterTitles(const EPUBManager &epub)
{
    QHash<QString, QString> byHref;
    std::function<void(const QVariantList &, int)> walk = [&](const QVariantList &entries, int depth) {
        if (depth > 32)
            return;
        for (const QVariant &v : entries) {
            const QVariantMap e = v.toMap();
            const QString href = e.value(QStringLiteral("content")).toString().section(u'#', 0, 0);
            if (!href.isEmpty() && !byHref.contains(href))
                byHref.insert(href, e.value(QStringLiteral("text")).toString());
            walk(e.value(QStringLiteral("child")).toList(), depth + 1);
        }
    };
    if (epub.toc())
        walk(*epub.toc(), 0);
    QStringList titles;
    QString last;
    for (const QVariant &v : epub.spine()) {
        const QString href = v.toMap().value(QStringLiteral("href")).toString();
        last = byHref.value(href, last);
        titles << last;
    }
    return titles;
}

} // namespace

// The layout of the tables, in PRAGMA user_version. 3: every substring
// findable (FTS5, SubstringTokenizer); older indexes are read again.
constexpr int kLayout = 3;

QString LibrarySearchIndex::defaultPath()
{
    return DataFolder::path() + QStringLiteral("/LibrarySearch.sqlite");
}

LibrarySearchIndex::LibrarySearchIndex(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!m_db.open(path)) {
        m_error = m_db.lastError();
        return;
    }
    if (!SubstringTokenizer::registerWith(m_db.handle(), &m_error)) {
        qCWarning(lcLibrary) << "library search index unusable:" << m_error;
        m_db.close();
        return;
    }
    // Another connection (an update on the indexer's worker) may hold the
    // file for a moment: wait for it rather than fail.
    m_db.exec(QStringLiteral("PRAGMA busy_timeout=10000"));
    m_db.scalar(QStringLiteral("PRAGMA journal_mode=WAL"));
    m_db.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    // An index of an older layout is dropped; update() fills it again. One
    // transaction, so that two connections opening a new file at once do not
    // drop each other's tables.
    m_db.exec(QStringLiteral("BEGIN IMMEDIATE"));
    if (m_db.scalar(QStringLiteral("PRAGMA user_version")).toInt() != kLayout)
        m_db.exec(QStringLiteral("DROP TABLE IF EXISTS bookText; DROP TABLE IF EXISTS textRow; "
                                 "DROP TABLE IF EXISTS indexedBook;"));
    // `body` is both what is searched and what the snippets come from;
    // textRow says where each row's text is, kept apart from the long texts
    // so that sorting and deleting never read them.
    if (!exec(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS indexedBook(fileName TEXT PRIMARY KEY, title TEXT, "
            "isPdf INTEGER, size INTEGER, modified INTEGER);"
            "CREATE VIRTUAL TABLE IF NOT EXISTS bookText USING fts5(body, tokenize='%2', columnsize=0);"
            "CREATE TABLE IF NOT EXISTS textRow(docid INTEGER PRIMARY KEY, fileName TEXT, page INTEGER, "
            "manifestId TEXT, location TEXT);"
            "CREATE INDEX IF NOT EXISTS textRowFile ON textRow(fileName);"
            "PRAGMA user_version=%1; COMMIT;")
                  .arg(kLayout)
                  .arg(QLatin1String(SubstringTokenizer::kName)))) {
        m_db.exec(QStringLiteral("ROLLBACK"));
        qCWarning(lcLibrary) << "library search index unusable:" << m_error;
        m_db.close();
    }
}

bool LibrarySearchIndex::exec(const QString &sql)
{
    if (m_db.exec(sql))
        return true;
    m_error = m_db.lastError();
    return false;
}

QString LibrarySearchIndex::queryFor(const QString &term)
{
    if (term.isEmpty())
        return {};
    QString quoted = term;
    quoted.replace(u'"', QStringLiteral("\"\""));
    quoted = u'"' + quoted + u'"';
    // A term shorter than a token is looked for as the beginning of the
    // tokens: every place where it starts.
    if (term.toUcs4().size() < SubstringTokenizer::kTokenLength)
        quoted += QStringLiteral(" *");
    return quoted;
}

QString LibrarySearchIndex::snippetFor(const QString &body, const QString &term, int *markStart)
{
    constexpr int kBefore = 30;
    constexpr int kAfter = 50;
    const qsizetype at = body.indexOf(term, 0, Qt::CaseInsensitive);
    const qsizetype from = at < 0 ? 0 : std::max<qsizetype>(0, at - kBefore);
    const qsizetype to = std::min<qsizetype>(body.size(), (at < 0 ? 0 : at + term.size()) + kAfter);
    QString snippet = body.mid(from, to - from);
    snippet.replace(u'\n', u' ');
    int mark = at < 0 ? -1 : int(at - from);
    if (from > 0) {
        snippet.prepend(QStringLiteral("..."));
        if (mark >= 0)
            mark += 3;
    }
    if (to < body.size())
        snippet.append(QStringLiteral("..."));
    if (markStart)
        *markStart = mark;
    return snippet;
}

bool LibrarySearchIndex::removeBook(const QString &fileName)
{
    if (!isOpen())
        return false;
    for (const char *sql :
        { "DELETE FROM bookText WHERE rowid IN (SELECT docid FROM textRow WHERE fileName = ?)",
            "DELETE FROM textRow WHERE fileName = ?", "DELETE FROM indexedBook WHERE fileName = ?" }) {
        SqliteStatement st = m_db.prepare(QString::fromLatin1(sql));
        if (!st.bind(1, fileName) || st.step() != SqliteStatement::Step::Done) {
            m_error = m_db.lastError();
            return false;
        }
    }
    return true;
}

struct LibrarySearchIndex::Row {
    QString body;
    int page;
    QString manifestId;
    QString location;
};

bool LibrarySearchIndex::readBook(
    const QFileInfo &info, QList<Row> *rows, QString *title, bool *isPdf, const std::atomic_bool *cancel)
{
    *isPdf = formatOf(info.absoluteFilePath()) == BookFormat::Pdf;
    *title = info.completeBaseName();
    if (*isPdf) {
        const PdfTextSearch pdf(info.absoluteFilePath());
        if (!pdf.load(cancel))
            return false;
        for (int page = 0; page < pdf.pageCount(); ++page)
            rows->append({ pdf.pageText(page), page, QString(), pdf.pageLabel(page) });
        return true;
    }
    const EPUBURLProtcol protocol(info.absolutePath(), AppResources::directory());
    const EPUBManager epub(BookUrl::rootUrl(info.fileName()), &protocol);
    if (epub.spine().isEmpty())
        return false;
    *title = epub.metadata().value(QStringLiteral("dc:title"), *title).toString();
    const BookSearchText text(epub, &protocol);
    const QStringList chapters = chapterTitles(epub);
    for (int i = 0; i < text.items().size(); ++i) {
        if (isCancelled(cancel))
            return false;
        // The chunks the reader's search looks in, one per line: a term
        // (which holds no line feed) is found in the row exactly where the
        // reader's search finds it in a chunk.
        rows->append({ text.text(i)->chunks.join(u'\n'), i, text.items().at(i).id, chapters.value(i) });
    }
    return true;
}

bool LibrarySearchIndex::storeBook(
    const QFileInfo &info, const QList<Row> &rows, const QString &title, bool isPdf, bool isNew)
{
    bool ok = isNew || removeBook(info.fileName());
    SqliteStatement row = m_db.prepare(
        QStringLiteral("INSERT INTO textRow(fileName, page, manifestId, location) VALUES (?, ?, ?, ?)"));
    SqliteStatement insert = m_db.prepare(QStringLiteral("INSERT INTO bookText(rowid, body) VALUES (?, ?)"));
    for (const Row &r : rows) {
        if (!ok)
            break;
        if (r.body.trimmed().isEmpty())
            continue;
        ok = row.bindAll({ info.fileName(), r.page, r.manifestId, r.location })
            && row.step() == SqliteStatement::Step::Done;
        row.reset();
        ok = ok && insert.bindAll({ m_db.lastInsertRowId(), r.body })
            && insert.step() == SqliteStatement::Step::Done;
        insert.reset();
    }
    SqliteStatement book = m_db.prepare(QStringLiteral(
        "INSERT INTO indexedBook(fileName, title, isPdf, size, modified) VALUES (?, ?, ?, ?, ?)"));
    ok = ok
        && book.bindAll(
            { info.fileName(), title, isPdf, info.size(), info.lastModified().toMSecsSinceEpoch() })
        && book.step() == SqliteStatement::Step::Done;
    if (!ok && m_error.isEmpty())
        m_error = m_db.lastError();
    return ok;
}

bool LibrarySearchIndex::indexBook(const QString &path, const std::atomic_bool *cancel)
{
    if (!isOpen())
        return false;
    const QFileInfo info(path);
    QList<Row> rows;
    QString title;
    bool isPdf = false;
    if (!readBook(info, &rows, &title, &isPdf, cancel) || isCancelled(cancel))
        return false;
    // One book, one transaction: a search never sees half a book.
    if (!exec(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    if (!storeBook(info, rows, title, isPdf)) {
        exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    return exec(QStringLiteral("COMMIT"));
}

bool LibrarySearchIndex::update(const QString &contentsFolder, const std::function<void(int, int)> &progress,
    const std::atomic_bool *cancel)
{
    if (!isOpen())
        return false;
    QHash<QString, QPair<qint64, qint64>> indexed;
    SqliteStatement list = m_db.prepare(QStringLiteral("SELECT fileName, size, modified FROM indexedBook"));
    while (list.step() == SqliteStatement::Step::Row)
        indexed.insert(list.columnText(0), { list.columnInt64(1), list.columnInt64(2) });

    QList<QFileInfo> toRead;
    QSet<QString> present;
    const QFileInfoList files = QDir(contentsFolder)
                                    .entryInfoList({ QStringLiteral("*.epub"), QStringLiteral("*.pdf") },
                                        QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &f : files) {
        present.insert(f.fileName());
        const auto it = indexed.constFind(f.fileName());
        if (it == indexed.cend() || it->first != f.size()
            || it->second != f.lastModified().toMSecsSinceEpoch())
            toRead << f;
    }
    for (auto it = indexed.cbegin(); it != indexed.cend(); ++it)
        if (!present.contains(it.key()) && !removeBook(it.key()))
            return false;

    // Books are stored in batches, one transaction each (a commit per book
    // cost more than the inserts themselves); a batch ends at a book's end
    // and at least every second, so that searches see whole books and see
    // them soon. No savepoint per book: FTS5 writes out its pending terms at
    // every savepoint, which made a segment per book to merge later.
    constexpr qint64 kBatchMs = 1000;
    QElapsedTimer batch;
    bool inBatch = false;
    const auto commit = [&] {
        if (!inBatch)
            return true;
        inBatch = false;
        return exec(QStringLiteral("COMMIT"));
    };
    int done = 0;
    for (const QFileInfo &info : toRead) {
        if (isCancelled(cancel))
            break;
        QList<Row> rows;
        QString title;
        bool isPdf = false;
        const bool read = readBook(info, &rows, &title, &isPdf, cancel);
        if (isCancelled(cancel))
            break;
        if (!inBatch) {
            if (!exec(QStringLiteral("BEGIN IMMEDIATE")))
                return false;
            inBatch = true;
            batch.start();
        }
        if (!read) {
            // Not a readable book: no text of it stays.
            qCInfo(lcLibrary) << "not indexed for search:" << info.absoluteFilePath();
            if (!removeBook(info.fileName())) {
                exec(QStringLiteral("ROLLBACK"));
                return false;
            }
        } else if (!storeBook(info, rows, title, isPdf, !indexed.contains(info.fileName()))) {
            // The database fails: the batch goes, and the next update reads
            // its books again.
            exec(QStringLiteral("ROLLBACK"));
            return false;
        }
        if (batch.elapsed() >= kBatchMs && !commit())
            return false;
        if (progress)
            progress(++done, int(toRead.size()));
    }
    return commit() && !isCancelled(cancel);
}

QList<LibrarySearchIndex::Hit> LibrarySearchIndex::search(const QString &term, int limit) const
{
    QList<Hit> hits;
    const QString query = queryFor(term);
    if (!isOpen() || query.isEmpty())
        return hits;
    SqliteStatement select = m_db.prepare(
        QStringLiteral("SELECT r.docid, r.fileName, i.title, i.isPdf, r.page, r.manifestId, r.location "
                       "FROM bookText JOIN textRow r ON r.docid = bookText.rowid "
                       "JOIN indexedBook i ON i.fileName = r.fileName WHERE bookText MATCH ? "
                       "ORDER BY i.title COLLATE NOCASE, r.fileName, r.page LIMIT ?"));
    if (!select.bind(1, query) || !select.bind(2, limit))
        return hits;
    QList<qint64> docids;
    while (select.step() == SqliteStatement::Step::Row) {
        Hit h;
        docids << select.columnInt64(0);
        h.fileName = select.columnText(1);
        h.title = select.columnText(2);
        h.isPdf = select.columnInt64(3) != 0;
        h.page = int(select.columnInt64(4));
        h.manifestId = select.columnText(5);
        h.location = select.columnText(6);
        hits.append(h);
    }
    // The texts only of the rows listed.
    SqliteStatement body = m_db.prepare(QStringLiteral("SELECT body FROM bookText WHERE rowid = ?"));
    for (int i = 0; i < hits.size(); ++i) {
        Hit &h = hits[i];
        if (body.bind(1, docids.at(i)) && body.step() == SqliteStatement::Step::Row)
            h.snippet = snippetFor(body.columnText(0), term, &h.markStart);
        body.reset();
        h.markLength = h.markStart >= 0 ? int(term.size()) : 0;
    }
    return hits;
}

int LibrarySearchIndex::bookCount() const
{
    return isOpen() ? m_db.scalar(QStringLiteral("SELECT count(*) FROM indexedBook")).toInt() : 0;
}
