// Reopening a 2,000-entry book at a place deep in its long chapter, to the
// first paint with the kept line at the top, against opening the same
// chapter at its top (the baseline: what reopening cost before places were
// kept). Prints the median of several rounds of each and the ratio.
//
// Needs a display (run under xvfb-run without one) and runs in a private
// HOME, with servers that answer nothing. BENCH_ENTRIES sets another entry
// count.
#include "BenchLibrary.h"
#include "app/AppDelegate.h"
#include "core/library/Library.h"
#include "core/platform/ServerConfig.h"
#include "core/platform/UserDefaults.h"
#include "core/reader/ReadingState.h"
#include "support/TextEpub.h"
#include "support/Wait.h"
#include "ui/reader/EpubPane.h"
#include "ui/reader/EpubScheme.h"
#include "ui/reader/ReaderVC.h"
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

const int kEntries
    = qEnvironmentVariableIsSet("BENCH_ENTRIES") ? qEnvironmentVariableIntValue("BENCH_ENTRIES") : 2000;
constexpr int kRounds = 7;

bool writeBook(const QString &path)
{
    QByteArray entries;
    for (int i = 0; i < kEntries; ++i)
        entries
            += QStringLiteral("<div><h3>見出し %1</h3><p>%1 番目の項目。作用機序、用量、副作用、相互作用を"
                              "まとめて記す。腎機能と肝機能に応じて調整する。</p></div>")
                   .arg(i)
                   .toUtf8();
    return writeTextEpub(path, QStringLiteral("二千項目"),
        { { QStringLiteral("はじめに"), "<p>はじめに</p>" }, { QStringLiteral("項目"), entries } });
}

// The view's result of `script` (page's own world).
QVariant valueOf(QWebEngineView *view, const QString &script)
{
    std::optional<QVariant> result;
    view->page()->runJavaScript(script, [&](const QVariant &v) { result = v; });
    waitUntil([&] { return result.has_value(); });
    return result.value_or(QVariant());
}

// Opens the book and waits until the page is shown with the heading of
// entry `entry` at the top of the view (entry 0: the chapter's top), then
// for two painted frames.
bool openAndWaitForLine(AppDelegate &app, LibraryStore &store, int entry)
{
    app.changeToReader(ShelfVC::bookInfo(Library(store), QStringLiteral("entries.epub")));
    ReaderVC *reader = app.readerVC();
    if (!reader || !reader->epubPane())
        return false;
    QWebEngineView *web = reader->epubPane()->web();
    const QString shown = QStringLiteral(
        "(function () {"
        "  if (!document.body || document.documentElement.style.visibility === 'hidden') return false;"
        "  var hs = document.getElementsByTagName('h3');"
        "  if (hs.length < %1) return false;"
        "  if (%2 === 0) return window.scrollY === 0;"
        "  var r = hs[%2].getBoundingClientRect();"
        "  return r.bottom > 0 && r.top < 4;"
        "})()")
                              .arg(kEntries)
                              .arg(entry);
    if (!waitUntil(
            [&] {
                return web->url().path().endsWith(QStringLiteral("c2.xhtml")) && valueOf(web, shown).toBool();
            },
            60000))
        return false;
    return valueOf(web,
        QStringLiteral("new Promise(function (r) { requestAnimationFrame(function () {"
                       " requestAnimationFrame(function () { r(true); }); }); })"))
        .isValid();
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
    DataFolder::createContentsFolder();
    BookMetaData book;
    book.BookID = 1;
    book.identifier = QStringLiteral("urn:bench:entries");
    book.title = QStringLiteral("二千項目");
    book.fileName = QStringLiteral("entries.epub");
    if (!store.open(home.filePath(QStringLiteral("Tavro.sqlite")))
        || !writeBook(DataFolder::contentsFolder() + QStringLiteral("/entries.epub"))
        || !store.insert(book)) {
        std::fprintf(stderr, "could not build the library\n");
        return 1;
    }
    UserDefaults::setValue(QString::fromLatin1(UserDefaults::hasBuildBookInfo), 1);
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

    // Entry `deep` is the element "/deep" of the chapter's body.
    const int deep = kEntries * 17 / 20;
    ReadingPlace place = ReadingPlace::at(1, 0.85);
    place.path = QStringLiteral("/%1").arg(deep);
    auto storeState = [&](std::optional<ReadingPlace> kept) {
        BookStatusData status = Library(store).books().findStatus(1).value_or(BookStatusData());
        status.BookID = 1;
        status.lastOpenPage = 1;
        status.readingPlace = kept ? std::optional<QString>(kept->toJson()) : std::nullopt;
        return Library(store).books().saveStatus(status);
    };
    auto backToShelf = [&app] {
        QPointer<ReaderVC> closed = app.readerVC();
        app.changeToShelf();
        waitUntil([&] { return closed.isNull(); });
    };
    // One opening of each first, not measured: the engine starts, the text
    // lengths are measured and kept.
    QList<double> atTop, atPlace;
    bool ok = storeState(std::nullopt) && openAndWaitForLine(app, store, 0);
    backToShelf();
    for (int round = 0; ok && round < kRounds; ++round) {
        ok = storeState(std::nullopt);
        atTop << bench::secondsOf([&] { ok = ok && openAndWaitForLine(app, store, 0); });
        backToShelf();
        ok = ok && storeState(place);
        atPlace << bench::secondsOf([&] { ok = ok && openAndWaitForLine(app, store, deep); });
        backToShelf();
    }
    if (!ok) {
        std::fprintf(stderr, "the book did not open at its line\n");
        return 1;
    }
    const double top = median(atTop);
    const double kept = median(atPlace);
    std::printf("reopening a %d-entry chapter to its first paint at the right line (median of %d)\n",
        kEntries, kRounds);
    std::printf("  at the chapter's top (baseline) : %8.1f ms\n", top * 1e3);
    std::printf(
        "  at entry %d (kept place)      : %8.1f ms  (%.2fx the baseline)\n", deep, kept * 1e3, kept / top);
    return 0;
}
