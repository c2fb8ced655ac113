// Opening a shelf of 2,000 registered books, the way the shelf screen does
// it (the book list, then covers for the first screenful, the rest made as
// they scroll into view), against the plain approach of reading every
// package for its cover whenever the shelf is drawn. Prints both times and
// the ratio, then the time to draw the same shelf again with the covers kept.
//
// Runs on the offscreen platform in a private HOME.
#include "BenchLibrary.h"
#include "core/content/BookUrl.h"
#include "core/content/EPUBManager.h"
#include "core/library/Library.h"
#include "core/library/LibraryStore.h"
#include "core/platform/DataFolder.h"
#include "core/platform/UserDefaults.h"
#include "core/shelf/ShelfModel.h"
#include "ui/shelf/CoverCache.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace
{

constexpr int kBooks = 2000;
constexpr int kScreenful = 40; // 8 columns by 5 rows of covers

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    for (const char *var : { "HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME" })
        qputenv(var, home.path().toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tavro"));
    LibraryStore store;
    if (!store.open(home.filePath(QStringLiteral("Tavro.sqlite")))
        || !bench::makeLibrary(store, QStringLiteral(TAVRO_SAMPLE_BOOK), kBooks)) {
        std::fprintf(stderr, "could not build the library\n");
        return 1;
    }
    UserDefaults::setValue(QString::fromLatin1(UserDefaults::hasBuildBookInfo), 1);
    ShelfModel shelf { Library(store) };

    int made = 0;
    const double naive = bench::secondsOf([&] {
        for (const ShelfEntry &e : shelf.items(1, std::nullopt)) {
            EPUBManager epub(BookUrl::rootUrl(e.fileName));
            const QImage cover = epub.coverImage();
            made += !cover.scaled(CoverCache::kCoverSize, Qt::KeepAspectRatio).isNull();
        }
    });

    CoverCache covers(kBooks);
    QList<ShelfEntry> shown;
    const double ours = bench::secondsOf([&] {
        shown = shelf.items(1, std::nullopt);
        for (int i = 0; i < std::min<int>(kScreenful, int(shown.size())); ++i)
            made += !covers.cover(shown.at(i), QString()).isNull();
    });
    for (const ShelfEntry &e : shown) // scrolled through once
        covers.cover(e, QString());
    const double again = bench::secondsOf([&] {
        for (const ShelfEntry &e : shelf.items(1, std::nullopt))
            made += !covers.cover(e, QString()).isNull();
    });

    std::printf("shelf of %d books (%d covers made)\n", int(shown.size()), made);
    std::printf("  every package read on drawing : %8.1f ms\n", naive * 1e3);
    std::printf("  list + first screenful        : %8.1f ms  (%.1fx faster)\n", ours * 1e3, naive / ours);
    std::printf("  whole shelf again, covers kept: %8.1f ms  (%.1fx faster than reading every package)\n",
        again * 1e3, naive / again);
    return 0;
}
