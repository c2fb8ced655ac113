// Serving every entry of a large EPUB through the epub:// resolver, against
// `unzip -t` on the same file (which inflates every entry once) as the
// baseline. Prints the ratio and the peak memory; then micro-benchmarks one
// look-up through the entry index against minizip's unzLocateFile.
#include "core/content/BookUrl.h"
#include "core/content/EPUBURLProtcol.h"
#include "core/content/ZipArchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <minizip/unzip.h>
#include <sys/resource.h>

namespace
{

QString bigBook;
QList<QByteArray> entryNames;

long peakRssKb()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

double secondsOf(const std::function<void()> &f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e9;
}

void compareWithUnzip()
{
    const QFileInfo info(bigBook);
    const auto archive = ZipArchive::open(bigBook);
    entryNames = archive->entryNames();
    const EPUBURLProtcol protocol(info.absolutePath(), QString());

    const double unzip = secondsOf([&] {
        QProcess p;
        p.start(QStringLiteral("unzip"), { QStringLiteral("-tqq"), bigBook });
        p.waitForFinished(-1);
    });

    qint64 bytes = 0;
    qint64 largest = 0;
    const long rssBefore = peakRssKb();
    const double ours = secondsOf([&] {
        for (const QByteArray &name : entryNames) {
            const EpubResponse r
                = protocol.startLoading(BookUrl::entryUrl(info.fileName(), QString::fromUtf8(name)));
            if (r.data) {
                bytes += r.data->size();
                largest = std::max<qint64>(largest, r.data->size());
            }
        }
    });
    std::printf("entries served:      %lld (%.1f MB inflated) from %.1f MB on disk\n",
        static_cast<long long>(entryNames.size()), bytes / 1e6, info.size() / 1e6);
    std::printf("unzip -t (baseline): %.3f s\n", unzip);
    std::printf("epub:// resolver:    %.3f s\n", ours);
    std::printf("ratio resolver/unzip: %.2fx (goal: within 2x)\n", ours / unzip);
    std::printf("peak RSS growth while serving: %ld KB (largest entry %lld KB)\n", peakRssKb() - rssBefore,
        static_cast<long long>(largest / 1024));
}

// One look-up of an entry near the end of the central directory.
void BM_IndexedLookup(benchmark::State &state)
{
    const auto archive = ZipArchive::archiveFor(bigBook);
    const QByteArray name = entryNames.at(entryNames.size() - 3);
    for (auto _ : state)
        benchmark::DoNotOptimize(archive->contains(name));
}
BENCHMARK(BM_IndexedLookup);

void BM_UnzLocateFile(benchmark::State &state)
{
    unzFile zf = unzOpen64(QFile::encodeName(bigBook).constData());
    const QByteArray name = entryNames.at(entryNames.size() - 3);
    for (auto _ : state)
        benchmark::DoNotOptimize(unzLocateFile(zf, name.constData(), 1));
    unzClose(zf);
}
BENCHMARK(BM_UnzLocateFile)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString dir = QDir::tempPath() + QStringLiteral("/tavro-bench");
    QDir().mkpath(dir);
    bigBook = dir + QStringLiteral("/big-2000x17k.epub");
    if (!QFileInfo::exists(bigBook)) {
        std::printf("generating %s ...\n", qPrintable(bigBook));
        QProcess gen;
        gen.start(QStringLiteral("python3"),
            { QStringLiteral(TAVRO_SAMPLE_TOOL), QStringLiteral("--big"), bigBook,
                QStringLiteral("--entries"), QStringLiteral("2000"), QStringLiteral("--entry-kb"),
                QStringLiteral("17") });
        gen.waitForFinished(-1);
        if (gen.exitCode() != 0 || !QFileInfo::exists(bigBook)) {
            std::fprintf(stderr, "cannot generate the benchmark book\n");
            return 1;
        }
    }
    compareWithUnzip();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
