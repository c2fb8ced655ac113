// EPWING books read through libeb: a book made by the FreePWING tools (and
// compressed by ebzip), the ways to name it, and damaged copies of it.
#include "core/dictionary/EpwingDictionarySource.h"
#include "core/dictionary/DictionarySourceFactory.h"
#include "support/EpwingBook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

const QList<EpwingEntry> kEntries = {
    { QStringLiteral("投与"), { QStringLiteral("薬を患者に与えること。"), QStringLiteral("記号{g}の例。") } },
    { QStringLiteral("腫れる"), { QStringLiteral("炎症などで体の一部がふくれる。") } },
    { QStringLiteral("dose"), { QStringLiteral("The amount of a drug taken at one time.") } },
    { QStringLiteral("心筋梗塞"),
        { QStringLiteral("心筋の壊死。"), QStringLiteral("胸痛が続く。"),
            QStringLiteral("急性期の治療。") } },
};

class EpwingDictionarySourceTest : public ::testing::Test
{
protected:
    // One book for the whole suite: fpwmake takes a second or two.
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        QString log;
        s_book = makeEpwingBook(
            s_dir->filePath(QStringLiteral("make")), QStringLiteral("見本辞書"), kEntries, &log);
        s_log = log;
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    void SetUp() override
    {
        ASSERT_FALSE(s_book.isEmpty()) << "install freepwing (scripts/install-deps): " << s_log.toStdString();
    }

