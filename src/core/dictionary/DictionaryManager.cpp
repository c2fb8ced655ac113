#include "DictionaryManager.h"

#include "DictionaryEntry.h"
#include "DictionarySourceFactory.h"
#include "JapaneseLemmas.h"
#include "core/library/DictionaryCatalogue.h"
#include "core/library/LibraryStore.h"
#include "core/platform/DataFolder.h"
#include "core/util/DictionaryHelpers.h"
#include "core/util/Logging.h"
#include "core/util/NotificationCenter.h"
#include "core/util/StringHelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <unicode/brkiter.h>
#include <unicode/locid.h>

namespace
{

const QString kColumns = QStringLiteral("word, item1, item2 ,item3, item4");

void postProgress(const QVariantMap &object)
{
    NotificationCenter::defaultCenter().post(QString::fromLatin1(DictionaryManager::kAnalyzeDic), object);
}

// Reads a source's records, with their search keys, on a thread of its own
// in batches, a few batches ahead of the thread that stores them: reading
// and decompressing overlap with the inserts. The source belongs to the
// pipe's thread from construction until the destructor has joined it.
class RecordPipe
{
public:
    struct Row {
        QStringList fields;
        QString searchWord;
    };

    explicit RecordPipe(DictionarySource &source)
        : m_source(source)
    {
        m_thread = std::thread([this] { run(); });
    }
    ~RecordPipe()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_space.notify_all();
        m_thread.join();
    }
    RecordPipe(const RecordPipe &) = delete;
    RecordPipe &operator=(const RecordPipe &) = delete;

    // The next batch; false once every record has been handed out (or the
    // source ended with an error).
    bool next(std::vector<Row> *batch)
    {
        std::unique_lock lock(m_mutex);
        m_ready.wait(lock, [this] { return !m_batches.empty() || m_done; });
        if (m_batches.empty())
            return false;
        *batch = std::move(m_batches.front());
        m_batches.pop_front();
        lock.unlock();
        m_space.notify_one();
        return true;
    }

private:
    static constexpr size_t kBatch = 256;
    static constexpr size_t kBatchesAhead = 8;

    void run()
    {
        std::vector<Row> batch;
        QStringList fields;
        bool more = true;
        while (more) {
            more = m_source.next(&fields);
            if (more)
                batch.push_back({ fields, DictionaryManager::searchWordFor(fields.value(0)) });
            if (batch.size() < kBatch && (more || batch.empty()))
                continue;
            std::unique_lock lock(m_mutex);
            m_space.wait(lock, [this] { return m_batches.size() < kBatchesAhead || m_stopped; });
            if (m_stopped)
                break;
            m_batches.push_back(std::move(batch));
            batch.clear();
            lock.unlock();
            m_ready.notify_one();
        }
        {
            const std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_ready.notify_all();
    }

    DictionarySource &m_source;
    std::mutex m_mutex;
    std::condition_variable m_ready; // a batch is there, or the end
    std::condition_variable m_space; // room for a batch, or stopped
    std::deque<std::vector<Row>> m_batches;
    bool m_done = false;
    bool m_stopped = false;
    std::thread m_thread;
};

icu::BreakIterator *wordBreaker()
{
    // Creating an iterator loads its rules; keep one per thread.
    thread_local std::unique_ptr<icu::BreakIterator> breaker;
    if (!breaker) {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Locale locale(QLocale::system().name().toUtf8().constData());
        breaker.reset(icu::BreakIterator::createWordInstance(locale, status));
        if (U_FAILURE(status))
            breaker.reset();
    }
    return breaker.get();
}

// The characters removed from search keys.
const QString kRemoved = QStringLiteral(
    "、,.。．:/¨%-()（）〔〕《》[]・?「」!！¥“＃￥%&‘（）=～|·｛+＊｝《》？-…¥¥@【；：】，。、—");

} // namespace

DictionaryManager::DictionaryManager(LibraryStore &library, QString databasePath)
    : m_path(
        databasePath.isEmpty() ? DataFolder::path() + QStringLiteral("/Dic.sqlite") : std::move(databasePath))
    , m_library(library)
{
    initDB();
}

