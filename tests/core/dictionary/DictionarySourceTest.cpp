// Dictionary sources: the format chosen from content, dictd and StarDict
// files made by their own Debian tools (WordNet from dict-wn, dictzip,
// stardict-text2bin), and damaged files of each kind.
#include "core/dictionary/CsvDictionarySource.h"
#include "core/dictionary/DictdDictionarySource.h"
#include "core/dictionary/DictionarySourceFactory.h"
#include "core/dictionary/DictzipFile.h"
#include "core/dictionary/StarDictDictionarySource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace
{

const QString kWordNet = QStringLiteral("/usr/share/dictd/wn.index");
const QString kText2Bin = QStringLiteral("/usr/lib/stardict-tools/stardict-text2bin");

class DictionarySourceTest : public ::testing::Test
{
protected:
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        return path;
    }
    // Runs a tool; its output files are the test's material.
    static void run(const QString &program, const QStringList &args)
    {
        QProcess p;
        p.start(program, args);
        ASSERT_TRUE(p.waitForFinished(60000)) << program.toStdString();
        ASSERT_EQ(p.exitCode(), 0) << program.toStdString() << p.readAllStandardError().toStdString();
    }
    // A file compressed by dictzip (random access) or gzip (none).
    QString compress(const QString &name, const QByteArray &text, bool dictzip)
    {
        const QString path = write(name, text);
        QFile::remove(path + QLatin1String(dictzip ? ".dz" : ".gz"));
        if (dictzip)
            run(QStringLiteral("dictzip"), { path });
        else
            run(QStringLiteral("gzip"), { path });
        return path + QLatin1String(dictzip ? ".dz" : ".gz");
    }

    struct Read {
        DictionarySource::OpenResult open;
        QList<QStringList> records;
        QString error;
    };
    static Read readAll(DictionarySource &source)
    {
        Read r { source.open({}), {}, {} };
        if (r.open == DictionarySource::OpenResult::Ready) {
            QStringList fields;
            while (source.next(&fields))
                r.records.append(fields);
        }
        r.error = source.errorText();
        return r;
    }

    QTemporaryDir m_dir;
};

// The dictd index: base64 numbers as dictd writes them.
QByteArray b64(quint64 n)
{
    static const char *digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    QByteArray out;
    do {
        out.prepend(digits[n % 64]);
        n /= 64;
    } while (n);
    return out;
}

// A dictd database of the given entries: NAME.index and NAME.dict.
QString writeDictd(const QString &dir, const QList<std::pair<QByteArray, QByteArray>> &entries)
{
    QByteArray dict;
    QByteArray index;
    for (const auto &[word, text] : entries) {
        index += word + '\t' + b64(quint64(dict.size())) + '\t' + b64(quint64(text.size())) + '\n';
        dict += text;
    }
    QFile(dir + QStringLiteral("/d.index")).remove();
    QFile i(dir + QStringLiteral("/d.index"));
    EXPECT_TRUE(i.open(QIODevice::WriteOnly));
    i.write(index);
    QFile d(dir + QStringLiteral("/d.dict"));
    EXPECT_TRUE(d.open(QIODevice::WriteOnly | QIODevice::Truncate));
    d.write(dict);
    return i.fileName();
}

TEST_F(DictionarySourceTest, DictdNumbers)
{
    const struct {
        const char *digits;
        std::optional<quint64> value;
    } cases[] = {
        { "A", 0 },
        { "B", 1 },
        { "/", 63 },
        { "BA", 64 },
        { "Bed", 1 * 4096 + 30 * 64 + 29 },
        { "////////", (quint64(1) << 48) - 1 },
        { "", std::nullopt },
        { "/////////", std::nullopt }, // beyond 48 bits
        { "A=", std::nullopt },
        { "A B", std::nullopt },
        { "\xC3\xA9", std::nullopt },
    };
    for (const auto &c : cases)
        EXPECT_EQ(DictdDictionarySource::decodeNumber(QByteArrayView(c.digits)), c.value)
            << "\"" << c.digits << "\"";
}

