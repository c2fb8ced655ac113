// Annotations of one book, with baselines measured in the same run:
//  - the drawing script of a page with 300 highlights against the same page
//    with none (the cost a page load adds before the page script runs);
//  - the annotation list of a book with 5,000 annotations (the three lists
//    read and every row's text made) against a book with 50, to see that it
//    grows linearly.
// Printed as ratios; the absolute times are for orientation only.
#include "core/library/Library.h"
#include "core/library/LibraryStore.h"
#include "core/platform/ConfigDictionary.h"
#include "core/platform/DataFolder.h"
#include "core/reader/AnnotationList.h"
#include "core/reader/ReaderAnnotations.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace
{

double medianSeconds(int runs, const std::function<void()> &f)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        times.push_back(t.nsecsElapsed() / 1e9);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// `count` annotations of book `bookID`: a third bookmarks, a third
// highlights, a third memos, spread over 100 pages.
bool fill(const Library &library, qint64 bookID, int count, int onPage = -1)
{
    LibraryStore &store = library.store();
    return store.transaction([&] {
        for (int i = 0; i < count; ++i) {
            const int page = onPage >= 0 ? onPage : i % 100;
            if (onPage < 0 && i % 3 == 0) {
                BookHighlightMemo mark;
                mark.BookID = bookID;
                mark.PageIdx = i; // one bookmark per page
                mark.highlightNo = 0;
                mark.updateTime = QDateTime::currentDateTimeUtc();
                if (!store.insert(mark))
                    return false;
                continue;
            }
            auto r = library.annotations().addBookHighlightMemoWithBookID(bookID, QString::number(page + 1),
                std::nullopt, page, i + 1, i, 0, i, 10, std::nullopt,
                i % 3 == 2 ? std::optional(QStringLiteral("memo %1").arg(i)) : std::nullopt, std::nullopt, 0,
                0, QStringLiteral("Chapter"), QStringLiteral("urn:bench"));
            if (!r)
                return false;
            r->markedText = QStringLiteral("passage %1").arg(i);
            if (!store.save(*r))
                return false;
        }
        return true;
    });
}

size_t listRows(const Library &library, qint64 bookID)
{
    const AnnotationList list = AnnotationList::load(library.annotations(), bookID);
    size_t chars = 0;
    for (auto tab :
        { AnnotationList::Tab::Bookmarks, AnnotationList::Tab::Highlights, AnnotationList::Tab::Memos })
        for (const BookHighlightMemo &r : list.list(tab))
            chars += size_t(AnnotationList::rowText(tab, r).size());
    return chars;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    LibraryStore store;
    if (!store.open(dir.filePath(QStringLiteral("bench.sqlite")))) {
        std::fprintf(stderr, "cannot open the store\n");
        return 1;
    }
    // The device id annotations are stored under is the saved one.
    ConfigDictionary config(DataFolder::configFile());
    config.setValue(QStringLiteral("uuid"), QStringLiteral("BENCH-DEVICE"));
    config.save();
    const int scale = argc > 1 ? std::max(1, atoi(argv[1])) : 1; // 1: full size
    const int highlights = 300 / scale;
    const int listed = 5000 / scale;
    // book 1: a page with 300 highlights; book 2: 5,000 annotations; book 3: 50
    const Library library(store);
    if (!fill(library, 1, highlights, 4) || !fill(library, 2, listed) || !fill(library, 3, listed / 100)) {
        std::fprintf(stderr, "cannot fill the store\n");
        return 1;
    }

    AnnotationPage full;
    full.bookID = 1;
    full.pageIdx = 4;
    AnnotationPage empty = full;
    empty.pageIdx = 5;
    ReaderAnnotations rules(library.annotations());
    size_t sink = 0;
    const double none = medianSeconds(51, [&] { sink += size_t(rules.pageScript(empty).size()); });
    const double many = medianSeconds(51, [&] { sink += size_t(rules.pageScript(full).size()); });
    const double small = medianSeconds(21, [&] { sink += listRows(library, 3); });
    const double large = medianSeconds(11, [&] { sink += listRows(library, 2); });
    std::printf("page drawing script, %d highlights vs none: %.3f ms vs %.3f ms (ratio %.1f)\n", highlights,
        many * 1e3, none * 1e3, many / std::max(none, 1e-9));
    std::printf(
        "annotation list, %d vs %d annotations: %.2f ms vs %.2f ms (ratio %.1f for %dx the records)\n",
        listed, listed / 100, large * 1e3, small * 1e3, large / std::max(small, 1e-9), 100);
    std::printf("(checksum %zu)\n", sink);
    return 0;
}