DictionaryManager::~DictionaryManager()
{
    shutdown();
    // m_pool's own destructor waits for anything still running.
}

void DictionaryManager::startImport(
    const QString &csvPath, const QVariantMap &bookInfo, const QVariant &tPath)
{
    // A cancel pressed before this call was meant for an earlier import
    // (one that ended just before it could see it): it must not stop this
    // one.
    m_isCancel = false;
    m_pool.setMaxThreadCount(1);
    m_pool.start([this, csvPath, bookInfo, tPath] { expandDic(csvPath, bookInfo, tPath); });
}

bool DictionaryManager::shutdown(int msecs)
{
    m_closing = true;
    if (m_pool.waitForDone(msecs))
        return true;
    qCWarning(lcDictionary) << "a dictionary import is still running after" << msecs << "ms";
    return false;
}

bool DictionaryManager::recoverInterruptedImports()
{
    if (!m_library.isOpen() || !m_db.isOpen())
        return false;
    return recover(m_db, m_library);
}

bool DictionaryManager::recover(SqliteDatabase &db, LibraryStore &library)
{
    QList<std::pair<qint64, std::optional<qint64>>> pending;
    {
        SqliteStatement select
            = db.prepare(QStringLiteral("SELECT dicId, replacesDicId FROM pendingImport;"));
        while (select.step() == SqliteStatement::Step::Row) {
            const QVariant replaces = select.columnValue(1);
            pending.append({ select.columnValue(0).toLongLong(),
                replaces.isNull() ? std::nullopt : std::optional<qint64>(replaces.toLongLong()) });
        }
    }
    bool ok = true;
    for (const auto &[dicId, replaces] : pending) {
        // The master is recorded in the last step: with it, the import
        // completed and only the rows of the install it replaced remain to
        // go; without it, its own rows go.
        const bool recorded = library.count<DictionaryMaster>(QStringLiteral("\"dicId\"=?"), { dicId }) > 0;
        const std::optional<qint64> drop = recorded ? replaces : std::optional<qint64>(dicId);
        qCInfo(lcDictionary) << "finishing an interrupted import of dictionary" << dicId
                             << (recorded ? "(completed)" : "(incomplete: removed)");
        bool step = db.exec(QStringLiteral("BEGIN"));
        if (step && drop) {
            SqliteStatement remove = db.prepare(QStringLiteral("DELETE FROM edict WHERE dicId = ?;"));
            remove.bind(1, QString::number(*drop));
            step = remove.step() != SqliteStatement::Step::Error;
        }
        if (step) {
            SqliteStatement done = db.prepare(QStringLiteral("DELETE FROM pendingImport WHERE dicId = ?;"));
            done.bind(1, dicId);
            step = done.step() != SqliteStatement::Step::Error;
        }
        if (step)
            step = db.exec(QStringLiteral("COMMIT"));
        if (!step) {
            db.exec(QStringLiteral("ROLLBACK"));
            ok = false;
        }
    }
    return ok;
}

bool DictionaryManager::openDatabase(SqliteDatabase &db) const
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    if (!db.open(m_path)) {
        qCWarning(lcDictionary) << "cannot open" << m_path << db.lastError();
        return false;
    }
    // The import writes on its own connection while look-ups read on theirs.
    if (!db.scalar(QStringLiteral("PRAGMA journal_mode=WAL")).isValid()) {
        qCWarning(lcDictionary) << "cannot open" << m_path << db.lastError();
        db.close();
        return false;
    }
    db.exec(QStringLiteral("PRAGMA synchronous=NORMAL; PRAGMA busy_timeout=10000;"));
    // Tokens are separated at spaces and punctuation; "word*" is a prefix
    // match.
    if (!db.exec(QStringLiteral("CREATE VIRTUAL TABLE IF NOT EXISTS edict USING fts4(word, item1, item2, "
                                "item3, item4, searchWord, dicId)"))) {
        db.close();
        return false;
    }
    // One row per import under way: the id its rows carry and the id of
    // the install it replaces.
    if (!db.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS pendingImport(dicId INTEGER PRIMARY KEY, "
                                "replacesDicId INTEGER)"))) {
        db.close();
        return false;
    }
    return true;
}

