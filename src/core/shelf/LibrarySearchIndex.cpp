#include "LibrarySearchIndex.h"

#include "core/content/BookUrl.h"
#include "core/content/EPUBManager.h"
#include "core/content/EPUBURLProtcol.h"
#include "core/dictionary/DictionaryManager.h"
#include "core/platform/AppResources.h"
#include "core/platform/DataFolder.h"
#include "core/reader/BookSearchText.h"
#include "core/reader/PdfTextSearch.h"
#include "core/util/Logging.h"

#include <QDir>
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
    // Another connection (an update on the indexer's worker) may hold the
    // file for a moment: wait for it rather than fail.
    m_db.exec(QStringLiteral("PRAGMA busy_timeout=10000"));
    m_db.scalar(QStringLiteral("PRAGMA journal_mode=WAL"));
    // `words` is what is searched; `body` (the text as written) gives the
    // snippets; the rest says where the text is.
    if (!exec(QStringLiteral(
            "PRAGMA synchronous=NORMAL;"
            "CREATE TABLE IF NOT EXISTS indexedBook(fileName TEXT PRIMARY KEY, title TEXT, "
            "isPdf INTEGER, size INTEGER, modified INTEGER);"
            "CREATE VIRTUAL TABLE IF NOT EXISTS bookText USING fts4(words, body, fileName, page, "
            "manifestId, location, notindexed=body, notindexed=fileName, notindexed=page, "
            "notindexed=manifestId, notindexed=location);"
            // Which rows of bookText belong to a book: an FTS4 table cannot
            // index its other columns.
            "CREATE TABLE IF NOT EXISTS textRow(docid INTEGER PRIMARY KEY, fileName TEXT);"
            "CREATE INDEX IF NOT EXISTS textRowFile ON textRow(fileName);"))) {
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

QString LibrarySearchIndex::wordsFor(const QString &text)
{
    return DictionaryManager::resolveString(text);
}

QString LibrarySearchIndex::queryFor(const QString &term)
{
    const QString tokens = DictionaryManager::ftsQuery(wordsFor(term), false);
    return tokens.isEmpty() ? QString() : u'"' + tokens + u'"';
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
        { "DELETE FROM bookText WHERE docid IN (SELECT docid FROM textRow WHERE fileName = ?)",
            "DELETE FROM textRow WHERE fileName = ?", "DELETE FROM indexedBook WHERE fileName = ?" }) {
        SqliteStatement st = m_db.prepare(QString::fromLatin1(sql));
        if (!st.bind(1, fileName) || st.step() != SqliteStatement::Step::Done) {
            m_error = m_db.lastError();
            return false;
        }
    }
    return true;
}

