// Merging a large annotation download, against the baseline of a bare
// insert of the same rows in one transaction (the least any merge that
// stores them must do):
//  - 100,000 records into a book with none (all inserts);
//  - the same answer into a book that already holds them, synced (all
//    updates), to see that the matching by key stays linear.
// The merge includes reading the answer and the local records. Printed as
// ratios (goal: at most 3 for the first); absolute times for orientation.
#include "core/library/LibraryStore.h"
#include "core/sync/AnnotationMerge.h"
#include "core/sync/QMShareHelper.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace
{

double secondsOf(const std::function<bool()> &f, bool &ok)
{
    QElapsedTimer t;
    t.start();
    ok = f() && ok;
    return t.nsecsElapsed() / 1e9;
}

// The download form of `count` highlights and memos of account "1".
QVariantMap answerOf(int count)
{
    QVariantList highlights;
    QVariantList memos;
    for (int i = 0; i < count; ++i) {
        const QVariantMap e { { QStringLiteral("udId"), QStringLiteral("DEVICE-%1").arg(i % 3) },
            { QStringLiteral("user"), QStringLiteral("1") }, { QStringLiteral("highlightNo"), i / 1000 + 1 },
            { QStringLiteral("pageIdx"), i % 1000 + 1 }, { QStringLiteral("startNodeNo"), i % 50 },
            { QStringLiteral("startNodeOffset"), 3 }, { QStringLiteral("endNodeNo"), i % 50 + 1 },
            { QStringLiteral("endNodeOffset"), 9 },
            { QStringLiteral("naviId"), QString::number(i % 1000 + 1) },
            { QStringLiteral("manifestId"), QVariant::fromValue(nullptr) },
            { QStringLiteral("memoText"), i % 4 == 0 ? QStringLiteral("memo %1").arg(i) : QString() },
            { QStringLiteral("contentTitle"), QStringLiteral("Chapter %1").arg(i % 40) },
            { QStringLiteral("updateDate"), qint64(1700000000000) + i } };
        (i % 4 == 0 ? memos : highlights).append(e);
    }
    return { { QStringLiteral("shiori"), QVariantList() }, { QStringLiteral("highlight"), highlights },
        { QStringLiteral("memo"), memos } };
}

bool mergeInto(LibraryStore &store, const QVariantMap &reply, const AnnotationMerge::Context &context)
{
    const auto answer = AnnotationMerge::parse(reply, context);
    if (!answer)
        return false;
    const auto local
        = store.findAll<BookHighlightMemo>(QStringLiteral("\"metaBookID\"=?"), { context.bookId });
    return QMShareHelper::applyWrites(store, AnnotationMerge::merge(local, *answer, context));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const int scale = argc > 1 ? std::max(1, atoi(argv[1])) : 1; // 1: full size
    const int count = 100000 / scale;
    const QVariantMap reply = answerOf(count);
    AnnotationMerge::Context context;
    context.bookId = QStringLiteral("urn:bench:merge");
    context.bookID = 1;
    context.userId = QStringLiteral("1");
    // The rows the merge stores, for the bare insert.
    const auto parsed = AnnotationMerge::parse(reply, context);
    if (!parsed) {
        std::fprintf(stderr, "the benchmark's answer does not parse\n");
        return 1;
    }
    QList<BookHighlightMemo> rows = parsed->marked;

    bool ok = true;
    LibraryStore bare;
    LibraryStore merged;
    if (!bare.open(dir.filePath(QStringLiteral("bare.sqlite")))
        || !merged.open(dir.filePath(QStringLiteral("merged.sqlite")))) {
        std::fprintf(stderr, "cannot open the stores\n");
        return 1;
    }
    const double insert = secondsOf(
        [&] {
            return bare.transaction([&] {
                for (BookHighlightMemo &r : rows)
                    if (!bare.insert(r))
                        return false;
                return true;
            });
        },
        ok);
    const double mergeNew = secondsOf([&] { return mergeInto(merged, reply, context); }, ok);
    const double mergeAgain = secondsOf([&] { return mergeInto(merged, reply, context); }, ok);
    if (!ok || merged.count<BookHighlightMemo>() != count) {
        std::fprintf(stderr, "a step failed\n");
        return 1;
    }
    std::printf("bare insert of %d rows: %.3f s\n", count, insert);
    std::printf("merge of %d new records: %.3f s (ratio %.2f to the bare insert; goal <= 3)\n", count,
        mergeNew, mergeNew / std::max(insert, 1e-9));
    std::printf("merge of the same %d records again (updates): %.3f s (ratio %.2f)\n", count, mergeAgain,
        mergeAgain / std::max(insert, 1e-9));
    return 0;
}