bool DictionaryManager::initDB()
{
    if (m_db.isOpen())
        return true;
    m_isCancel = false;
    if (!openDatabase(m_db))
        return false;
    recoverInterruptedImports();
    return true;
}

bool DictionaryManager::consumeCancel()
{
    if (m_closing)
        return true;
    bool expected = true;
    return m_isCancel.compare_exchange_strong(expected, false);
}

bool DictionaryManager::expandDic(const QString &csvPath, const QVariantMap &bookInfo, const QVariant &tPath)
{
    const QString bookId = stringForKey(bookInfo, QStringLiteral("bookId")).value_or(QString());
    QString title = stringForKey(bookInfo, QStringLiteral("bookTitle")).value_or(QString());
    ImportNotes notes;
    auto finished = [&tPath, &notes](Outcome outcome) {
        static const char *const kResults[]
            = { kResultInstalled, kResultCancelled, kResultUnreadable, kResultFailed };
        QVariantMap end { { QStringLiteral("status"), 2 }, { QStringLiteral("tpath"), tPath },
            { QStringLiteral("result"), QString::fromLatin1(kResults[int(outcome)]) } };
        if (!notes.message.isEmpty())
            end.insert(QStringLiteral("message"), notes.message);
        postProgress(end);
    };

    SqliteDatabase db;
    LibraryStore library;
    const QString libraryPath = m_library.path();
    if (!openDatabase(db) || libraryPath.isEmpty() || !library.open(libraryPath) || !recover(db, library)) {
        qCWarning(lcDictionary) << "cannot install the dictionary" << bookId
                                << ": a database cannot be opened";
        postProgress({ { QStringLiteral("status"), 0 } });
        postProgress({ { QStringLiteral("status"), 1 } });
        finished(Outcome::Failed);
        return false;
    }

    // A reinstalled dictionary gets a new, larger id even when its old one
    // was the largest, so no row of the old install can ever count as new.
    const auto old = library.findFirst<DictionaryMaster>(QStringLiteral("\"bookid\"=?"), { bookId });
    const qint64 oldId = old ? old->dicId.value_or(0) : 0;
    const auto top = library.findFirst<DictionaryMaster>({}, {}, QStringLiteral("\"dicId\" DESC"));
    const qint64 dicId = std::max((top && top->dicId ? *top->dicId : 0) + 1, oldId + 1);

    // Noted before the first row goes in, with any stray rows of that id.
    bool started = db.exec(QStringLiteral("BEGIN"));
    if (started) {
        SqliteStatement note = db.prepare(
            QStringLiteral("INSERT OR REPLACE INTO pendingImport(dicId, replacesDicId) VALUES(?, ?);"));
        note.bindAll({ dicId, old ? QVariant(oldId) : QVariant() });
        SqliteStatement stray = db.prepare(QStringLiteral("DELETE FROM edict WHERE dicId = ?;"));
        stray.bind(1, QString::number(dicId));
        started = note.step() != SqliteStatement::Step::Error && stray.step() != SqliteStatement::Step::Error
            && db.exec(QStringLiteral("COMMIT"));
        if (!started)
            db.exec(QStringLiteral("ROLLBACK"));
    }
    postProgress({ { QStringLiteral("status"), 0 } });
    if (!started) {
        qCWarning(lcDictionary) << "cannot install the dictionary" << bookId << db.lastError();
        postProgress({ { QStringLiteral("status"), 1 } });
        finished(Outcome::Failed);
        return false;
    }

    QStringList columns;
    Outcome outcome = addDict(dicId, csvPath, db, &columns, &notes);
    // Without a title of its own, the dictionary is named as its files
    // name it, else after the file.
    if (title.isEmpty())
        title = notes.title.isEmpty() ? QFileInfo(csvPath).completeBaseName() : notes.title;
    if (outcome == Outcome::Imported) {
        // The switch: the old master and its columns out, the new ones in.
        const bool recorded = library.transaction([&] {
            if (old
                && !(library.removeAll<DictionarySettingItem>(QStringLiteral("\"dict\"=?"), { old->pk }) >= 0
                    && library.remove(*old)))
                return false;
            DictionaryCatalogue catalogue(library);
            const auto master = catalogue.insertDictMaster(bookId, title, 1, dicId);
            if (!master || master->dicId != dicId)
                return false;
            for (qsizetype i = 0; i < columns.size(); ++i)
                if (!catalogue.addDictionaryItemSetting(*master, columns.at(i), i))
                    return false;
            return true;
        });
        if (!recorded) {
            qCWarning(lcDictionary) << "cannot record the dictionary" << bookId;
            outcome = Outcome::Failed;
        }
    }
    if (outcome != Outcome::Imported)
        qCInfo(lcDictionary) << "the dictionary" << bookId << "was not installed; any earlier install stays";
    // Rows of whichever install lost, and the note, go together; should this
    // fail (or the process die here), the next recovery finishes it.
    recover(db, library);
    finished(outcome);
    return outcome == Outcome::Imported;
}

