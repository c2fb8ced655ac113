// The local backend's annotation store, with its baseline measured in the
// same run: one book's download (the rows read and the answer's three lists
// made) with 20,000 annotations against the same with 1,000, to see that it
// grows linearly, and how long the store lock is held while it runs; an
// upload of 10,000 records against one of 500.
// Printed as ratios; the absolute times are for orientation only.
#include "BackendConfig.h"
#include "BackendStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>
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
        times.push_back(double(t.nsecsElapsed()) / 1e9);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

QVariantMap record(const QString &book, int i)
{
    const bool memo = i % 4 == 0;
    return { { "bookId", book }, { "udId", "DEV-A" }, { "updateUdId", "DEV-A" },
        { "memoText", memo ? QStringLiteral("note %1").arg(i) : QStringLiteral("(null)") },
        { "pageIdx", QString::number(i) }, { "manifestId", "ch5" }, { "startNodeNo", "3" },
        { "startNodeOffset", "10" }, { "endNodeNo", "4" }, { "endNodeOffset", "2" },
        { "updateDate", "20261201T101500.250" }, { "highlightNo", memo ? "1" : "0" }, { "user", "1" },
        { "naviId", "6" } };
}

QString kindOf(const QVariantMap &r)
{
    return r.value(QStringLiteral("highlightNo")).toString() == u"0" ? QStringLiteral("BooksShiori")
                                                                     : QStringLiteral("BooksMemo");
}

bool fill(BackendStore &store, const QString &book, int count)
{
    for (int from = 0; from < count; from += 10000) {
        QVariantList records;
        for (int i = from; i < std::min(count, from + 10000); ++i)
            records.append(record(book, i));
        if (!store.applyAnnotationUpload(false, records, {}, kindOf))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    BackendConfig config;
    config.accounts.append({ QStringLiteral("bench"), QStringLiteral("bench-pass"), {}, {}, {} });
    BackendStore store;
    if (!store.open(dir.path(), config)) {
        std::fprintf(stderr, "cannot open the store\n");
        return 1;
    }
    constexpr int kSmall = 1000;
    constexpr int kLarge = 20000;
    if (!fill(store, QStringLiteral("urn:small"), kSmall)
        || !fill(store, QStringLiteral("urn:large"), kLarge)) {
        std::fprintf(stderr, "cannot fill the store\n");
        return 1;
    }
    size_t sink = 0;
    auto download = [&](const QString &book) {
        return [&, book] { sink += size_t(store.annotations(false, book, QStringLiteral("1")).size()); };
    };
    const double small = medianSeconds(5, download(QStringLiteral("urn:small")));
    const double large = medianSeconds(3, download(QStringLiteral("urn:large")));
    std::printf("annotation download, %d vs %d annotations: %.1f ms vs %.1f ms (ratio %.1f for %dx the "
                "records)\n",
        kLarge, kSmall, large * 1e3, small * 1e3, large / small, kLarge / kSmall);

    // A sign-in's look-up while the large download runs: it waits for the
    // store lock only as long as the download holds it.
    std::atomic<bool> running { true };
    std::thread reader([&] {
        // A pause between downloads, as between two clients' requests: the
        // mutex is not fair, and a thread that takes it again at once could
        // keep the look-up out however short each hold.
        while (running) {
            sink += size_t(store.annotations(false, QStringLiteral("urn:large"), QStringLiteral("1")).size());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    double longestWait = 0;
    for (int i = 0; i < 50; ++i) {
        longestWait = std::max(longestWait, medianSeconds(1, [&] {
            sink += size_t(
                store.accountByPassword(QStringLiteral("bench"), QStringLiteral("bench-pass")).has_value());
        }));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    running = false;
    reader.join();
    std::printf(
        "sign-in look-up during %d-annotation downloads: longest %.1f ms (the download alone %.1f ms)\n",
        kLarge, longestWait * 1e3, large * 1e3);

    int round = 0;
    auto upload = [&](int count) {
        return [&, count] {
            const QString book = QStringLiteral("urn:up%1").arg(++round);
            QVariantList records;
            for (int i = 0; i < count; ++i)
                records.append(record(book, i));
            sink += size_t(store.applyAnnotationUpload(false, records, {}, kindOf));
        };
    };
    const double upSmall = medianSeconds(5, upload(500));
    const double upLarge = medianSeconds(3, upload(10000));
    std::printf(
        "annotation upload, 10000 vs 500 records: %.1f ms vs %.1f ms (ratio %.1f for 20x the records)\n",
        upLarge * 1e3, upSmall * 1e3, upLarge / upSmall);
    std::printf("(checksum %zu)\n", sink);
    return 0;
}
