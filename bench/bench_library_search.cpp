// The library's full-text index over many generated books. Baseline: a bare
// insert of the same text into an FTS4 table in one transaction (no word
// breaking, no reading of books). Prints the indexing throughput against
// it, and the median and 99th percentile of 1,000 queries.
#include "core/library/SqliteDatabase.h"
#include "core/shelf/LibrarySearchIndex.h"
#include "support/TextEpub.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace
{

const char *kWords[] = { "patient", "dose", "renal", "hepatic", "clearance", "infusion", "bolus", "monitor",
    "serum", "level", "adverse", "effect", "interaction", "contraindicated", "pregnancy", "elderly", "腎機能",
    "投与量", "副作用", "相互作用", "禁忌", "高齢者", "注意", "血中濃度" };

QString sentence(QRandomGenerator &rng, int words)
{
    QString s;
    for (int i = 0; i < words; ++i) {
        if (rng.bounded(10) == 0)
            s += QStringLiteral("drug%1 ").arg(rng.bounded(5000));
        else
            s += QString::fromUtf8(kWords[rng.bounded(int(std::size(kWords)))]) + u' ';
    }
    return s;
}

double msOf(const std::function<void()> &f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int books = argc > 1 ? QByteArray(argv[1]).toInt() : 500;
    const int chapters = 8;
    const int wordsPerChapter = 800;
    QTemporaryDir dir;
    const QString contents = dir.filePath(QStringLiteral("contents"));
    QDir().mkpath(contents);
    QRandomGenerator rng(5);
    QStringList allText;
    qint64 textBytes = 0;
    for (int b = 0; b < books; ++b) {
        QList<TextChapter> book;
        for (int c = 0; c < chapters; ++c) {
            const QString text = sentence(rng, wordsPerChapter);
            textBytes += text.toUtf8().size();
            allText << text;
            book.append({ QStringLiteral("Chapter %1").arg(c + 1), "<p>" + text.toUtf8() + "</p>" });
        }
        writeTextEpub(
            contents + QStringLiteral("/book%1.epub").arg(b), QStringLiteral("Book %1").arg(b), book);
    }

    const double bare = msOf([&] {
        SqliteDatabase db;
        db.open(dir.filePath(QStringLiteral("bare.sqlite")));
        db.exec(QStringLiteral("CREATE VIRTUAL TABLE t USING fts4(body); BEGIN"));
        SqliteStatement insert = db.prepare(QStringLiteral("INSERT INTO t(body) VALUES (?)"));
        for (const QString &text : allText) {
            insert.bind(1, text);
            insert.step();
            insert.reset();
        }
        db.exec(QStringLiteral("COMMIT"));
    });

    LibrarySearchIndex index(dir.filePath(QStringLiteral("index.sqlite")));
    const double indexing = msOf([&] { index.update(contents); });

    QList<double> times;
    const int queries = argc > 2 ? QByteArray(argv[2]).toInt() : 1000;
    for (int q = 0; q < queries; ++q) {
        const QString term = q % 2 ? QString::fromUtf8(kWords[q % int(std::size(kWords))])
                                   : QStringLiteral("drug%1").arg(rng.bounded(5000));
        times << msOf([&] { index.search(term, 200); });
    }
    std::sort(times.begin(), times.end());
    if (times.isEmpty())
        times << 0;
    const double mb = textBytes / 1048576.0;
    std::printf("%d books, %.1f MB of text\n", books, mb);
    std::printf("bare FTS4 insert, one transaction: %.0f ms (%.1f MB/s)\n", bare, mb / (bare / 1000));
    std::printf("library index (read books, break words, index): %.0f ms (%.1f MB/s) = %.2fx the bare insert "
                "(goal: within 1.5x)\n",
        indexing, mb / (indexing / 1000), indexing / bare);
    std::printf("1000 queries (200 hits max): median %.2f ms, p99 %.2f ms (goal: median under 20 ms)\n",
        times.at(times.size() / 2), times.at(times.size() * 99 / 100));
    return 0;
}
