// XML-RPC answer parsing, against two baselines measured in the same run:
//  - a plain libxml2 SAX pass over the same document (the same push parser,
//    callbacks that only convert the names and text to QString as ours do):
//    the floor for any parser built on it;
//  - our own parse of a document ten times smaller: parsing is linear when
//    ten times the values take about ten times as long.
// The documents have the shape of the provider's article lists: a struct
// holding an array of article structs with three members each.
#include "core/top/XmlRpcResponseParser.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <functional>
#include <libxml/parser.h>
#include <vector>

namespace
{

// A response with `articles` article structs: 4 values each (the struct and
// its members), plus the outer struct, its "total" and the array.
QByteArray articleList(int articles)
{
    QByteArray xml = "<?xml version=\"1.0\"?><methodResponse><params><param><value><struct>"
                     "<member><name>total</name><value><int>"
        + QByteArray::number(articles)
        + "</int></value></member><member><name>list</name><value><array><data>";
    for (int i = 0; i < articles; ++i)
        xml += "<value><struct><member><name>id</name><value><int>" + QByteArray::number(5000 + i)
            + "</int></value></member><member><name>title</name><value><string>記事 " + QByteArray::number(i)
            + " &amp; 速報</string></value></member><member><name>date</name><value><string>2026-12-07 09:00:"
            + QByteArray::number(i % 60).rightJustified(2, '0')
            + "</string></value></member></struct></value>";
    return xml + "</data></array></value></member></struct></value></param></params></methodResponse>";
}

int valuesIn(int articles)
{
    return 4 * articles + 3;
}

qlonglong ourParse(const QByteArray &xml)
{
    XmlRpcResponseParser parser(xml);
    return parser.parse().toMap().value(QStringLiteral("list")).toList().size();
}

// The floor: libxml2's push parser with callbacks that do what the smallest
// useful handler must (the names and text as QString), and nothing else.
qlonglong saxPass(const QByteArray &xml)
{
    static qlonglong events = 0;
    xmlSAXHandler sax {};
    sax.initialized = 1;
    sax.startElement = [](void *, const xmlChar *name, const xmlChar **) {
        events += QString::fromUtf8(reinterpret_cast<const char *>(name)).size();
    };
    sax.endElement = [](void *, const xmlChar *name) {
        events += QString::fromUtf8(reinterpret_cast<const char *>(name)).size();
    };
    sax.characters = [](void *, const xmlChar *ch, int len) {
        events += QString::fromUtf8(reinterpret_cast<const char *>(ch), len).size();
    };
    xmlParserCtxtPtr ctxt = xmlCreatePushParserCtxt(&sax, nullptr, nullptr, 0, nullptr);
    xmlCtxtUseOptions(ctxt, XML_PARSE_NONET);
    xmlParseChunk(ctxt, xml.constData(), int(xml.size()), 1);
    xmlFreeParserCtxt(ctxt);
    return events;
}

// The median of five runs, in seconds.
double medianSeconds(const std::function<void()> &f)
{
    std::vector<double> runs;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        runs.push_back(double(t.nsecsElapsed()) / 1e9);
    }
    std::sort(runs.begin(), runs.end());
    return runs[2];
}

void compare()
{
    const int small = 2500; // 10,003 values
    const int large = 25000; // 100,003 values
    const QByteArray smallDoc = articleList(small);
    const QByteArray largeDoc = articleList(large);
    if (ourParse(largeDoc) != large) {
        std::fprintf(stderr, "the large document did not parse\n");
        std::exit(1);
    }
    const double oursSmall = medianSeconds([&] { benchmark::DoNotOptimize(ourParse(smallDoc)); });
    const double oursLarge = medianSeconds([&] { benchmark::DoNotOptimize(ourParse(largeDoc)); });
    const double saxLarge = medianSeconds([&] { benchmark::DoNotOptimize(saxPass(largeDoc)); });
    std::printf("document: %d values (%.1f MB); %d values (%.1f MB)\n", valuesIn(small),
        smallDoc.size() / 1e6, valuesIn(large), largeDoc.size() / 1e6);
    std::printf("libxml2 SAX pass, %d values (baseline): %.3f s\n", valuesIn(large), saxLarge);
    std::printf("XmlRpcResponseParser, %d values:        %.3f s\n", valuesIn(small), oursSmall);
    std::printf("XmlRpcResponseParser, %d values:       %.3f s\n", valuesIn(large), oursLarge);
    std::printf("ratio parser/SAX pass (same document):   %.2fx\n", oursLarge / saxLarge);
    std::printf("ratio %d/%d values (linear: about 10): %.1fx\n", valuesIn(large), valuesIn(small),
        oursLarge / oursSmall);
}

void BM_XmlRpcParse(benchmark::State &state)
{
    const QByteArray doc = articleList(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(ourParse(doc));
    state.SetItemsProcessed(state.iterations() * valuesIn(int(state.range(0))));
}
BENCHMARK(BM_XmlRpcParse)->Arg(250)->Arg(2500)->Arg(25000)->Unit(benchmark::kMillisecond);

void BM_SaxPass(benchmark::State &state)
{
    const QByteArray doc = articleList(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(saxPass(doc));
    state.SetItemsProcessed(state.iterations() * valuesIn(int(state.range(0))));
}
BENCHMARK(BM_SaxPass)->Arg(250)->Arg(2500)->Arg(25000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    xmlInitParser();
    compare();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