    // A copy of the book to damage.
    QString copyOfBook()
    {
        const QString to = m_dir.filePath(QStringLiteral("copy"));
        QDir(to).removeRecursively();
        for (const QString &name : { QStringLiteral("catalogs"), QStringLiteral("SAMPLE/data/honmon"),
                 QStringLiteral("SAMPLE/gaiji/gai16f") }) {
            QDir().mkpath(QFileInfo(to + u'/' + name).absolutePath());
            EXPECT_TRUE(QFile::copy(s_book + u'/' + name, to + u'/' + name));
        }
        return to;
    }
    static void put(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    static QByteArray bytesOf(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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

    static inline QTemporaryDir *s_dir = nullptr;
    static inline QString s_book;
    static inline QString s_log;
    QTemporaryDir m_dir;
};

TEST_F(EpwingDictionarySourceTest, EveryEntryOfTheBookIsARecord)
{
    const QList<QStringList> expected = {
        { "投与", "薬を患者に与えること。\n記号〓の例。" },
        { "腫れる", "炎症などで体の一部がふくれる。" },
        { "dose", "The amount of a drug taken at one time." },
        { "心筋梗塞", "心筋の壊死。\n胸痛が続く。\n急性期の治療。" },
    };
    // The same book compressed by ebzip (as books copied from a disc often
    // are).
    const QString zipped = m_dir.filePath(QStringLiteral("zipped"));
    ASSERT_TRUE(QDir().mkpath(zipped));
    QProcess ebzip;
    ebzip.start(QStringLiteral("ebzip"),
        { QStringLiteral("-q"), QStringLiteral("-f"), QStringLiteral("-k"), QStringLiteral("-o"), zipped,
            s_book });
    ASSERT_TRUE(ebzip.waitForFinished(60000)) << "install eb-utils (scripts/install-deps)";
    ASSERT_TRUE(QFile::exists(zipped + QStringLiteral("/SAMPLE/data/honmon.ebz")));

    // The CATALOGS file the user picks, the book's folder, a subbook's text.
    for (const QString &path : { s_book + QStringLiteral("/catalogs"), s_book,
             s_book + QStringLiteral("/SAMPLE/data/honmon"), zipped + QStringLiteral("/catalogs") }) {
        SCOPED_TRACE(path.toStdString());
        const auto source = DictionarySourceFactory::create(path);
        ASSERT_EQ(source->formatName(), QStringLiteral("epwing"));
        const Read r = readAll(*source);
        ASSERT_EQ(r.open, DictionarySource::OpenResult::Ready) << r.error.toStdString();
        EXPECT_TRUE(r.error.isEmpty()) << r.error.toStdString();
        EXPECT_EQ(r.records, expected);
        EXPECT_EQ(source->recordCount(), quint64(expected.size()));
        EXPECT_EQ(source->title(), QStringLiteral("見本辞書"));
        EXPECT_EQ(source->columns(), (QStringList { "見出し語", "内容" }));
    }

    // Names that lead to no book.
    QDir().mkpath(m_dir.filePath(QStringLiteral("x/DATA")));
    put(m_dir.filePath(QStringLiteral("x/DATA/HONMON")), "word,meaning\n");
    for (const QString &path : { m_dir.path(), m_dir.filePath(QStringLiteral("x/DATA/HONMON")) })
        EXPECT_FALSE(EpwingDictionarySource::bookFolder(path)) << path.toStdString();
}

TEST_F(EpwingDictionarySourceTest, DamagedBooksSayWhatIsWrong)
{
    const QByteArray text = bytesOf(s_book + QStringLiteral("/SAMPLE/data/honmon"));
    ASSERT_GT(text.size(), 4096);
    const struct {
        const char *name;
        const char *file; // relative to the book; removed when `bytes` is null
        QByteArray bytes;
        const char *message;
    } cases[] = {
        { "no catalogue", "catalogs", QByteArray(), "is not an EPWING book" },
        { "empty catalogue", "catalogs", QByteArray(""), "is not an EPWING book" },
        { "catalogue of noise", "catalogs", QByteArray(2048, '\xA5'), "is not an EPWING book" },
        { "no text file", "SAMPLE/data/honmon", QByteArray(), "SAMPLE" },
        { "text cut short", "SAMPLE/data/honmon", text.left(100), "SAMPLE" },
        { "text of zeros", "SAMPLE/data/honmon", QByteArray(text.size(), '\0'), "SAMPLE" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString book = copyOfBook();
        if (c.bytes.isNull())
            QFile::remove(book + u'/' + QLatin1String(c.file));
        else
            put(book + u'/' + QLatin1String(c.file), c.bytes);
        EpwingDictionarySource source(book);
        const Read r = readAll(source);
        EXPECT_NE(r.open, DictionarySource::OpenResult::Ready);
        EXPECT_TRUE(r.error.contains(QLatin1String(c.message), Qt::CaseInsensitive)) << r.error.toStdString();
        EXPECT_TRUE(r.records.isEmpty());
    }
}

// Cut and overwritten text: every copy ends, with its records or with a
// reason, and never with a crash or a hang.
TEST_F(EpwingDictionarySourceTest, CorruptTextEndsWithRecordsOrAReason)
{
    const QByteArray text = bytesOf(s_book + QStringLiteral("/SAMPLE/data/honmon"));
    QRandomGenerator random(20261211);
    for (int round = 0; round < 60; ++round) {
        QByteArray damaged = text;
        if (round % 2 == 0) {
            damaged.truncate(random.bounded(int(text.size())));
        } else {
            const int changes = 1 + random.bounded(16);
            for (int i = 0; i < changes; ++i)
                damaged[random.bounded(int(damaged.size()))] = char(random.bounded(256));
        }
        SCOPED_TRACE(round);
        const QString book = copyOfBook();
        put(book + QStringLiteral("/SAMPLE/data/honmon"), damaged);
        EpwingDictionarySource source(book);
        const Read r = readAll(source);
        if (r.open != DictionarySource::OpenResult::Ready || !r.error.isEmpty()) {
            EXPECT_FALSE(r.error.isEmpty());
            continue;
        }
        for (const QStringList &record : r.records) {
            ASSERT_EQ(record.size(), 2);
            EXPECT_FALSE(record.first().isEmpty());
        }
    }
}

} // namespace