DictionaryManager::Outcome DictionaryManager::addDict(
    qint64 dicId, const QString &path, SqliteDatabase &db, QStringList *columns, ImportNotes *notes)
{
    if (consumeCancel()) {
        qCInfo(lcDictionary) << "thread break for" << path;
        postProgress({ { QStringLiteral("status"), 1 } });
        return Outcome::Cancelled;
    }

    // Opening reads what the format needs first (for a CSV file, a counting
    // pass: the number of records for the progress step, and whether the
    // file parses at all; a file that does not yields nothing).
    const std::unique_ptr<DictionarySource> source = DictionarySourceFactory::create(path);
    switch (source->open([this] { return consumeCancel(); })) {
    case DictionarySource::OpenResult::Ready:
        break;
    case DictionarySource::OpenResult::Cancelled:
        qCInfo(lcDictionary) << "thread break for" << path;
        postProgress({ { QStringLiteral("status"), 1 } });
        return Outcome::Cancelled;
    case DictionarySource::OpenResult::Unreadable:
        qCWarning(lcDictionary) << "cannot read" << path << "as a" << source->formatName()
                                << "dictionary:" << source->errorText();
        notes->message = source->errorText();
        postProgress({ { QStringLiteral("status"), 1 } });
        return Outcome::Unreadable;
    }
    notes->title = source->title();

    // Records as the progress counts them: the column titles, then the
    // entries.
    const quint64 records = source->recordCount() + 1;
    const quint64 step = records / std::min<quint64>(records, 50);
    const QString dicText = QString::number(dicId);
    SqliteStatement insert
        = db.prepare(QStringLiteral("INSERT INTO edict(%1, searchWord, dicId) VALUES(?, ?, ?, ?, ?, ?, ?);")
                         .arg(kColumns));
    bool inTransaction = false;
    bool storageFailed = false;
    bool cancelled = false;
    int rowsInTransaction = 0;
    auto commit = [&] {
        if (inTransaction && !db.exec(QStringLiteral("COMMIT")))
            storageFailed = true;
        inTransaction = false;
        rowsInTransaction = 0;
    };
    // "done" of "total" data rows are in, and that share from 0 to 1, for a
    // progress bar. The total of some formats is an estimate: "done" stays
    // within it.
    const auto progress = [&](quint64 done) {
        const quint64 total = records - 1;
        done = std::min(done, total);
        postProgress({ { QStringLiteral("status"), 1 }, { QStringLiteral("done"), done },
            { QStringLiteral("total"), total },
            { QStringLiteral("progress"), total > 0 ? double(done) / double(total) : 0.0 } });
    };

    *columns = source->columns();
    progress(0);
    {
        // The records are read (and their search keys made) on a thread of
        // the pipe's own while the rows go in here.
        RecordPipe pipe(*source);
        std::vector<RecordPipe::Row> batch;
        quint64 r = 0;
        bool stop = false;
        while (!stop && pipe.next(&batch)) {
            for (const RecordPipe::Row &row : batch) {
                ++r;
                if (r % step == 0)
                    progress(r - 1);
                if (consumeCancel() || storageFailed) {
                    cancelled = !storageFailed;
                    if (cancelled)
                        qCInfo(lcDictionary) << "thread break for" << path;
                    stop = true;
                    break;
                }
                if (!inTransaction)
                    inTransaction = db.exec(QStringLiteral("BEGIN"));
                const QStringList &fields = row.fields;
                insert.reset();
                insert.bindAll({ fields.value(0), fields.value(1), fields.value(2), fields.value(3),
                    fields.value(4), row.searchWord, dicText });
                if (insert.step() == SqliteStatement::Step::Error) {
                    qCWarning(lcDictionary) << "cannot store the entry" << fields.value(0) << db.lastError();
                    storageFailed = true;
                }
                if (++rowsInTransaction >= kRowsPerTransaction)
                    commit();
            }
        }
        // Leaving the scope stops and joins the reading thread: the source
        // is this thread's again.
    }
    commit();
    if (cancelled)
        return Outcome::Cancelled;
    if (storageFailed)
        return Outcome::Failed;
    if (!source->errorText().isEmpty()) {
        // Damaged part-way: nothing of it is kept.
        qCWarning(lcDictionary) << "cannot read" << path << "as a" << source->formatName()
                                << "dictionary:" << source->errorText();
        notes->message = source->errorText();
        return Outcome::Unreadable;
    }
    return Outcome::Imported;
}

