// Dictionary import, look-up and CSV reading, each against a named baseline
// measured in the same run:
//  - import of the converted EDICT CSV against (a) the same rows inserted one
//    autocommit statement at a time, on a slice, and (b) a bare
//    single-transaction insert of the same prepared rows into the same table
//    (the floor: SQLite's own FTS indexing);
//  - median and 99th percentile of a look-up over 1,000 headwords;
//  - CSV parsing throughput against Python's csv module on the same file.
#include "core/dictionary/CSVParser.h"
#include "core/dictionary/DictionaryManager.h"
#include "core/library/LibraryStore.h"
#include "core/library/SqliteDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace
{

double seconds(const std::function<void()> &f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e9;
}

class Collector : public CSVParserDelegate
{
public:
    QList<QStringList> rows;
    void didBeginLine(CSVParser *, quint64) override { m_current.clear(); }
    void didReadField(CSVParser *, const QString &f, qint64) override { m_current.append(f); }
    void didEndLine(CSVParser *, quint64) override { rows.append(m_current); }

private:
    QStringList m_current;
};

class Counter : public CSVParserDelegate
{
public:
    quint64 fields = 0;
    void didReadField(CSVParser *, const QString &, qint64) override { ++fields; }
};

const char *kCreate
    = "CREATE VIRTUAL TABLE edict USING fts4(word, item1, item2, item3, item4, searchWord, dicId)";
const char *kInsert
    = "INSERT INTO edict(word, item1, item2 ,item3, item4, searchWord, dicId) VALUES(?,?,?,?,?,?,?)";

double insertPrepared(const QString &path, const QList<QVariantList> &rows, bool oneTransaction)
{
    QFile::remove(path);
    SqliteDatabase db;
    db.open(path);
    db.scalar(QStringLiteral("PRAGMA journal_mode=WAL"));
    db.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    db.exec(QString::fromLatin1(kCreate));
    SqliteStatement insert = db.prepare(QString::fromLatin1(kInsert));
    return seconds([&] {
        if (oneTransaction)
            db.exec(QStringLiteral("BEGIN"));
        for (const QVariantList &row : rows) {
            insert.reset();
            insert.bindAll(row);
            insert.step();
        }
        if (oneTransaction)
            db.exec(QStringLiteral("COMMIT"));
    });
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString dir = QDir::tempPath() + QStringLiteral("/tavro-bench");
    QDir().mkpath(dir);
    const QString csv = dir + QStringLiteral("/edict.csv");
    if (!QFileInfo::exists(csv)) {
        QProcess gen;
        gen.start(
            QStringLiteral("python3"), { QStringLiteral(TAVRO_EDICT_TOOL), QStringLiteral("--out"), csv });
        gen.waitForFinished(-1);
        if (gen.exitCode() != 0) {
            std::fprintf(stderr, "cannot convert EDICT (is the edict package installed?)\n");
            return 1;
        }
    }
    const double megabytes = QFileInfo(csv).size() / 1e6;

    // CSV reading against Python's csv module, and the memory it takes.
    auto peakKb = [] {
        rusage u {};
        getrusage(RUSAGE_SELF, &u);
        return long(u.ru_maxrss);
    };
    const long rssBefore = peakKb();
    const double ours = seconds([&] {
        Counter counter;
        auto parser = CSVParser::withContentsOfFile(csv);
        parser->setOptions(2);
        parser->setDelegate(&counter);
        parser->parse();
    });
    QProcess py;
    py.start(QStringLiteral("python3"),
        { QStringLiteral("-c"),
            QStringLiteral(
                "import csv,sys,time\nt=time.perf_counter()\n"
                "n=sum(len(r) for r in csv.reader(open(sys.argv[1],encoding='utf-8',newline='')))\n"
                "print(time.perf_counter()-t)"),
            csv });
    py.waitForFinished(-1);
    const double python = py.readAllStandardOutput().trimmed().toDouble();
    std::printf("CSV parsing of %.1f MB: ours %.1f MB/s, Python csv %.1f MB/s (ratio %.2fx faster)\n",
        megabytes, megabytes / ours, megabytes / python, python / ours);
    std::printf(
        "  peak memory growth while parsing: %ld KB for a %.1f MB file (bounded by the longest field)\n",
        peakKb() - rssBefore, megabytes);

    // Import.
    QTemporaryDir work;
    LibraryStore store;
    store.open(work.filePath(QStringLiteral("Tavro.sqlite")));
    DictionaryManager manager(store, work.filePath(QStringLiteral("Dic.sqlite")));
    const double import = seconds([&] {
        manager.expandDic(csv,
            { { QStringLiteral("bookId"), QStringLiteral("edict") },
                { QStringLiteral("bookTitle"), QStringLiteral("EDICT") } },
            QString());
    });

    Collector collector;
    {
        auto parser = CSVParser::withContentsOfFile(csv);
        parser->setOptions(2);
        parser->setDelegate(&collector);
        parser->parse();
    }
    QList<QVariantList> prepared;
    for (qsizetype i = 1; i < collector.rows.size(); ++i) {
        const QStringList &f = collector.rows.at(i);
        if (f.size() == 1 && f.first().isEmpty())
            continue;
        prepared.append({ f.value(0), f.value(1), f.value(2), f.value(3), f.value(4),
            DictionaryManager::searchWordFor(f.value(0)), QStringLiteral("1") });
    }
    const qsizetype rows = prepared.size();
    const double floor = insertPrepared(work.filePath(QStringLiteral("floor.sqlite")), prepared, true);
    const int slice = 2000;
    const double autocommit
        = insertPrepared(work.filePath(QStringLiteral("autocommit.sqlite")), prepared.mid(0, slice), false);
    const double autocommitAll = autocommit / slice * rows;
    std::printf(
        "import of %lld rows: %.2f s, %.0f rows/s\n", static_cast<long long>(rows), import, rows / import);
    std::printf("  floor (one transaction, prepared rows): %.2f s, %.0f rows/s; ratio import/floor %.2fx "
                "(goal <= 1.5x)\n",
        floor, rows / floor, import / floor);
    std::printf("  autocommit per row (on %d rows): %.0f rows/s; ratio autocommit/import %.1fx\n", slice,
        slice / autocommit, autocommitAll / import);

    // Look-ups over 1,000 headwords drawn from the file.
    QRandomGenerator rng(2024);
    QList<double> times;
    for (int i = 0; i < 1000; ++i) {
        const QString word = prepared.at(rng.bounded(int(rows))).first().toString();
        times.append(seconds([&] { manager.doSearchStr(word); }) * 1000.0);
    }
    std::sort(times.begin(), times.end());
    std::printf("look-up over 1000 headwords: median %.3f ms, p99 %.3f ms (goal: median < 1 ms)\n",
        times.at(500), times.at(989));
    return 0;
}
