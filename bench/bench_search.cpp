// In-book search of a large generated EPUB (many spine items, about 20 MB
// of XHTML). Baseline: `grep -ric` over the same chapters unpacked into a
// folder. Prints the time to the full result set against grep, the time to
// the first 10 hits against the full scan, and the cost of each "More"
// (which must not grow with the list).
//
// Profile (callgrind, a 4 MB book, the full scan alone: `bench_search 4
// scan`): 166 M instructions, against 28.5 M for grep -ric over the same
// text. The floor is reading the entries: zlib's inflate 58 M and minizip's
// CRC check 17 M, together 2.6x grep. The rest: XhtmlTermFilter's byte
// search 13 M (files without the term are not parsed), XhtmlTextScanner 12 M,
// UTF-8 to UTF-16 of the parsed files 9 M, copies 9 M, the chunk search
// (QStringMatcher) 5 M. Before, with libxml2 for every file (xmlCurrentChar,
// xmlParseCharData), element paths and QString::indexOf per chunk, all the
// scans of this bench took 2,502 M instructions; now 550 M.
#include "core/content/BookUrl.h"
#include "core/content/EPUBManager.h"
#include "core/content/EPUBURLProtcol.h"
#include "core/reader/BookSearchText.h"
#include "core/reader/htmlSearchParser.h"
#include "support/TextEpub.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <climits>
#include <cstdio>

namespace
{

double secondsOf(const std::function<void()> &f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e9;
}

const char *kWords[] = { "patient", "dose", "renal", "hepatic", "clearance", "infusion", "bolus", "monitor",
    "serum", "level", "adverse", "effect", "interaction", "contraindicated", "pregnancy", "elderly", "腎機能",
    "投与量", "副作用", "相互作用", "禁忌", "高齢者", "注意", "血中濃度" };

QByteArray paragraph(QRandomGenerator &rng, int words)
{
    QByteArray p = "<p>";
    for (int i = 0; i < words; ++i) {
        p += kWords[rng.bounded(int(std::size(kWords)))];
        p += ' ';
        if (rng.bounded(4000) == 0)
            p += "Vancomycin ";
    }
    return p + "</p>\n";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 targetBytes = argc > 1 ? QByteArray(argv[1]).toLongLong() * 1024 * 1024 : 20LL * 1024 * 1024;
    const int chapters = 400;
    QTemporaryDir dir;
    QRandomGenerator rng(17);
    QList<TextChapter> book;
    qint64 total = 0;
    for (int c = 0; c < chapters; ++c) {
        QByteArray body = "<h1>Chapter " + QByteArray::number(c + 1) + "</h1>\n";
        while (body.size() < targetBytes / chapters)
            body += paragraph(rng, 40);
        total += body.size();
        book.append({ QStringLiteral("Chapter %1").arg(c + 1), body });
    }
    const QString epubPath = dir.filePath(QStringLiteral("big.epub"));
    if (!writeTextEpub(epubPath, QStringLiteral("Big"), book)) {
        std::fprintf(stderr, "cannot write the book\n");
        return 1;
    }
    // The same chapters unpacked, for grep.
    const QString unpacked = dir.filePath(QStringLiteral("unpacked"));
    QDir().mkpath(unpacked);
    for (int c = 0; c < chapters; ++c) {
        QFile f(unpacked + QStringLiteral("/c%1.xhtml").arg(c + 1));
        f.open(QIODevice::WriteOnly);
        f.write(book.at(c).body);
    }

    const QString term = QStringLiteral("vancomycin");
    const double grep = secondsOf([&] {
        QProcess p;
        p.start(QStringLiteral("grep"), { QStringLiteral("-ric"), term, unpacked });
        p.waitForFinished(-1);
    });

    const QFileInfo info(epubPath);
    const EPUBURLProtcol protocol(info.absolutePath(), QString());
    const EPUBManager epub(BookUrl::rootUrl(info.fileName()), &protocol);

    int fullHits = 0;
    const double full = secondsOf([&] {
        const BookSearchText text(epub, &protocol);
        htmlSearchParser p;
        p.parseXML({}, true, term, text, {}, true, INT_MAX);
        fullHits = int(p.bookSearchResultMutableArray().size());
    });
    // "bench_search MB scan": the full scan alone, for a profiler.
    if (argc > 2 && QByteArray(argv[2]) == "scan") {
        std::printf("%d hits, %.3f s\n", fullHits, full);
        return 0;
    }
    const double first10 = secondsOf([&] {
        const BookSearchText text(epub, &protocol);
        htmlSearchParser p;
        p.parseXML({}, true, term, text, {}, true, 10);
    });

    // The same scan again on the book's kept text: what searching costs
    // once the files are read and parsed.
    const BookSearchText warm(epub, &protocol);
    htmlSearchParser warmup;
    warmup.parseXML({}, true, term, warm, {}, true, INT_MAX);
    const double keptScan = secondsOf([&] {
        htmlSearchParser p;
        p.parseXML({}, true, term, warm, {}, true, INT_MAX);
    });
    const double inflate = secondsOf([&] {
        for (const BookSearchText::Item &item : warm.items())
            protocol.dataForUrl(item.url);
    });

    // "More" on an open search: the text is kept, each step goes on from
    // where the last stopped.
    const BookSearchText kept(epub, &protocol);
    htmlSearchParser more;
    more.parseXML({}, true, term, kept, {}, true, 10);
    QList<double> steps;
    for (int max = 20; max <= std::min(fullHits, 200); max += 10) {
        const htmlSearchParser::Progress before = more.progress();
        steps << secondsOf([&] { more.parseXML({}, true, term, kept, {}, true, max, &before); });
    }
    // The described way: a rescan of the kept text with the larger limit.
    htmlSearchParser rescan;
    const double rescan200 = secondsOf([&] { rescan.parseXML({}, true, term, kept, {}, true, 200); });

    std::printf("book: %d spine items, %.1f MB of XHTML, %d hits for \"%s\"\n", chapters, total / 1048576.0,
        fullHits, qPrintable(term));
    std::printf("grep -ric over the unpacked chapters: %.3f s\n", grep);
    std::printf(
        "full scan (read, parse, search):     %.3f s  = %.2fx grep (goal: within 3x)\n", full, full / grep);
    std::printf("  of which reading the entries: %.3f s; searching the kept text: %.3f s (%.2fx grep)\n",
        inflate, keptScan, keptScan / grep);
    std::printf(
        "first 10 hits:                       %.4f s  = %.3f of the full scan\n", first10, first10 / full);
    if (!steps.isEmpty())
        std::printf("More, first step: %.6f s; last step (to %d): %.6f s; a rescan to 200 instead: %.6f s\n",
            steps.first(), std::min(fullHits, 200), steps.last(), rescan200);
    return 0;
}
