#include "DictionaryBrowser.h"

#include "DictionaryManager.h"
#include "LookupForms.h"
#include "core/platform/UserDefaults.h"
#include "core/util/Logging.h"

#include <QFileInfo>
#include <QHash>
#include <algorithm>

namespace
{

QVariantMap rowAt(const SqliteStatement &select)
{
    return { { QStringLiteral("word"), select.columnText(0) },
        { QStringLiteral("item1"), select.columnText(1) }, { QStringLiteral("item2"), select.columnText(2) },
        { QStringLiteral("item3"), select.columnText(3) }, { QStringLiteral("item4"), select.columnText(4) },
        { QStringLiteral("dicId"), select.columnText(5) } };
}

// The first text past every text that starts with `prefix`: the prefix with
// the last code point there is.
QString pastPrefix(const QString &prefix)
{
    return prefix + QString::fromUcs4(U"\U0010FFFF");
}

} // namespace

DictionaryBrowser::DictionaryBrowser(const DictionaryManager &manager, QString historyKey)
    : m_manager(manager)
    , m_path(manager.databasePath())
    , m_historyKey(std::move(historyKey))
{
    const QVariantMap kept = UserDefaults::value(m_historyKey).toMap();
    m_history = kept.value(QStringLiteral("words")).toStringList();
    if (m_history.size() > kMaxHistory)
        m_history = m_history.mid(m_history.size() - kMaxHistory);
    const qsizetype at = kept.value(QStringLiteral("position"), m_history.size() - 1).toLongLong();
    m_position = m_history.isEmpty() ? -1 : std::clamp<qsizetype>(at, 0, m_history.size() - 1);
    if (kept.value(QStringLiteral("mode")).toInt() == int(Mode::Mentions))
        m_keptMode = Mode::Mentions;
    m_keptWord = kept.value(QStringLiteral("word")).toString().left(kMaxKeptWord);
}

bool DictionaryBrowser::open()
{
    if (m_db.isOpen())
        return true;
    // The manager creates the database; a browser never makes an empty one.
    if (!QFileInfo::exists(m_path) || !m_db.open(m_path, false))
        return false;
    m_db.exec(QStringLiteral("PRAGMA busy_timeout=2000;"));
    // The index is derived from the full-text table and can always be made
    // again: a failure here only leaves prefixes to the full-text table.
    createIndexTables(m_db);
    m_checked.clear();
    return true;
}

bool DictionaryBrowser::createIndexTables(SqliteDatabase &db)
{
    if (db.exec(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS headwordIndex(key TEXT NOT NULL, docid INTEGER NOT NULL, "
            "dicId TEXT NOT NULL);"
            "CREATE INDEX IF NOT EXISTS headwordIndexKey ON headwordIndex(key, docid, dicId);"
            "CREATE TABLE IF NOT EXISTS headwordIndexed(dicId TEXT PRIMARY KEY, firstDocid INTEGER, "
            "lastDocid INTEGER);")))
        return true;
    qCWarning(lcDictionary) << "cannot make the headword index" << db.lastError();
    return false;
}

namespace
{

// Each indexed dictionary's rows are one run of docids (an import inserts
// them in one go). The run still holding that dictionary, and no more,
// shows its index rows are current; a reinstalled or removed dictionary
// fails that.
QSet<QString> currentMarkers(const SqliteDatabase &db, QStringList *stale)
{
    auto dicIdAt = [&db](const QVariant &docid) {
        return db.scalar(QStringLiteral("SELECT dicId FROM edict WHERE docid = ?;"), { docid }).toString();
    };
    QSet<QString> current;
    SqliteStatement markers
        = db.prepare(QStringLiteral("SELECT dicId, firstDocid, lastDocid FROM headwordIndexed;"));
    while (markers.step() == SqliteStatement::Step::Row) {
        const QString id = markers.columnText(0);
        const QVariant first = markers.columnValue(1);
        const QVariant last = markers.columnValue(2);
        const bool valid = first.isNull()
            || (dicIdAt(first) == id && dicIdAt(last) == id && dicIdAt(last.toLongLong() + 1) != id);
        if (valid)
            current.insert(id);
        else if (stale)
            stale->append(id);
    }
    return current;
}

} // namespace

QStringList DictionaryBrowser::missingFrom(const QStringList &ids)
{
    QStringList missing;
    for (const QString &quoted : ids) {
        const QString id = quoted.mid(1, quoted.size() - 2);
        if (!m_checked.contains(id))
            missing << id;
    }
    if (missing.isEmpty())
        return missing;
    const QSet<QString> current = currentMarkers(m_db, nullptr);
    QStringList out;
    for (const QString &id : missing) {
        if (current.contains(id))
            m_checked.insert(id);
        else
            out << id;
    }
    return out;
}

