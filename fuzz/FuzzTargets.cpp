#include "FuzzTargets.h"

#include "core/content/BookUrl.h"
#include "core/content/EPUBManager.h"
#include "core/content/EPUBURLProtcol.h"
#include "core/content/XML2DicParser.h"
#include "core/content/ZipArchive.h"

#include <QDir>
#include <QFile>
#include <unistd.h>

int fuzzXml2Dic(const uint8_t *data, size_t size)
{
    XML2DicParser parser;
    parser.parseString(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}

#include "core/top/XmlRpcDescription.h"
#include "core/top/XmlRpcResponseParser.h"
#include "core/util/JsonWriter.h"

int fuzzXmlRpc(const uint8_t *data, size_t size)
{
    XmlRpcResponseParser parser(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QVariant value = parser.parse();
    if (value.isValid())
        compactJson(QVariantList { describeXmlRpcValue(value) });
    return 0;
}

int fuzzEpubZip(const uint8_t *data, size_t size)
{
    // minizip reads from a path: one file per process, rewritten each run.
    static const QString folder = QDir::tempPath() + QStringLiteral("/tavro-fuzz-%1").arg(getpid());
    static const bool made = QDir().mkpath(folder);
    (void)made;
    const QString path = folder + QStringLiteral("/book.epub");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    ZipArchive::clearCache();
    if (const auto archive = ZipArchive::open(path)) {
        for (const QByteArray &name : archive->entryNames())
            archive->read(name);
    }
    const EPUBURLProtcol protocol(folder, QString());
    EPUBManager epub(BookUrl::rootUrl(QStringLiteral("book.epub")), &protocol);
    epub.coverImage();
    return 0;
}

#include "core/dictionary/CSVAggregator.h"
#include "core/dictionary/CSVParser.h"

#include <QBuffer>

int fuzzCsv(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int options = data[0] & 15;
    const QChar delimiters[] = { u',', u';', u'\t', u'|' };
    const QChar delimiter = delimiters[(data[0] >> 4) & 3];
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    CSVParser parser(std::move(buffer), nullptr, delimiter);
    CSVAggregator aggregator;
    parser.setOptions(options);
    parser.setDelegate(&aggregator);
    parser.parse();
    return 0;
}

#include "core/store/PackageUnpacker.h"

#include <QDirIterator>
#include <cstdlib>

int fuzzPackage(const uint8_t *data, size_t size)
{
    static const QString jail = QDir::tempPath() + QStringLiteral("/tavro-fuzz-package-%1").arg(getpid());
    QDir(jail).removeRecursively();
    QDir().mkpath(jail + QStringLiteral("/package"));
    const QString archive = jail + QStringLiteral("/in.zip");
    {
        QFile f(archive);
        if (!f.open(QIODevice::WriteOnly))
            return 0;
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    PackageUnpacker::Limits limits;
    limits.maxTotalBytes = 64 * 1024 * 1024;
    PackageUnpacker::unpack(archive, jail + QStringLiteral("/package"), limits);
    for (QDirIterator it(jail, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
             QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        if (path != archive && !path.startsWith(jail + QStringLiteral("/package")))
            std::abort(); // written outside the package folder
        if (QFileInfo(path).isSymLink())
            std::abort(); // a link could lead anywhere
    }
    return 0;
}

#include "core/reader/PdfOutline.h"

#include <QJsonDocument>

int fuzzPdfToc(const uint8_t *data, size_t size)
{
    const QJsonDocument json
        = QJsonDocument::fromJson(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    PdfOutline outline;
    if (const auto rows = PdfOutline::fromToc(json.toVariant()))
        outline.rows = *rows;
    for (int page : { 0, 1, 7, 1000 })
        if (const auto path = outline.rowForPage(page))
            outline.row(*path);
    compactJson(outline.toVariant());
    return 0;
}

#include "core/content/PdfProbe.h"

int fuzzPdfOutline(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    PdfProbe::fromReport(bytes, true);
    PdfProbe::fromReport(bytes, false);
    static const QString folder = QDir::tempPath() + QStringLiteral("/tavro-fuzz-pdf-%1").arg(getpid());
    static const bool made = QDir().mkpath(folder);
    (void)made;
    const QString path = folder + QStringLiteral("/book.pdf");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(bytes);
    }
    // A short budget: a stalled document costs the fuzzer this much.
    const PdfProbe probe = PdfProbe::check(path, 3000);
    const PdfOutline outline = PdfOutline::load(path, probe);
    for (int page : { 0, 1, 7, 1000 })
        if (const auto row = outline.rowForPage(page))
            outline.row(*row);
    compactJson(outline.toVariant());
    return 0;
}

#include "core/dictionary/DictionarySourceFactory.h"

int fuzzDictSource(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the layout (dictd; StarDict with bit 2; an
    // EPWING book's catalogue and text with bit 4; bit 1: compressed data);
    // the rest is cut into the files at each "\n@@\n".
    static const QString dir = QDir::tempPath() + QStringLiteral("/tavro-fuzz-dict-%1").arg(getpid());
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    QList<QByteArray> files;
    qsizetype at = 0;
    for (qsizetype cut = bytes.indexOf("\n@@\n"); cut >= 0 && files.size() < 3;
         cut = bytes.indexOf("\n@@\n", at)) {
        files.append(bytes.mid(at, cut - at));
        at = cut + 4;
    }
    files.append(bytes.mid(at));
    const bool compressed = data[0] & 1;
    const bool starDict = data[0] & 2;
    const bool epwing = data[0] & 4;
    const QStringList names = epwing
        ? QStringList { QStringLiteral("catalogs"), QStringLiteral("SAMPLE/data/honmon") }
        : starDict ? QStringList { QStringLiteral("d.ifo"), QStringLiteral("d.idx"),
              compressed ? QStringLiteral("d.dict.dz") : QStringLiteral("d.dict"), QStringLiteral("d.syn") }
                   : QStringList { QStringLiteral("d.index"),
                         compressed ? QStringLiteral("d.dict.dz") : QStringLiteral("d.dict") };
    QDir().mkpath(dir + QStringLiteral("/SAMPLE/data"));
    for (qsizetype i = 0; i < names.size() && i < files.size(); ++i) {
        QFile f(dir + u'/' + names.at(i));
        if (!f.open(QIODevice::WriteOnly))
            return 0;
        f.write(files.at(i));
    }
    auto source = DictionarySourceFactory::create(dir + u'/' + names.first());
    if (source->open({}) == DictionarySource::OpenResult::Ready) {
        QStringList fields;
        for (int n = 0; n < 100000 && source->next(&fields); ++n) { }
        (void)source->errorText();
    }
    QDir(dir).removeRecursively();
    return 0;
}

#include "core/dictionary/JapaneseLemmas.h"
#include "core/dictionary/LookupForms.h"

int fuzzLookupForms(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // One tagger for the whole run, as the program keeps one.
    static const JapaneseLemmas lemmas;
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    const QString text = data[0] % 2 == 0
        ? QString::fromUtf8(bytes, qsizetype(size - 1))
        : QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes), qsizetype((size - 1) / 2));
    LookupForms::primary(text);
    LookupForms::leadingParts(text);
    for (const LookupForm &form : LookupForms::lemmaForms(text, lemmas))
        if (form.text.isEmpty())
            abort();
    return 0;
}
