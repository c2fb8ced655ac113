// Importing WordNet (Debian's dict-wn, a dictd database of about 147,000
// entries with dictzip data) against a named baseline measured in the same
// run: the floor, a bare single-transaction insert of the same prepared
// rows (headword, text, search key) into the same full-text table, i.e.
// SQLite's own FTS indexing. Also the time to read every record from the
// source alone. Goal: import / floor <= 1.2x.
#include "core/dictionary/DictionaryManager.h"
#include "core/dictionary/DictionarySourceFactory.h"
#include "core/library/LibraryStore.h"
#include "core/library/SqliteDatabase.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

namespace
{

const QString kWordNet = QStringLiteral("/usr/share/dictd/wn.index");

double seconds(const std::function<void()> &f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (!QFileInfo::exists(kWordNet)) {
        std::fprintf(stderr, "no %s (install dict-wn: scripts/install-deps)\n", qPrintable(kWordNet));
        return 1;
    }

    // Reading alone: every record out of the index and the dictzip data.
    QList<QStringList> records;
    const double reading = seconds([&] {
        auto source = DictionarySourceFactory::create(kWordNet);
        if (source->open({}) != DictionarySource::OpenResult::Ready)
            return;
        QStringList fields;
        while (source->next(&fields))
            records.append(fields);
    });
    if (records.isEmpty()) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(kWordNet));
        return 1;
    }
    const qsizetype rows = records.size();

    QTemporaryDir work;
    LibraryStore::main().open(work.filePath(QStringLiteral("Tavro.sqlite")));
    double import = 0;
    {
        DictionaryManager manager(work.filePath(QStringLiteral("Dic.sqlite")));
        import = seconds([&] {
            manager.expandDic(kWordNet, { { QStringLiteral("bookId"), QStringLiteral("wn") } }, QString());
    });
}

// The floor: the same rows, prepared beforehand (search keys included),
// in one transaction into a fresh table of the same shape.
QList<QVariantList> prepared;
prepared.reserve(rows);
for (const QStringList &f : records)
    prepared.append({ f.value(0), f.value(1), QString(), QString(), QString(),
        DictionaryManager::searchWordFor(f.value(0)), QStringLiteral("1") });
const QString floorPath = work.filePath(QStringLiteral("floor.sqlite"));
SqliteDatabase db;
db.open(floorPath);
db.scalar(QStringLiteral("PRAGMA journal_mode=WAL"));
db.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
db.exec(QStringLiteral(
    "CREATE VIRTUAL TABLE edict USING fts4(word, item1, item2, item3, item4, searchWord, dicId)"));
SqliteStatement insert = db.prepare(QStringLiteral(
    "INSERT INTO edict(word, item1, item2 ,item3, item4, searchWord, dicId) VALUES(?,?,?,?,?,?,?)"));
const double floor = seconds([&] {
    db.exec(QStringLiteral("BEGIN"));
    for (const QVariantList &row : prepared) {
        insert.reset();
        insert.bindAll(row);
        insert.step();
    }
    db.exec(QStringLiteral("COMMIT"));
});

std::printf("WordNet import of %lld entries: %.2f s, %.0f rows/s\n", static_cast<long long>(rows), import,
    rows / import);
std::printf("  floor (one transaction, prepared rows): %.2f s, %.0f rows/s; ratio import/floor %.2fx "
            "(goal <= 1.2x)\n",
    floor, rows / floor, import / floor);
std::printf(
    "  reading the dictd source alone: %.2f s (%.0f%% of the import)\n", reading, 100.0 * reading / import);
LibraryStore::cleanUp();
return 0;
}