QStringList DictionaryBrowser::unindexed()
{
    const QStringList ids = m_manager.enabledIds();
    if (ids.isEmpty() || !open())
        return {};
    return missingFrom(ids);
}

bool DictionaryBrowser::indexHeadwords(const QString &databasePath, const QStringList &dicIds)
{
    SqliteDatabase db;
    if (!QFileInfo::exists(databasePath) || !db.open(databasePath, false))
        return false;
    db.exec(QStringLiteral("PRAGMA busy_timeout=10000;"));
    return createIndexTables(db) && indexInto(db, dicIds);
}

bool DictionaryBrowser::indexInto(SqliteDatabase &db, const QStringList &dicIds)
{
    if (!db.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    // Checked again inside the transaction: another connection may have
    // indexed them meanwhile.
    QStringList stale;
    const QSet<QString> current = currentMarkers(db, &stale);
    QStringList toIndex;
    for (const QString &id : dicIds)
        if (!current.contains(id) && !toIndex.contains(id))
            toIndex << id;
    bool ok = true;
    QStringList quoted;
    for (const QString &id : stale + toIndex) {
        SqliteStatement drop = db.prepare(QStringLiteral("DELETE FROM headwordIndex WHERE dicId = ?;"));
        drop.bind(1, id);
        ok = ok && drop.step() != SqliteStatement::Step::Error;
        SqliteStatement unmark = db.prepare(QStringLiteral("DELETE FROM headwordIndexed WHERE dicId = ?;"));
        unmark.bind(1, id);
        ok = ok && unmark.step() != SqliteStatement::Step::Error;
    }
    for (const QString &id : toIndex)
        quoted << QStringLiteral("'%1'").arg(QString(id).replace(u'\'', QStringLiteral("''")));
    QHash<QString, std::pair<qint64, qint64>> runs; // first and last docid
    qint64 count = 0;
    if (!toIndex.isEmpty()) {
        SqliteStatement insert
            = db.prepare(QStringLiteral("INSERT INTO headwordIndex(key, docid, dicId) VALUES(?, ?, ?);"));
        // One scan of the table's content for them all (dicId is no
        // full-text query).
        SqliteStatement rows
            = db.prepare(QStringLiteral("SELECT docid, word, dicId FROM edict WHERE dicId IN (%1);")
                             .arg(quoted.join(u',')));
        while (ok && rows.step() == SqliteStatement::Step::Row) {
            const qint64 docid = rows.columnInt64(0);
            const QString dicId = rows.columnText(2);
            auto run = runs.find(dicId);
            if (run == runs.end())
                runs.insert(dicId, { docid, docid });
            else
                run->second = docid;
            ++count;
            const QString key = LookupForms::folded(rows.columnText(1));
            if (key.isEmpty())
                continue;
            insert.reset();
            insert.bindAll({ key, docid, dicId });
            ok = insert.step() != SqliteStatement::Step::Error;
        }
    }
    for (const QString &id : toIndex) {
        if (!ok)
            break;
        SqliteStatement mark = db.prepare(QStringLiteral(
            "INSERT OR REPLACE INTO headwordIndexed(dicId, firstDocid, lastDocid) VALUES(?, ?, ?);"));
        const auto run = runs.value(id, { -1, -1 });
        mark.bindAll({ id, run.first < 0 ? QVariant() : QVariant(run.first),
            run.second < 0 ? QVariant() : QVariant(run.second) });
        ok = mark.step() != SqliteStatement::Step::Error;
    }
    if (ok)
        ok = db.exec(QStringLiteral("COMMIT"));
    if (!ok) {
        qCWarning(lcDictionary) << "cannot index the headwords of dictionaries" << toIndex << db.lastError();
        db.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    if (!toIndex.isEmpty())
        qCInfo(lcDictionary) << "indexed" << count << "headwords of dictionaries" << toIndex;
    return true;
}

QList<QVariantMap> DictionaryBrowser::fromFullText(const QString &key, const QStringList &dicIds, int limit)
{
    QList<QVariantMap> out;
    const QString query = DictionaryManager::ftsQuery(key, true);
    if (query.isEmpty())
        return out;
    QStringList quoted;
    for (const QString &id : dicIds)
        quoted << QStringLiteral("'%1'").arg(QString(id).replace(u'\'', QStringLiteral("''")));
    // A later word of a headword matches too; those are left out, so more
    // rows are read than kept.
    SqliteStatement select = m_db.prepare(
        QStringLiteral("SELECT word, item1, item2, item3, item4, dicId FROM edict WHERE word MATCH ? AND "
                       "dicId IN (%1) LIMIT ?;")
            .arg(quoted.join(u',')));
    select.bindAll({ query, limit * 4 });
    while (select.step() == SqliteStatement::Step::Row && out.size() < limit) {
        const QVariantMap row = rowAt(select);
        if (LookupForms::folded(row.value(QStringLiteral("word")).toString()).startsWith(key))
            out.append(row);
    }
    return out;
}

std::optional<QList<QVariantMap>> DictionaryBrowser::headwords(const QString &prefix, int limit)
{
    const QStringList ids = m_manager.enabledIds();
    if (ids.isEmpty())
        return std::nullopt;
    QList<QVariantMap> out;
    const QString key = LookupForms::folded(prefix);
    if (key.isEmpty() || limit <= 0 || !open())
        return out;
    QStringList missing = missingFrom(ids);
    if (!missing.isEmpty() && m_indexesItself && indexInto(m_db, missing))
        missing = missingFrom(ids);
    QStringList indexed;
    for (const QString &quoted : ids)
        if (!missing.contains(quoted.mid(1, quoted.size() - 2)))
            indexed << quoted;
    if (!indexed.isEmpty()) {
        SqliteStatement select = m_db.prepare(
            QStringLiteral("SELECT e.word, e.item1, e.item2, e.item3, e.item4, e.dicId FROM headwordIndex h "
                           "INDEXED BY headwordIndexKey CROSS JOIN edict e ON e.docid = h.docid "
                           "WHERE h.key >= ?1 AND h.key < ?2 AND h.dicId IN (%1) AND e.dicId = h.dicId "
                           "ORDER BY h.key, h.docid LIMIT ?3;")
                .arg(indexed.join(u',')));
        select.bindAll({ key, pastPrefix(key), limit });
        while (select.step() == SqliteStatement::Step::Row)
            out.append(rowAt(select));
    }
    if (!missing.isEmpty()) {
        // Merged in the index's order: by folded headword.
        out += fromFullText(key, missing, limit);
        std::stable_sort(out.begin(), out.end(), [](const QVariantMap &a, const QVariantMap &b) {
            return LookupForms::folded(a.value(QStringLiteral("word")).toString())
                < LookupForms::folded(b.value(QStringLiteral("word")).toString());
        });
        out = out.mid(0, limit);
    }
    return out;
}

std::optional<QList<QVariantMap>> DictionaryBrowser::mentions(const QString &text, int limit)
{
    const QStringList ids = m_manager.enabledIds();
    if (ids.isEmpty())
        return std::nullopt;
    QList<QVariantMap> out;
    const QString query = DictionaryManager::ftsQuery(text, false);
    if (query.isEmpty() || limit <= 0 || !open())
        return out;
    // Column by column: a query on the whole table would also match the
    // headword's search key and the dictionary id.
    SqliteStatement select = m_db.prepare(QStringLiteral(
        "SELECT word, item1, item2, item3, item4, dicId FROM edict WHERE docid IN ("
        "SELECT docid FROM edict WHERE item1 MATCH ?1 UNION SELECT docid FROM edict WHERE item2 "
        "MATCH ?1 UNION SELECT docid FROM edict WHERE item3 MATCH ?1 UNION SELECT docid FROM "
        "edict WHERE item4 MATCH ?1) AND dicId IN (%1) ORDER BY docid LIMIT ?2;")
                                              .arg(ids.join(u',')));
    select.bindAll({ query, limit });
    while (select.step() == SqliteStatement::Step::Row)
        out.append(rowAt(select));
    return out;
}

void DictionaryBrowser::visit(const QString &word)
{
    const QString w = word.trimmed();
    if (w.isEmpty() || (m_position >= 0 && m_history.value(m_position) == w))
        return;
    m_history = m_history.mid(0, m_position + 1);
    m_history.append(w);
    if (m_history.size() > kMaxHistory)
        m_history.removeFirst();
    m_position = m_history.size() - 1;
    saveHistory();
}

std::optional<QString> DictionaryBrowser::back()
{
    if (!canGoBack())
        return std::nullopt;
    --m_position;
    saveHistory();
    return current();
}

std::optional<QString> DictionaryBrowser::forward()
{
    if (!canGoForward())
        return std::nullopt;
    ++m_position;
    saveHistory();
    return current();
}

void DictionaryBrowser::clearHistory()
{
    m_history.clear();
    m_position = -1;
    m_keptWord.clear();
    UserDefaults::remove(m_historyKey);
    if (m_keptMode != Mode::Headword)
        saveHistory();
    UserDefaults::synchronize();
}

void DictionaryBrowser::keep(Mode mode, const QString &word)
{
    const QString w = word.left(kMaxKeptWord);
    if (mode == m_keptMode && w == m_keptWord)
        return;
    m_keptMode = mode;
    m_keptWord = w;
    saveHistory();
}

void DictionaryBrowser::saveHistory() const
{
    UserDefaults::setValue(m_historyKey,
        QVariantMap { { QStringLiteral("words"), m_history }, { QStringLiteral("position"), m_position },
            { QStringLiteral("mode"), int(m_keptMode) }, { QStringLiteral("word"), m_keptWord } });
}