QString DictionaryManager::resolveString(const QString &text)
{
    icu::BreakIterator *breaker = wordBreaker();
    if (!breaker || text.isEmpty())
        return {};
    const icu::UnicodeString source(
        false, reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()));
    breaker->setText(source);
    QString out;
    int32_t start = breaker->first();
    for (int32_t end = breaker->next(); end != icu::BreakIterator::DONE; start = end, end = breaker->next()) {
        // Words, numbers, kana and ideographs; not spaces or punctuation.
        if (breaker->getRuleStatus() == UBRK_WORD_NONE)
            continue;
        out.append(QStringView(text).mid(start, end - start));
        out.append(u' ');
    }
    breaker->setText(icu::UnicodeString());
    return out;
}

QString DictionaryManager::strReplace(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text)
        if (!kRemoved.contains(c))
            out.append(c);
    return out;
}

QString DictionaryManager::stringByStrippingHTML(const QString &text)
{
    return ::stringByStrippingHTML(text);
}

QString DictionaryManager::searchWordFor(const QString &word)
{
    return strReplace(stringByStrippingHTML(word)) + u' ' + strReplace(resolveString(word));
}

std::optional<QString> DictionaryManager::escape(const QVariant &value)
{
    if (!value.isValid())
        return std::nullopt;
    if (isStringVariant(value))
        return value.toString().replace(u'\'', QStringLiteral("''"));
    if (isNumberVariant(value))
        return numberText(value);
    return value.toString();
}