bool LibrarySearchIndex::indexBook(const QString &path, const std::atomic_bool *cancel)
{
    if (!isOpen())
        return false;
    const QFileInfo info(path);
    const bool isPdf = info.suffix().compare(QStringLiteral("pdf"), Qt::CaseInsensitive) == 0;
    struct Row {
        QString body;
        int page;
        QString manifestId;
        QString location;
    };
    QList<Row> rows;
    QString title = info.completeBaseName();
    if (isPdf) {
        const PdfTextSearch pdf(info.absoluteFilePath());
        if (!pdf.load(cancel))
            return false;
        for (int page = 0; page < pdf.pageCount(); ++page)
            rows.append({ pdf.pageText(page), page, QString(), pdf.pageLabel(page) });
    } else {
        const EPUBURLProtcol protocol(info.absolutePath(), AppResources::directory());
        const EPUBManager epub(BookUrl::rootUrl(info.fileName()), &protocol);
        if (epub.spine().isEmpty())
            return false;
        title = epub.metadata().value(QStringLiteral("dc:title"), title).toString();
        const BookSearchText text(epub, &protocol);
        const QStringList chapters = chapterTitles(epub);
        for (int i = 0; i < text.items().size(); ++i) {
            if (isCancelled(cancel))
                return false;
            rows.append({ text.text(i)->chunks.join(u'\n'), i, text.items().at(i).id, chapters.value(i) });
        }
    }

    // One book, one transaction: a search never sees half a book.
    if (!exec(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    bool ok = removeBook(info.fileName());
    SqliteStatement row = m_db.prepare(QStringLiteral("INSERT INTO textRow(fileName) VALUES (?)"));
    SqliteStatement insert
        = m_db.prepare(QStringLiteral("INSERT INTO bookText(docid, words, body, fileName, page, "
                                      "manifestId, location) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    for (const Row &r : rows) {
        if (!ok || isCancelled(cancel)) {
            ok = false;
            break;
        }
        if (r.body.trimmed().isEmpty())
            continue;
        ok = row.bind(1, info.fileName()) && row.step() == SqliteStatement::Step::Done;
        row.reset();
        ok = ok
            && insert.bindAll({ m_db.lastInsertRowId(), wordsFor(r.body), r.body, info.fileName(), r.page,
                r.manifestId, r.location })
            && insert.step() == SqliteStatement::Step::Done;
        insert.reset();
    }
    SqliteStatement book = m_db.prepare(QStringLiteral(
        "INSERT INTO indexedBook(fileName, title, isPdf, size, modified) VALUES (?, ?, ?, ?, ?)"));
    ok = ok
        && book.bindAll(
            { info.fileName(), title, isPdf, info.size(), info.lastModified().toMSecsSinceEpoch() })
        && book.step() == SqliteStatement::Step::Done;
    if (!ok) {
        if (m_error.isEmpty())
            m_error = m_db.lastError();
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

    QStringList toRead;
    QSet<QString> present;
    const QFileInfoList files = QDir(contentsFolder)
                                    .entryInfoList({ QStringLiteral("*.epub"), QStringLiteral("*.pdf") },
                                        QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &f : files) {
        present.insert(f.fileName());
        const auto it = indexed.constFind(f.fileName());
        if (it == indexed.cend() || it->first != f.size()
            || it->second != f.lastModified().toMSecsSinceEpoch())
            toRead << f.absoluteFilePath();
    }
    for (auto it = indexed.cbegin(); it != indexed.cend(); ++it)
        if (!present.contains(it.key()) && !removeBook(it.key()))
            return false;
    int done = 0;
    for (const QString &path : toRead) {
        if (isCancelled(cancel))
            return false;
        if (!indexBook(path, cancel)) {
            if (isCancelled(cancel))
                return false;
            // Not a readable book: no text of it stays.
            qCInfo(lcLibrary) << "not indexed for search:" << path << m_error;
            removeBook(QFileInfo(path).fileName());
        }
        if (progress)
            progress(++done, int(toRead.size()));
    }
    return true;
}

QList<LibrarySearchIndex::Hit> LibrarySearchIndex::search(const QString &term, int limit) const
{
    QList<Hit> hits;
    const QString query = queryFor(term);
    if (!isOpen() || query.isEmpty())
        return hits;
    SqliteStatement select = m_db.prepare(QStringLiteral(
        "SELECT t.fileName, i.title, i.isPdf, t.page, t.manifestId, t.location, t.body FROM bookText t "
        "JOIN indexedBook i ON i.fileName = t.fileName WHERE t.words MATCH ? "
        "ORDER BY i.title COLLATE NOCASE, t.fileName, CAST(t.page AS INTEGER) LIMIT ?"));
    if (!select.bind(1, query) || !select.bind(2, limit))
        return hits;
    while (select.step() == SqliteStatement::Step::Row) {
        Hit h;
        h.fileName = select.columnText(0);
        h.title = select.columnText(1);
        h.isPdf = select.columnInt64(2) != 0;
        h.page = int(select.columnInt64(3));
        h.manifestId = select.columnText(4);
        h.location = select.columnText(5);
        h.snippet = snippetFor(select.columnText(6), term, &h.markStart);
        h.markLength = h.markStart >= 0 ? int(term.size()) : 0;
        hits.append(h);
    }
    return hits;
}

int LibrarySearchIndex::bookCount() const
{
    return isOpen() ? m_db.scalar(QStringLiteral("SELECT count(*) FROM indexedBook")).toInt() : 0;
}
