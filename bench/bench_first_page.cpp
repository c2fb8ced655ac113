// Time from choosing a book on a shelf of 2,000 books to its first page
// painted in the reader, through the real shelf and reader screens in a
// real window. The baseline is the plain approach of reading every package
// whenever the shelf is drawn: the same choice, made on a shelf that is
// drawn that way before the reader takes the window. Prints the median of
// several rounds of each and the ratio.
//
// Needs a display (run under xvfb-run without one) and runs in a private
// HOME, with servers that answer nothing. BENCH_BOOKS sets another shelf
// size; BENCH_TRACE prints when each reader was made and its page loaded.
#include "BenchLibrary.h"
#include "app/AppDelegate.h"
#include "core/content/BookUrl.h"
#include "core/content/EPUBManager.h"
#include "core/platform/ServerConfig.h"
#include "core/platform/UserDefaults.h"
#include "core/shelf/ShelfModel.h"
#include "support/Wait.h"
#include "ui/reader/EpubPane.h"
#include "ui/reader/EpubScheme.h"
#include "ui/reader/PageScripts.h"
#include "ui/reader/ReaderVC.h"
#include "ui/shelf/CoverCache.h"
#include "ui/shelf/ShelfVC.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace
{

const int kBooks
    = qEnvironmentVariableIsSet("BENCH_BOOKS") ? qEnvironmentVariableIntValue("BENCH_BOOKS") : 2000;
constexpr int kRounds = 5;

// Chooses row `row` of the shown shelf and waits for the reader's first
// page to be loaded and painted (two animation frames after the load).
bool chooseAndWaitForFirstPage(AppDelegate &app, int row)
{
    ShelfVC *shelf = app.shelfVC();
    const QModelIndex item = shelf->list()->model()->index(row, 0);
    if (!item.isValid())
        return false;
    QElapsedTimer open;
    open.start();
    emit shelf->list()->rowChosen(item.row());
    if (qEnvironmentVariableIsSet("BENCH_TRACE"))
        std::fprintf(stderr, "reader made after %lld ms\n", open.elapsed());
    ReaderVC *reader = app.readerVC();
    if (!reader || !reader->epubPane() || !reader->epubPane()->web())
        return false;
    QWebEngineView *web = reader->epubPane()->web();
    bool loaded = false;
    QObject::connect(web, &QWebEngineView::loadFinished, reader, [&](bool ok) { loaded = ok; });
    QElapsedTimer t;
    t.start();
    if (!waitUntil([&] { return loaded; }))
        return false;
    if (qEnvironmentVariableIsSet("BENCH_TRACE"))
        std::fprintf(stderr, "loaded after %lld ms\n", t.elapsed());
    bool painted = false;
    PageScripts::run(web->page(),
        QStringLiteral(
            "new Promise(function (r) { requestAnimationFrame(function () {"
            " requestAnimationFrame(function () { window.benchPainted = true; r(); }); }); }); 1"));
    while (!painted) {
        std::optional<bool> answer;
        PageScripts::run(web->page(), QStringLiteral("window.benchPainted === true"),
            [&](const QVariant &v) { answer = v.toBool(); });
        if (!waitUntil([&] { return answer.has_value(); }))
            return false;
        painted = *answer;
    }
    return true;
}

// What drawing the shelf costs when every package is read for its cover.
int drawShelfReadingEveryPackage(LibraryStore &store)
{
    int made = 0;
    for (const ShelfEntry &e : ShelfModel(Library(store)).items(1, std::nullopt)) {
        EPUBManager epub(BookUrl::rootUrl(e.fileName));
        made += !epub.coverImage().scaled(CoverCache::kCoverSize, Qt::KeepAspectRatio).isNull();
    }
    return made;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.at(v.size() / 2);
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    for (const char *var : { "HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME" })
        qputenv(var, home.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    EpubScheme::registerScheme();
    QApplication qapp(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tavro"));
    LibraryStore store;
    if (!store.open(home.filePath(QStringLiteral("Tavro.sqlite")))
        || !bench::makeLibrary(store, QStringLiteral(TAVRO_SAMPLE_BOOK), kBooks)) {
        std::fprintf(stderr, "could not build the library\n");
        return 1;
    }
    UserDefaults::setValue(QString::fromLatin1(UserDefaults::hasBuildBookInfo), 1);
    // Whatever the start-up has to say about the missing servers is
    // answered at once.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(w);
                box && box->isVisible() && !box->buttons().isEmpty())
                box->buttons().first()->click();
    });
    answer.start(20);

    const ServerConfig servers(QStringLiteral("http://127.0.0.1:9"), QStringLiteral("/nonexistent.ini"));
    AppDelegate app(store, servers);
    app.applicationDidFinishLaunching();
    app.changeToShelf();
    settle(500); // the first covers come in

    QList<double> ours;
    QList<double> naive;
    int made = 0;
    // Back to the shelf, the closed reader gone before the next choice.
    auto backToShelf = [&app] {
        QPointer<ReaderVC> closed = app.readerVC();
        app.changeToShelf();
        waitUntil([&] { return closed.isNull(); });
    };
    for (int round = 0; round < kRounds; ++round) {
        bool ok = true;
        ours << bench::secondsOf([&] { ok = ok && chooseAndWaitForFirstPage(app, round); });
        backToShelf();
        naive << bench::secondsOf([&] {
            made += drawShelfReadingEveryPackage(store);
            ok = ok && chooseAndWaitForFirstPage(app, round + kRounds);
        });
        backToShelf();
        if (!ok) {
            std::fprintf(stderr, "a book did not open\n");
            return 1;
        }
    }
    const double a = median(ours);
    const double b = median(naive);
    std::printf(
        "choosing a book on a shelf of %d books to its first page painted (median of %d, %d covers read)\n",
        kBooks, kRounds, made);
    std::printf("  every package read on drawing the shelf: %8.1f ms\n", b * 1e3);
    std::printf("  shelf as built (covers kept, lazy)     : %8.1f ms  (%.1fx faster)\n", a * 1e3, b / a);
    return 0;
}