QString DictionaryManager::ftsQuery(const QString &word, bool prefix)
{
    // The table's tokenizer keeps ASCII letters and digits and every
    // non-ASCII character; everything else separates tokens. Lower case
    // keeps "or", "and", "not" and "near" from being operators.
    QStringList tokens;
    QString current;
    for (const QChar c : word) {
        const char16_t u = c.unicode();
        if (u >= 0x80 || (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z')) {
            current.append(c);
        } else if (u >= 'A' && u <= 'Z') {
            current.append(QChar(u + 32));
        } else if (!current.isEmpty()) {
            tokens.append(current);
            current.clear();
        }
    }
    if (!current.isEmpty())
        tokens.append(current);
    if (tokens.isEmpty())
        return {};
    return tokens.join(u' ') + (prefix ? QStringLiteral("*") : QString());
}

QStringList DictionaryManager::enabledIds() const
{
    QStringList ids;
    if (!m_library.isOpen())
        return ids;
    const auto masters = DictionaryCatalogue(m_library).usedDictionaries();
    for (const DictionaryMaster &m : masters)
        ids << QStringLiteral("'%1'").arg(m.dicId.value_or(0));
    return ids;
}

std::optional<QList<QVariantMap>> DictionaryManager::doSearchStr(const QString &word)
{
    const QStringList ids = enabledIds();
    if (ids.isEmpty())
        return std::nullopt;
    return search(word, ids, 0);
}

std::optional<DictionaryLookup> DictionaryManager::lookUp(const QString &selection)
{
    const QStringList ids = enabledIds();
    if (ids.isEmpty())
        return std::nullopt;
    DictionaryLookup result;
    result.selection = selection;
    for (const LookupForm &form : LookupForms::primary(selection)) {
        result.rows = search(form.text, ids, 0);
        if (!result.rows.isEmpty()) {
            result.form = form;
            return result;
        }
    }
    // The dictionary forms of the words (a selection in a Japanese book is
    // mostly inflected); only text with kana or ideographs, the one kind
    // that has leading parts, needs the tagger loaded.
    const QList<LookupForm> lemmas = LookupForms::leadingParts(selection).isEmpty()
        ? QList<LookupForm>()
        : LookupForms::lemmaForms(selection, *japaneseLemmas());
    for (const LookupForm &form : lemmas) {
        result.rows = search(form.text, ids, 0);
        if (!result.rows.isEmpty()) {
            result.form = form;
            return result;
        }
    }
    // The longest leading part with an entry: probe with one row each, then
    // fetch that part's rows.
    for (const LookupForm &form : LookupForms::leadingParts(selection)) {
        if (search(form.text, ids, 1).isEmpty())
            continue;
        result.rows = search(form.text, ids, 0);
        result.form = form;
        return result;
    }
    return result;
}

void DictionaryManager::setJapaneseLemmas(std::shared_ptr<const JapaneseLemmas> lemmas)
{
    m_lemmas = std::move(lemmas);
}

std::shared_ptr<const JapaneseLemmas> DictionaryManager::japaneseLemmas()
{
    if (!m_lemmas)
        m_lemmas = std::make_shared<const JapaneseLemmas>();
    return m_lemmas;
}

QString DictionaryManager::entryText(const QVariantMap &row) const
{
    LibraryStore &library = m_library;
    if (!library.isOpen())
        return {};
    const auto master = library.findFirst<DictionaryMaster>(
        QStringLiteral("\"dicId\"=?"), { row.value(QStringLiteral("dicId")).toString().toLongLong() });
    if (!master)
        return {};
    return DictionaryEntry::text(row,
        library.findAll<DictionarySettingItem>(
            QStringLiteral("\"dict\"=?"), { master->pk }, QStringLiteral("\"columnId\"")));
}

QList<QVariantMap> DictionaryManager::search(const QString &word, const QStringList &ids, int limit)
{
    QList<QVariantMap> rows;
    QSet<QString> seen;
    if (!m_db.isOpen() || ids.isEmpty())
        return rows;
    const struct {
        const char *column;
        QString query;
    } queries[] = { { "word", ftsQuery(word, true) }, { "searchWord", ftsQuery(word, false) } };
    for (const auto &q : queries) {
        if (q.query.isEmpty())
            continue;
        const QString limitText = limit > 0 ? QStringLiteral(" LIMIT %1").arg(limit) : QString();
        SqliteStatement select
            = m_db.prepare(QStringLiteral("SELECT %1,dicId FROM edict WHERE %2 MATCH ? AND dicId in (%3)%4;")
                               .arg(kColumns, QLatin1String(q.column), ids.join(u','), limitText));
        select.bind(1, q.query);
        while (select.step() == SqliteStatement::Step::Row) {
            const QVariantMap row {
                { QStringLiteral("word"), select.columnText(0) },
                { QStringLiteral("item1"), select.columnText(1) },
                { QStringLiteral("item2"), select.columnText(2) },
                { QStringLiteral("item3"), select.columnText(3) },
                { QStringLiteral("item4"), select.columnText(4) },
                { QStringLiteral("dicId"), select.columnText(5) },
            };
            QStringList key;
            for (int c = 0; c < 6; ++c)
                key << select.columnText(c);
            if (!seen.contains(key.join(QChar(0x1F)))) {
                seen.insert(key.join(QChar(0x1F)));
                rows.append(row);
            }
        }
        if (limit > 0 && rows.size() >= limit)
            break;
    }
    return rows;
}
