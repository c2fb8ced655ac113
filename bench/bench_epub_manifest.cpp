// Reading the package of an EPUB whose manifest and spine list many items,
// against parsing the same package document into a dictionary alone
// (XML2DicParser::parse, one pass over the bytes) as the baseline. The ratio
// should stay flat as the manifest grows: a ratio that grows with the
// number of items means reading the package has become worse than linear
// (a list copied on every appended item made 100,000 items take minutes).
#include "core/content/BookUrl.h"
#include "core/content/EPUBManager.h"
#include "core/content/EPUBURLProtcol.h"
#include "core/content/XML2DicParser.h"
#include "support/ZipWriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

namespace
{

QByteArray packageDocument(int items)
{
    QByteArray opf = "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\">"
                     "<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title>Big</dc:title>"
                     "<dc:identifier>urn:bench:manifest</dc:identifier></metadata><manifest>\n";
    for (int i = 0; i < items; ++i)
        opf += "<item id=\"i" + QByteArray::number(i) + "\" href=\"p" + QByteArray::number(i)
            + ".xhtml\" media-type=\"application/xhtml+xml\"/>\n";
    opf += "</manifest><spine>\n";
    for (int i = 0; i < items; ++i)
        opf += "<itemref idref=\"i" + QByteArray::number(i) + "\"/>\n";
    return opf + "</spine></package>";
}

double seconds(const std::function<void()> &f)
{
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    std::printf("%8s %12s %14s %8s\n", "items", "parse (s)", "package (s)", "ratio");
    for (const int items : { 2000, 20000, 100000 }) {
        const QByteArray opf = packageDocument(items);
        const QString name = QStringLiteral("manifest-%1.epub").arg(items);
        if (!writeEpub(dir.filePath(name), QStringLiteral("OEBPS/content.opf"),
                { { "OEBPS/content.opf", opf }, { "OEBPS/p0.xhtml", "<html/>" } })) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            return 1;
        }
        // Baseline: the package document's bytes into a dictionary.
        const double parse = seconds([&] { XML2DicParser::parse(opf); });
        const EPUBURLProtcol protocol(dir.path(), QString());
        qsizetype spine = 0;
        const double package = seconds([&] {
            const EPUBManager epub(BookUrl::rootUrl(name), &protocol);
            spine = epub.spine().size();
        });
        if (spine != items) {
            std::fprintf(stderr, "%d items gave a spine of %lld\n", items, static_cast<long long>(spine));
            return 1;
        }
        std::printf("%8d %12.3f %14.3f %7.2fx\n", items, parse, package, package / parse);
    }
    std::printf("ratio package/parse (baseline XML2DicParser::parse): should not grow with the items\n");
    return 0;
}