TEST_F(DictionarySourceTest, FormatIsChosenByContent)
{
    const QString dictd = writeDictd(m_dir.path(), { { "heart", "heart\n  the organ" } });
    write(QStringLiteral("s/x.ifo"), "StarDict's dict ifo file\nversion=2.4.2\nwordcount=1\n");
    write(QStringLiteral("s/x.idx"), QByteArray("a\0\0\0\0\0\0\0\0\1", 10));
    write(QStringLiteral("s/x.dict.dz"), "\x1F\x8B");
    const struct {
        QString path;
        const char *format;
    } cases[] = {
        { dictd, "dictd" },
        { write(QStringLiteral("renamed.csv"), "heart\tB\tC\nlung\tD\tE\n"), "dictd" },
        { write(QStringLiteral("glossary.index"), "word,meaning\nheart,the organ\n"), "csv" },
        { write(QStringLiteral("package.dict"), "word,meaning\nheart,the organ\n"), "csv" },
        { m_dir.filePath(QStringLiteral("s/x.ifo")), "stardict" },
        { write(QStringLiteral("bom.ifo"), "\xEF\xBB\xBFStarDict's dict ifo file\nversion=2.4.2\n"),
            "stardict" },
        { m_dir.filePath(QStringLiteral("s/x.idx")), "stardict" },
        { m_dir.filePath(QStringLiteral("s/x.dict.dz")), "stardict" },
        { m_dir.filePath(QStringLiteral("d.dict")), "dictd" },
        { m_dir.filePath(QStringLiteral("missing.csv")), "csv" },
        { write(QStringLiteral("empty"), ""), "csv" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(DictionarySourceFactory::create(c.path)->formatName(), QLatin1String(c.format))
            << QFileInfo(c.path).fileName().toStdString();
}

// Reads of a dictzip file (chunk by chunk, across chunk ends) and of a
// plain gzip file give the same bytes as the text itself.
TEST_F(DictionarySourceTest, CompressedDataReadsLikeThePlainText)
{
    QByteArray text;
    for (int i = 0; i < 40000; ++i)
        text += "entry " + QByteArray::number(i) + " 心筋梗塞\n";
    ASSERT_GT(text.size(), 3 * 58315) << "several dictzip chunks";
    for (const bool dictzip : { true, false }) {
        SCOPED_TRACE(dictzip ? "dictzip" : "gzip");
        DictzipFile file;
        ASSERT_TRUE(
            file.open(compress(dictzip ? QStringLiteral("a.dict") : QStringLiteral("b.dict"), text, dictzip)))
            << file.errorText().toStdString();
        EXPECT_TRUE(file.isCompressed());
        const std::pair<quint64, quint64> ranges[] = { { 0, 10 }, { 58300, 40 }, { 1000, 150000 },
            { quint64(text.size()) - 5, 5 }, { 120000, 0 }, { 5, 58315 * 2 + 7 } };
        for (const auto &[offset, length] : ranges) {
            const auto got = file.read(offset, length);
            ASSERT_TRUE(got) << offset << "+" << length << ": " << file.errorText().toStdString();
            EXPECT_EQ(*got, text.mid(qsizetype(offset), qsizetype(length))) << offset << "+" << length;
        }
        const std::pair<quint64, quint64> outside[]
            = { { quint64(text.size()) - 5, 6 }, { quint64(text.size()) + 1, 1 }, { ~quint64(0) - 2, 5 },
                  { 0, quint64(DictzipFile::kMaxRead) + 1 } };
        for (const auto &[offset, length] : outside) {
            EXPECT_FALSE(file.read(offset, length)) << offset << "+" << length;
            EXPECT_FALSE(file.errorText().isEmpty());
        }
    }
}

TEST_F(DictionarySourceTest, DamagedCompressedFiles)
{
    QByteArray text;
    for (int i = 0; i < 20000; ++i)
        text += "line " + QByteArray::number(i) + "\n";
    QFile dz(compress(QStringLiteral("c.dict"), text, true));
    ASSERT_TRUE(dz.open(QIODevice::ReadOnly));
    const QByteArray good = dz.readAll();
    QByteArray flipped = good;
    for (qsizetype i = good.size() / 2; i < good.size() / 2 + 64; ++i)
        flipped[i] = char(~flipped[i]);
    QByteArray badTable = good;
    badTable[16] = char(0xFF); // the first chunk's compressed size
    badTable[17] = char(0xFF);
    const struct {
        const char *name;
        QByteArray bytes;
        bool opens;
    } cases[] = {
        { "cut in the header", good.left(8), false },
        { "cut in the extra field", good.left(20), false },
        { "cut in the data", good.left(good.size() / 2), false },
        { "flipped data", flipped, true },
        { "chunk sizes past the end", badTable, false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DictzipFile file;
        const bool opened = file.open(write(QStringLiteral("bad.dz"), c.bytes));
        EXPECT_EQ(opened, c.opens) << file.errorText().toStdString();
        if (!opened) {
            EXPECT_FALSE(file.errorText().isEmpty());
            continue;
        }
        // Deflate data carries no check of its own: every read gives the
        // bytes asked for (true or not) or fails with a reason.
        for (quint64 at = 0; at < quint64(text.size()); at += 9000) {
            const auto got = file.read(at, 100);
            if (got)
                EXPECT_EQ(got->size(), 100);
            else
                EXPECT_FALSE(file.errorText().isEmpty());
        }
    }
}

// WordNet as Debian ships it (dict-wn): every entry reads, in index order.
TEST_F(DictionarySourceTest, WordNetFromDebian)
{
    ASSERT_TRUE(QFileInfo::exists(kWordNet)) << "install dict-wn (scripts/install-deps)";
    auto source = DictionarySourceFactory::create(kWordNet);
    ASSERT_EQ(source->formatName(), QStringLiteral("dictd"));
    ASSERT_EQ(source->open({}), DictionarySource::OpenResult::Ready) << source->errorText().toStdString();
    EXPECT_EQ(source->columns(), (QStringList { "見出し語", "内容" }));
    EXPECT_GT(source->recordCount(), 140000u);
    EXPECT_TRUE(source->title().contains(QStringLiteral("WordNet"))) << source->title().toStdString();
    QStringList fields;
    quint64 count = 0;
    bool sawHeart = false;
    while (source->next(&fields)) {
        ++count;
        ASSERT_EQ(fields.size(), 2);
        EXPECT_FALSE(fields.at(0).startsWith(QStringLiteral("00-database")))
            << "no entry of the database's own";
        if (fields.at(0) == QStringLiteral("heart")) {
            sawHeart = true;
            EXPECT_TRUE(fields.at(1).contains(QStringLiteral("hollow muscular organ")))
                << fields.at(1).toStdString();
        }
    }
    EXPECT_TRUE(source->errorText().isEmpty()) << source->errorText().toStdString();
    EXPECT_EQ(count, source->recordCount());
    EXPECT_TRUE(sawHeart);
}

TEST_F(DictionarySourceTest, DictdEntriesTextAndTitle)
{
    const QString index = writeDictd(m_dir.path(),
        { { "00-database-short", "00-database-short\n     医学用語 (test)\n" }, { "00-database-utf8", "" },
            { "heart", "heart\n  the organ that pumps blood\n" }, { "Café", "caf\xC3\xA9\n  a place\n" } });
    // An index of the format's four-field form: folded key, offset,
    // length, headword as written.
    QFile i(index);
    ASSERT_TRUE(i.open(QIODevice::Append));
    i.write("lung\t" + b64(0) + '\t' + b64(5) + "\tLung\n");
    i.close();
    DictdDictionarySource source(index);
    const Read r = readAll(source);
    ASSERT_EQ(r.open, DictionarySource::OpenResult::Ready) << r.error.toStdString();
    EXPECT_EQ(source.title(), QStringLiteral("医学用語 (test)"));
    ASSERT_EQ(r.records.size(), 3);
    EXPECT_EQ(r.records.at(0), (QStringList { "heart", "heart\n  the organ that pumps blood" }));
    EXPECT_EQ(r.records.at(1), (QStringList { "Café", "café\n  a place" }));
    EXPECT_EQ(r.records.at(2).value(0), QStringLiteral("Lung"));
    EXPECT_TRUE(r.error.isEmpty());

    // The same database with its data compressed by dictzip.
    QFile plain(m_dir.filePath(QStringLiteral("d.dict")));
    ASSERT_TRUE(plain.open(QIODevice::ReadOnly));
    const QByteArray data = plain.readAll();
    plain.close();
    compress(QStringLiteral("d.dict"), data, true);
    ASSERT_FALSE(QFileInfo::exists(plain.fileName()));
    DictdDictionarySource zipped(index);
    EXPECT_EQ(readAll(zipped).records, r.records);
}

// Damaged and hostile dictd databases: nothing read, a message that says
// what is wrong.
TEST_F(DictionarySourceTest, DamagedDictdDatabases)
{
    const struct {
        const char *name;
        QByteArray index;
        QByteArray dict; // null: no data file
        bool opens; // the index reads; the failure comes with an entry
        const char *message;
    } cases[] = {
        { "bad base64", "heart\tB*\tC\n", "0123456789", false, "line 1" },
        { "missing field", "heart\tB\nlung\tA\tB\n", "0123456789", false, "line 1" },
        { "empty headword", "\tA\tB\n", "0123456789", false, "line 1" },
        { "overlong number", "heart\tAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\tB\n", "0123456789", false, "line 1" },
        { "no entries", "00-database-url\tA\tB\n", "0123456789", false, "no entries" },
        { "empty index", "", "0123456789", false, "no entries" },
        { "no data file", "heart\tA\tB\n", QByteArray(), false, "missing" },
        { "offset past the end", "heart\tA\tB\nlung\tZ\tB\n", "0123456789", true, "lung" },
        { "length past the end", "heart\tA\tZ\n", "0123456789", true, "heart" },
        { "huge length", "heart\tA\t//////\n", "0123456789", true, "too long" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        QFile i(dir.filePath(QStringLiteral("x.index")));
        ASSERT_TRUE(i.open(QIODevice::WriteOnly));
        i.write(c.index);
        i.close();
        if (!c.dict.isNull()) {
            QFile d(dir.filePath(QStringLiteral("x.dict")));
            ASSERT_TRUE(d.open(QIODevice::WriteOnly));
            d.write(c.dict);
        }
        DictdDictionarySource source(i.fileName());
        const Read r = readAll(source);
        EXPECT_EQ(r.open == DictionarySource::OpenResult::Ready, c.opens);
        EXPECT_TRUE(r.error.contains(QLatin1String(c.message))) << r.error.toStdString();
    }
}

// A StarDict dictionary as the Debian StarDict tools write it: mixed field
// types (no same-type sequence), a synonym, dictzip data.
TEST_F(DictionarySourceTest, StarDictFromTheDebianTools)
{
    ASSERT_TRUE(QFileInfo::exists(kText2Bin)) << "install stardict-tools (scripts/install-deps)";
    const QString xml = write(QStringLiteral("med.xml"),
        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<stardict>\n<info>\n<version>3.0.0</version>\n"
        "<bookname>医学小辞典</bookname>\n<author>a</author>\n<email>a@example.org</email>\n"
        "<website>http://example.org</website>\n<description>d</description>\n<date>2026.12.11</date>\n"
        "<dicttype>x</dicttype>\n</info>\n<contents>\n"
        "<article>\n<key>心筋梗塞</key>\n<synonym>MI</synonym>\n"
        "<definition type=\"m\"><![CDATA[myocardial infarction]]></definition>\n</article>\n"
        "<article>\n<key>tachycardia</key>\n<definition type=\"t\"><![CDATA[ˌtakɪˈkɑːdɪə]]></definition>\n"
        "<definition type=\"h\"><![CDATA[<b>fast</b> heart rate]]></definition>\n</article>\n"
        "</contents>\n</stardict>\n");
    run(kText2Bin, { xml, m_dir.filePath(QStringLiteral("med.ifo")) });
    ASSERT_TRUE(QFileInfo::exists(m_dir.filePath(QStringLiteral("med.dict.dz"))));
    auto source = DictionarySourceFactory::create(m_dir.filePath(QStringLiteral("med.ifo")));
    ASSERT_EQ(source->formatName(), QStringLiteral("stardict"));
    const Read r = readAll(*source);
    ASSERT_EQ(r.open, DictionarySource::OpenResult::Ready) << r.error.toStdString();
    EXPECT_EQ(source->title(), QStringLiteral("医学小辞典"));
    EXPECT_EQ(source->columns(), (QStringList { "見出し語", "内容" }));
    EXPECT_EQ(source->recordCount(), 3u);
    EXPECT_TRUE(r.error.isEmpty()) << r.error.toStdString();
    QMap<QString, QString> text;
    for (const QStringList &record : r.records)
        text.insert(record.value(0), record.value(1));
    EXPECT_EQ(text.value(QStringLiteral("心筋梗塞")), QStringLiteral("myocardial infarction"));
    EXPECT_EQ(text.value(QStringLiteral("MI")), QStringLiteral("myocardial infarction")) << "the synonym";
    EXPECT_EQ(text.value(QStringLiteral("tachycardia")), QStringLiteral("[ˌtakɪˈkɑːdɪə]\nfast heart rate"));
}

TEST_F(DictionarySourceTest, StarDictEntryFields)
{
    const auto be32 = [](quint32 n) {
        QByteArray b(4, 0);
        qToBigEndian(n, b.data());
        return b;
    };
    const struct {
        const char *name;
        QByteArray data;
        QByteArray sequence;
        std::optional<QString> text;
    } cases[] = {
        { "one m, last", "plain text", "m", QStringLiteral("plain text") },
        { "t then m", QByteArray("kɑː") + '\0' + "meaning", "tm", QStringLiteral("[kɑː]\nmeaning") },
        { "h stripped", "<i>a</i> b", "h", QStringLiteral("a b") },
        { "typed m and W", QByteArray("mone\0W", 6) + be32(3) + "abc" + QByteArray("gtwo<b>!</b>\0", 13), "",
            QStringLiteral("one\ntwo!") },
        { "unterminated typed m", "mone", "", std::nullopt },
        { "W size past the end", "W" + be32(100) + "abc", "", std::nullopt },
        { "W cut in its size", "W\0\0", "", std::nullopt },
        { "sequence m not terminated before t", "abc", "mt", std::nullopt },
        { "picture only", "P", "P", QStringLiteral("") },
        { "empty data", "", "m", QStringLiteral("") },
    };
    for (const auto &c : cases)
        EXPECT_EQ(StarDictDictionarySource::entryText(c.data, c.sequence), c.text) << c.name;
}

// Damaged and hostile StarDict files: nothing read, a message that says
// what is wrong.
TEST_F(DictionarySourceTest, DamagedStarDictFiles)
{
    const auto idxEntry = [](const QByteArray &word, quint32 offset, quint32 size) {
        QByteArray b = word + '\0';
        QByteArray n(8, 0);
        qToBigEndian(offset, n.data());
        qToBigEndian(size, n.data() + 4);
        return b + n;
    };
    const QByteArray idx = idxEntry("heart", 0, 5) + idxEntry("lung", 5, 4);
    const QByteArray dict = "organlung";
    const QByteArray ifo = "StarDict's dict ifo file\nversion=2.4.2\nwordcount=2\nsametypesequence=m\n";
    const struct {
        const char *name;
        QByteArray ifo;
        QByteArray idx; // null: missing
        QByteArray dict; // null: missing
        QByteArray syn; // null: none
        bool opens;
        const char *message;
    } cases[] = {
        { "sound", ifo, idx, dict, {}, true, "" },
        { "count too large", "StarDict's dict ifo file\nversion=2.4.2\nwordcount=3\n", idx, dict, {}, false,
            "3" },
        { "huge count", "StarDict's dict ifo file\nversion=2.4.2\nwordcount=99999999999\n", idx, dict, {},
            false, "cannot hold" },
        { "no count", "StarDict's dict ifo file\nversion=2.4.2\n", idx, dict, {}, false, "word count" },
        { "unknown version", "StarDict's dict ifo file\nversion=9\nwordcount=2\n", idx, dict, {}, false,
            "version" },
        { "64-bit offsets in 2.4.2",
            "StarDict's dict ifo file\nversion=2.4.2\nwordcount=2\nidxoffsetbits=64\n", idx, dict, {}, false,
            "64" },
        { "index cut short", ifo, idx.left(idx.size() - 3), dict, {}, false, "cut short" },
        { "index without NUL", ifo, "heartlung", dict, {}, false, "cannot hold" },
        { "last word without NUL", ifo, idx + "x", dict, {}, false, "cut short" },
        { "no index", ifo, QByteArray(), dict, {}, false, "missing" },
        { "no data", ifo, idx, QByteArray(), {}, false, "missing" },
        { "offset past the data", ifo, idxEntry("heart", 0, 5) + idxEntry("lung", 500, 4), dict, {}, true,
            "lung" },
        { "size past the data", ifo, idxEntry("heart", 0, 5) + idxEntry("lung", 5, 0xFFFFFFF0u), dict, {},
            true, "lung" },
        { "synonym of no entry", ifo, idx, dict, QByteArray("x\0\0\0\0\x07", 6), false, "entry 7" },
        { "synonym cut short", ifo, idx, dict, QByteArray("x\0\0\0", 4), false, "cut short" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const auto put = [&dir](const QString &name, const QByteArray &bytes) {
            if (bytes.isNull())
                return;
            QFile f(dir.filePath(name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        };
        put(QStringLiteral("x.ifo"), c.ifo);
        put(QStringLiteral("x.idx"), c.idx);
        put(QStringLiteral("x.dict"), c.dict);
        put(QStringLiteral("x.syn"), c.syn);
        StarDictDictionarySource source(dir.filePath(QStringLiteral("x.ifo")));
        const Read r = readAll(source);
        EXPECT_EQ(r.open == DictionarySource::OpenResult::Ready, c.opens) << r.error.toStdString();
        if (QByteArray(c.message).isEmpty()) {
            EXPECT_TRUE(r.error.isEmpty()) << r.error.toStdString();
            EXPECT_EQ(r.records.size(), 2);
        } else {
            EXPECT_TRUE(r.error.contains(QLatin1String(c.message))) << r.error.toStdString();
        }
    }
}

// The CSV source keeps the importer's reading: header as columns, blank
// records skipped, sniffed encodings, the parse error as the message.
TEST_F(DictionarySourceTest, CsvSource)
{
    const struct {
        const char *name;
        QByteArray bytes;
        DictionarySource::OpenResult open;
        QStringList columns;
        int records;
    } cases[] = {
        { "plain", "word,meaning\r\nheart,organ\r\n\r\nlung,\"air, organ\"\r\n",
            DictionarySource::OpenResult::Ready, { "word", "meaning" }, 2 },
        { "UTF-16 with BOM", QByteArray("\xFF\xFEw\0,\0m\0\n\0a\0,\0b\0", 16),
            DictionarySource::OpenResult::Ready, { "w", "m" }, 1 },
        { "header only", "word,meaning\n", DictionarySource::OpenResult::Ready, { "word", "meaning" }, 0 },
        { "empty", "", DictionarySource::OpenResult::Unreadable, {}, 0 },
        { "bad quote", "word,reading\nab\"c,d\n", DictionarySource::OpenResult::Unreadable, {}, 0 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CsvDictionarySource source(write(QStringLiteral("c.csv"), c.bytes));
        const Read r = readAll(source);
        EXPECT_EQ(r.open, c.open);
        if (c.open != DictionarySource::OpenResult::Ready) {
            EXPECT_FALSE(r.error.isEmpty());
            continue;
        }
        EXPECT_EQ(source.columns(), c.columns);
        EXPECT_EQ(r.records.size(), c.records);
        EXPECT_EQ(source.recordCount(), quint64(c.records));
    }
}

} // namespace
