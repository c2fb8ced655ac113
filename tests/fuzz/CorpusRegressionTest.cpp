// Every input kept under fuzz/corpus (seeds and the inputs of crashes the
// fuzzers found) runs through its target without crashing.
#include "FuzzTargets.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace
{

void runCorpus(const char *target, int (*fuzz)(const uint8_t *, size_t))
{
    const QDir dir(QStringLiteral(TAVRO_FUZZ_CORPUS "/") + QLatin1String(target));
    const QStringList files = dir.entryList(QDir::Files, QDir::Name);
    ASSERT_FALSE(files.isEmpty()) << "no corpus for " << target;
    for (const QString &name : files) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray bytes = f.readAll();
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(fuzz(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size())), 0);
    }
}

TEST(FuzzCorpus, Xml2Dic)
{
    runCorpus("xml2dic", fuzzXml2Dic);
}
TEST(FuzzCorpus, XmlRpc)
{
    runCorpus("xmlrpc", fuzzXmlRpc);
}
TEST(FuzzCorpus, EpubZip)
{
    runCorpus("epub_zip", fuzzEpubZip);
}

} // namespace

namespace
{
TEST(FuzzCorpus, Csv)
{
    runCorpus("csv", fuzzCsv);
}
} // namespace

namespace
{
TEST(FuzzCorpus, Package)
{
    runCorpus("package", fuzzPackage);
}
} // namespace

namespace
{
TEST(FuzzCorpus, PdfToc)
{
    runCorpus("pdf_toc", fuzzPdfToc);
}
} // namespace

namespace
{
// Hostile PDFs (an outline entry that is its own child, cyclic child and
// next chains, a page tree that lists itself) come back as a result within
// the helper's budget, without taking this process down.
TEST(FuzzCorpus, PdfOutline)
{
    runCorpus("pdf_outline", fuzzPdfOutline);
}
} // namespace

namespace
{
TEST(FuzzCorpus, DictSource)
{
    runCorpus("dict_source", fuzzDictSource);
}

TEST(FuzzCorpus, LookupForms)
{
    runCorpus("lookup_forms", fuzzLookupForms);
}
} // namespace
