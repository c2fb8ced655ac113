#include "core/dictionary/DictionaryManager.h"
#include "core/library/Library.h"
#include "core/util/NotificationCenter.h"
#include "support/LibraryFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <thread>

namespace
{

class DictionaryManagerTest : public LibraryFixture
{
protected:
    void SetUp() override
    {
        LibraryFixture::SetUp();
        ASSERT_TRUE(m_dir.isValid());
        m_manager
            = std::make_unique<DictionaryManager>(store(), m_dir.filePath(QStringLiteral("Dic.sqlite")));
        m_connection = NotificationCenter::defaultCenter().observe(
            QString::fromLatin1(DictionaryManager::kAnalyzeDic), &m_context, [this](const QVariant &object) {
                const QVariantMap m = object.toMap();
                m_statuses << m.value(QStringLiteral("status")).toInt();
                m_notices << m;
                if (m.contains(QStringLiteral("tpath")))
                    m_tpath = m.value(QStringLiteral("tpath")).toString();
                if (m.contains(QStringLiteral("progress")))
                    m_shares << m.value(QStringLiteral("progress")).toDouble();
                if (m.contains(QStringLiteral("result")))
                    m_result = m.value(QStringLiteral("result")).toString();
                if (m_onStatus)
                    m_onStatus(m_statuses.last());
            });
    }
    void TearDown() override
    {
        QObject::disconnect(m_connection);
        m_manager.reset();
        LibraryFixture::TearDown();
    }

    QString writeCsv(const QByteArray &text)
    {
        const QString path = m_dir.filePath(QStringLiteral("d%1.csv").arg(++m_files));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return path;
    }

    void install(const QString &csv, const QString &bookId = QStringLiteral("dict-1"))
    {
        m_statuses.clear();
        m_notices.clear();
        m_shares.clear();
        m_result.clear();
        m_manager->expandDic(csv,
            { { QStringLiteral("bookId"), bookId },
                { QStringLiteral("bookTitle"), QStringLiteral("医学用語集") } },
            QStringLiteral("/tmp/package-dir"));
    }

    qint64 rowCount(const QString &where = QStringLiteral("1"))
    {
        SqliteDatabase db;
        db.open(m_manager->databasePath());
        return db.scalar(QStringLiteral("SELECT count(*) FROM edict WHERE ") + where).toLongLong();
    }

    QStringList words(const QString &lookup)
    {
        QStringList out;
        for (const QVariantMap &row : m_manager->doSearchStr(lookup).value_or(QList<QVariantMap>()))
            out << row.value(QStringLiteral("word")).toString();
        return out;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<DictionaryManager> m_manager;
    QObject m_context;
    QMetaObject::Connection m_connection;
    QList<int> m_statuses;
    QList<QVariantMap> m_notices;
    QList<double> m_shares; // the "progress" of status 1, in order
    QString m_result; // the "result" of status 2
    QString m_tpath;
    std::function<void(int)> m_onStatus;
    int m_files = 0;
};

const QByteArray kGlossary = "word,reading,meaning,category,note\r\n"
                             "心筋梗塞,しんきんこうそく,myocardial infarction,循環器,\r\n"
                             "高血圧,こうけつあつ,hypertension,循環器,\"収縮期140mmHg以上, 拡張期90\"\r\n"
                             "tachycardia,,heart rate above 100,cardiology\r\n"
                             "it's,,an apostrophe,misc,x,extra column\r\n"
                             "<b>心筋</b>炎,しんきんえん,myocarditis,循環器,\r\n"
                             "脳梗塞,のうこうそく,cerebral infarction,神経,\r\n";

TEST_F(DictionaryManagerTest, InstallsRowsColumnsAndProgress)
{
    install(writeCsv(kGlossary));
    const auto master = store().findFirst<DictionaryMaster>();
    ASSERT_TRUE(master.has_value());
    EXPECT_EQ(master->dicId, 1);
    EXPECT_EQ(master->useFlg, 1);
    EXPECT_EQ(master->dicName, QStringLiteral("医学用語集"));
    QStringList columns;
    for (const auto &item :
        store().findAll<DictionarySettingItem>(QString(), {}, QStringLiteral("\"columnId\"")))
        columns << item.columnName.value_or(QString());
    EXPECT_EQ(columns, (QStringList { "word", "reading", "meaning", "category", "note" }));

    EXPECT_EQ(rowCount(), 6) << "the empty record after the last line break is no entry";
    EXPECT_EQ(rowCount(QStringLiteral("word='tachycardia' AND item4=''")), 1) << "short rows fill with \"\"";
    EXPECT_EQ(m_statuses.first(), 0);
    EXPECT_EQ(m_statuses.last(), 2);
    EXPECT_EQ(m_tpath, QStringLiteral("/tmp/package-dir"));
    // 7 records (header and 6 rows; the empty one after the last line break
    // does not count): step 1, a notification per row, plus one after the
    // header.
    EXPECT_EQ(m_statuses.count(1), 1 + 6);
}

TEST_F(DictionaryManagerTest, ProgressStepTable)
{
    const std::pair<int, int> cases[] = { { 10, 10 }, { 49, 49 }, { 1000, 50 }, { 1234, 51 } };
    for (const auto &[lines, rowNotifications] : cases) {
        QByteArray csv = "word,meaning";
        for (int i = 0; i < lines; ++i)
            csv += "\nw" + QByteArray::number(i) + ",m";
        install(writeCsv(csv), QStringLiteral("dict-step"));
        EXPECT_EQ(m_statuses.count(1), 1 + rowNotifications) << lines << " lines";
        EXPECT_EQ(m_shares.size(), 1 + rowNotifications) << lines << " lines";
        EXPECT_TRUE(std::is_sorted(m_shares.begin(), m_shares.end())) << lines << " lines";
        EXPECT_EQ(m_shares.value(0), 0.0) << lines << " lines: none done after the header";
        EXPECT_LE(m_shares.value(m_shares.size() - 1), 1.0) << lines << " lines";
        EXPECT_GE(m_shares.value(m_shares.size() - 1), 0.9) << lines << " lines";
        EXPECT_EQ(m_result, QLatin1String(DictionaryManager::kResultInstalled)) << lines << " lines";
    }
}

TEST_F(DictionaryManagerTest, HeaderOnlyAndUnparsableFiles)
{
    install(writeCsv("word,reading\n"));
    EXPECT_EQ(store().count<DictionarySettingItem>(), 2);
    EXPECT_EQ(rowCount(), 0);
    EXPECT_EQ(m_statuses, (QList<int> { 0, 1, 2 }));

    install(writeCsv("word,reading\nab\"c,d\n"), QStringLiteral("dict-bad"));
    EXPECT_EQ(m_statuses, (QList<int> { 0, 1, 2 })) << "nothing parsed, every status still posted";
    EXPECT_EQ(store().count<DictionarySettingItem>(), 2) << "no columns for the bad file";
    EXPECT_EQ(store().count<DictionaryMaster>(), 1) << "a file that does not parse installs nothing";
    EXPECT_EQ(m_result, QLatin1String(DictionaryManager::kResultUnreadable)) << "and says so";

    install(m_dir.filePath(QStringLiteral("missing.csv")), QStringLiteral("dict-missing"));
    EXPECT_EQ(m_statuses, (QList<int> { 0, 1, 2 }));
    EXPECT_EQ(store().count<DictionaryMaster>(), 1);
}

// A damaged or missing file in place of an installed dictionary takes
// nothing away.
TEST_F(DictionaryManagerTest, ABadReinstallKeepsTheEarlierInstall)
{
    install(writeCsv(kGlossary));
    const struct {
        const char *name;
        QString csv;
    } cases[] = {
        { "unparsable", writeCsv("word,reading\nab\"c,d\n") },
        { "missing", m_dir.filePath(QStringLiteral("missing.csv")) },
    };
    for (const auto &c : cases) {
        install(c.csv);
        EXPECT_EQ(m_statuses.last(), 2) << c.name;
        ASSERT_EQ(store().count<DictionaryMaster>(), 1) << c.name;
        EXPECT_EQ(store().findFirst<DictionaryMaster>()->dicId, 1) << c.name;
        EXPECT_EQ(store().count<DictionarySettingItem>(), 5) << c.name;
        EXPECT_EQ(rowCount(), 6) << c.name;
        EXPECT_EQ(words(QStringLiteral("高血圧")), QStringList { "高血圧" }) << c.name;
    }
}

TEST_F(DictionaryManagerTest, ReinstallReplacesTheOldRows)
{
    install(writeCsv(kGlossary));
    install(writeCsv("word,meaning\n新しい,new\n"));
    const auto masters = store().findAll<DictionaryMaster>();
    ASSERT_EQ(masters.size(), 1);
    EXPECT_EQ(masters.first().dicId, 2);
    EXPECT_EQ(rowCount(QStringLiteral("dicId='1'")), 0);
    EXPECT_EQ(rowCount(QStringLiteral("dicId='2'")), 1);
    EXPECT_EQ(store().count<DictionarySettingItem>(), 2) << "the old columns went with the old master";
}

QByteArray numberedCsv(int rows)
{
    QByteArray csv = "word,reading,meaning";
    for (int i = 0; i < rows; ++i)
        csv += "\n用語" + QByteArray::number(i) + ",ようご,term " + QByteArray::number(i);
    return csv;
}

// A cancelled import, first or in place of an earlier one, leaves the
// dictionaries as they were before it started.
TEST_F(DictionaryManagerTest, CancelLeavesTheDictionariesAsBefore)
{
    for (const bool earlier : { false, true }) {
        SCOPED_TRACE(earlier ? "reinstall" : "first install");
        if (earlier)
            install(writeCsv(kGlossary));
        const qint64 mastersBefore = store().count<DictionaryMaster>();
        const qint64 rowsBefore = rowCount();
        int ones = 0;
        m_onStatus = [&](int status) {
            if (status == 1 && ++ones == 3)
                m_manager->cancel();
        };
        install(writeCsv(numberedCsv(500)));
        m_onStatus = nullptr;
        EXPECT_EQ(m_statuses.last(), 2) << "the end is still posted";
        EXPECT_EQ(m_result, QLatin1String(DictionaryManager::kResultCancelled)) << "and says so";
        EXPECT_EQ(rowCount(), rowsBefore) << "no row of the cancelled import stays";
        EXPECT_EQ(store().count<DictionaryMaster>(), mastersBefore);
        EXPECT_FALSE(m_manager->isCancel()) << "the import clears the flag";
        EXPECT_EQ(words(QStringLiteral("用語1")), QStringList());
        if (earlier) {
            EXPECT_EQ(words(QStringLiteral("高血圧")), QStringList { "高血圧" });
        }
    }
}

// A progress bar can follow the rows, and the end says what became of the
// import.
TEST_F(DictionaryManagerTest, ProgressCountsRowsAndTheEndSaysWhatHappened)
{
    const struct {
        const char *name;
        QByteArray csv; // empty: a missing file
        bool cancelAtThird;
        const char *result;
    } cases[] = {
        { "installed", numberedCsv(1000), false, "installed" },
        { "cancelled", numberedCsv(1000), true, "cancelled" },
        { "unreadable", "word,reading\nab\"c,d\n", false, "unreadable" },
        { "missing", {}, false, "unreadable" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        int ones = 0;
        m_onStatus = [&](int status) {
            if (c.cancelAtThird && status == 1 && ++ones == 3)
                m_manager->cancel();
        };
        install(c.csv.isEmpty() ? m_dir.filePath(QStringLiteral("missing.csv")) : writeCsv(c.csv),
            QStringLiteral("dict-%1").arg(QString::fromLatin1(c.name)));
        m_onStatus = nullptr;
        ASSERT_FALSE(m_notices.isEmpty());
        EXPECT_EQ(m_notices.last().value(QStringLiteral("result")).toString(), QString::fromLatin1(c.result));
        qint64 last = -1;
        for (const QVariantMap &n : m_notices) {
            if (n.value(QStringLiteral("status")).toInt() != 1 || !n.contains(QStringLiteral("done")))
                continue;
            EXPECT_EQ(n.value(QStringLiteral("total")).toLongLong(), 1000);
            EXPECT_GT(n.value(QStringLiteral("done")).toLongLong(), last) << "rising";
            last = n.value(QStringLiteral("done")).toLongLong();
        }
        if (QByteArray(c.name) == "installed")
            EXPECT_GE(last, 950);
    }
}

// Quitting while an import runs on the manager's worker: the destructor
// cancels it and waits, and nothing of it is kept.
TEST_F(DictionaryManagerTest, QuittingDuringAnImportCancelsAndWaits)
{
    install(writeCsv(kGlossary));
    const QString big = writeCsv(numberedCsv(20000));
    m_statuses.clear();
    m_manager->startImport(big,
        { { QStringLiteral("bookId"), QStringLiteral("dict-1") },
            { QStringLiteral("bookTitle"), QStringLiteral("new") } },
        QString());
    // Rows are going in once a progress notice after the header arrived.
    QElapsedTimer clock;
    clock.start();
    while (m_statuses.count(1) < 3 && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_GE(m_statuses.count(1), 3);
    m_manager.reset();
    QCoreApplication::processEvents();

    m_manager = std::make_unique<DictionaryManager>(store(), m_dir.filePath(QStringLiteral("Dic.sqlite")));
    EXPECT_EQ(rowCount(), 6) << "only the earlier install's rows";
    ASSERT_EQ(store().count<DictionaryMaster>(), 1);
    EXPECT_EQ(store().findFirst<DictionaryMaster>()->dicId, 1);
    EXPECT_EQ(words(QStringLiteral("高血圧")), QStringList { "高血圧" });
}

// Started imports run one after another on the worker, each to the end.
TEST_F(DictionaryManagerTest, StartedImportsRunInTurn)
{
    m_manager->startImport(
        writeCsv(kGlossary), { { QStringLiteral("bookId"), QStringLiteral("a") } }, QString());
    m_manager->startImport(
        writeCsv(numberedCsv(100)), { { QStringLiteral("bookId"), QStringLiteral("b") } }, QString());
    QElapsedTimer clock;
    clock.start();
    while (m_statuses.count(2) < 2 && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_EQ(m_statuses.count(2), 2);
    EXPECT_EQ(store().count<DictionaryMaster>(), 2);
    EXPECT_EQ(rowCount(), 106);
    EXPECT_EQ(words(QStringLiteral("用語99")), QStringList { "用語99" });
    EXPECT_EQ(words(QStringLiteral("高血圧")), QStringList { "高血圧" });
}

// A cancel that came too late for the import it was meant for does not
// stop the next one.
TEST_F(DictionaryManagerTest, AStaleCancelDoesNotStopTheNextImport)
{
    m_manager->cancel();
    m_manager->startImport(
        writeCsv(kGlossary), { { QStringLiteral("bookId"), QStringLiteral("a") } }, QString());
    QElapsedTimer clock;
    clock.start();
    while (m_statuses.count(2) < 1 && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_EQ(m_statuses.count(2), 1);
    EXPECT_EQ(m_result, QLatin1String(DictionaryManager::kResultInstalled));
    EXPECT_EQ(words(QStringLiteral("高血圧")), QStringList { "高血圧" });
}

// kill -9 in the middle of an import: at the next start the dictionaries
// are as they were before it (no half-filled dictionary switched on).
TEST(DictionaryImportCrash, AKilledImportLeavesTheEarlierInstall)
{
    if (!qEnvironmentVariableIsSet("TAVRO_CRASH_DICT")) {
        // Set once in the parent; each death-test child inherits it.
        static QTemporaryDir dir;
        qputenv("TAVRO_CRASH_DICT", dir.path().toUtf8());
    }
    const QString dir = qEnvironmentVariable("TAVRO_CRASH_DICT");
    const struct {
        const char *name;
        bool earlier;
        int killAtNotice; // the n-th status 1 (1: after the header)
    } cases[] = {
        { "first install, after the header", false, 1 },
        { "first install, mid-way", false, 20 },
        { "reinstall, after the header", true, 1 },
        { "reinstall, mid-way", true, 20 },
        { "reinstall, at the last notice", true, 51 },
    };
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString home = dir + QStringLiteral("/case%1").arg(++n);
        QDir().mkpath(home);
        const QString dic = home + QStringLiteral("/Dic.sqlite");
        const QString lib = home + QStringLiteral("/Tavro.sqlite");
        QFile csv(home + QStringLiteral("/big.csv"));
        ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
        csv.write(numberedCsv(20000));
        csv.close();
        QFile small(home + QStringLiteral("/small.csv"));
        ASSERT_TRUE(small.open(QIODevice::WriteOnly));
        small.write(kGlossary);
        small.close();
        const QVariantMap info { { QStringLiteral("bookId"), QStringLiteral("dict-1") },
            { QStringLiteral("bookTitle"), QStringLiteral("医学用語集") } };

        EXPECT_EXIT(
            {
                LibraryStore library;
                if (!library.open(lib))
                    std::exit(1);
                DictionaryManager manager(library, dic);
                if (c.earlier)
                    manager.expandDic(small.fileName(), info, QString());
                QObject context;
                int ones = 0;
                NotificationCenter::defaultCenter().observe(
                    QString::fromLatin1(DictionaryManager::kAnalyzeDic), &context,
                    [&](const QVariant &object) {
                        if (object.toMap().value(QStringLiteral("status")) == 1 && ++ones == c.killAtNotice)
                            std::raise(SIGKILL);
                    });
                manager.expandDic(csv.fileName(), info, QString());
                std::exit(0);
            },
            ::testing::KilledBySignal(SIGKILL), "");

        LibraryStore library;
        ASSERT_TRUE(library.open(lib));
        DictionaryManager manager(library, dic);
        SqliteDatabase db;
        ASSERT_TRUE(db.open(dic));
        EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM edict")).toLongLong(), c.earlier ? 6 : 0);
        EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM pendingImport")).toLongLong(), 0);
        EXPECT_EQ(library.count<DictionaryMaster>(), c.earlier ? 1 : 0);
        if (c.earlier) {
            EXPECT_EQ(library.findFirst<DictionaryMaster>()->dicId, 1);
            EXPECT_EQ(library.count<DictionarySettingItem>(), 5);
        }
    }
}

TEST_F(DictionaryManagerTest, SearchKeys)
{
    EXPECT_EQ(
        DictionaryManager::strReplace(QStringLiteral("a-b.c 「d」（e）、f—g")), QStringLiteral("abc defg"));
    EXPECT_EQ(
        DictionaryManager::resolveString(QStringLiteral("脳梗塞の治療")), QStringLiteral("脳 梗塞 の 治療 "));
    EXPECT_EQ(DictionaryManager::resolveString(QStringLiteral("heart rate, 100!")),
        QStringLiteral("heart rate 100 "));
    EXPECT_EQ(DictionaryManager::resolveString(QStringLiteral("、。")), QString());
    // Tags are stripped in the first part only; the second is built from the
    // raw headword's tokens.
    EXPECT_EQ(DictionaryManager::searchWordFor(QStringLiteral("<b>心筋</b>炎")),
        QStringLiteral("心筋炎 b 心筋 b 炎 "));
    EXPECT_EQ(DictionaryManager::escape(QStringLiteral("it's")), QStringLiteral("it''s"));
    EXPECT_EQ(DictionaryManager::escape(12), QStringLiteral("12"));
    EXPECT_FALSE(DictionaryManager::escape(QVariant()).has_value());
}

TEST_F(DictionaryManagerTest, LookupsMatchWordsAndPrefixes)
{
    install(writeCsv(kGlossary));
    EXPECT_EQ(words(QStringLiteral("心筋")), (QStringList { "心筋梗塞", "<b>心筋</b>炎" }))
        << "prefix of the headword";
    EXPECT_EQ(words(QStringLiteral("梗塞")), QStringList { "脳梗塞" }) << "a word inside the headword";
    EXPECT_EQ(words(QStringLiteral("Tachy")), QStringList { "tachycardia" });
    EXPECT_EQ(words(QStringLiteral("it's")), QStringList { "it's" });
    EXPECT_TRUE(words(QStringLiteral("nothing")).isEmpty());

    const QVariantMap row = m_manager->doSearchStr(QStringLiteral("高血圧")).value().first();
    EXPECT_EQ(row.value(QStringLiteral("item1")).toString(), QStringLiteral("こうけつあつ"));
    EXPECT_EQ(row.value(QStringLiteral("item4")).toString(), QStringLiteral("収縮期140mmHg以上, 拡張期90"));
    EXPECT_EQ(row.value(QStringLiteral("dicId")).toString(), QStringLiteral("1"));
}

// Query syntax in the looked-up word neither breaks the statement nor
// changes what matches: each lookup finds what its plain words find.
TEST_F(DictionaryManagerTest, QuerySyntaxInTheWordIsInert)
{
    install(writeCsv(kGlossary));
    const std::pair<const char *, const char *> cases[] = {
        { "\"tachy", "tachy" },
        { "tachy*", "tachy" },
        { "-tachycardia", "tachycardia" },
        { "(tachy)", "tachy" },
        { "tachy OR blood", "tachy blood" },
        { "NOT tachy", "not tachy" },
        { "tachy NEAR rate", "tachy near rate" },
        { "'; DROP TABLE edict; --", "drop table edict" },
        { "*", "" },
        { "\"\"", "" },
        { "心筋 AND", "心筋 and" },
    };
    for (const auto &[odd, plain] : cases) {
        const auto got = m_manager->doSearchStr(QString::fromUtf8(odd));
        ASSERT_TRUE(got.has_value()) << odd;
        EXPECT_EQ(words(QString::fromUtf8(odd)), words(QString::fromUtf8(plain))) << odd;
    }
    EXPECT_EQ(words(QStringLiteral("tachy OR blood")), QStringList())
        << "no OR: both words would have to match";
    EXPECT_EQ(rowCount(), 6) << "the table is intact";
}

TEST_F(DictionaryManagerTest, DisabledDictionariesGiveAbsent)
{
    EXPECT_FALSE(m_manager->doSearchStr(QStringLiteral("心筋")).has_value()) << "none installed";
    install(writeCsv(kGlossary));
    auto master = store().findFirst<DictionaryMaster>().value();
    master.useFlg = 0;
    ASSERT_TRUE(store().save(master));
    EXPECT_FALSE(m_manager->doSearchStr(QStringLiteral("心筋")).has_value());
}

// The import runs on a worker thread while the main thread looks words up;
// each has its own connection, and notifications arrive on the main thread.
TEST_F(DictionaryManagerTest, ImportAndLookupsRunAtOnce)
{
    install(writeCsv(kGlossary), QStringLiteral("dict-first"));
    QByteArray csv = "word,reading,meaning";
    for (int i = 0; i < 20000; ++i)
        csv += "\n用語" + QByteArray::number(i) + ",ようご,term " + QByteArray::number(i);
    const QString big = writeCsv(csv);

    m_statuses.clear();
    bool onMainThread = true;
    m_onStatus = [&](int) { onMainThread = onMainThread && QThread::currentThread() == qApp->thread(); };
    std::thread worker([&] {
        m_manager->expandDic(big,
            { { QStringLiteral("bookId"), QStringLiteral("dict-big") },
                { QStringLiteral("bookTitle"), QStringLiteral("big") } },
            QString());
    });
    int lookups = 0;
    while (m_statuses.isEmpty() || m_statuses.last() != 2) {
        const auto rows = m_manager->doSearchStr(QStringLiteral("心筋"));
        ASSERT_TRUE(rows.has_value());
        ASSERT_FALSE(rows->isEmpty()) << "the first dictionary stays readable during the import";
        ++lookups;
        QCoreApplication::processEvents();
    }
    worker.join();
    m_onStatus = nullptr;
    EXPECT_GT(lookups, 0);
    EXPECT_TRUE(onMainThread);
    EXPECT_EQ(rowCount(QStringLiteral("dicId='2'")), 20000);
    EXPECT_EQ(words(QStringLiteral("用語19999")), QStringList { "用語19999" });
}

// Real data: Debian's EDICT, converted by tools/edict_to_csv.py.
TEST_F(DictionaryManagerTest, EdictJapaneseLookups)
{
    if (!QFile::exists(QStringLiteral("/usr/share/edict/edict")))
        GTEST_SKIP() << "the edict package is not installed";
    const QString csv = m_dir.filePath(QStringLiteral("edict-slice.csv"));
    QProcess p;
    p.start(QStringLiteral("python3"),
        { QStringLiteral(TAVRO_EDICT_TOOL), QStringLiteral("--out"), csv, QStringLiteral("--grep"),
            QStringLiteral("心|梗塞|血") });
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0);
    install(csv, QStringLiteral("edict"));
    EXPECT_GT(rowCount(), 1000);
    EXPECT_TRUE(words(QStringLiteral("梗塞")).contains(QStringLiteral("脳梗塞")))
        << "found inside the longer headword";
    EXPECT_TRUE(words(QStringLiteral("心筋梗塞")).contains(QStringLiteral("急性心筋梗塞")));
    EXPECT_TRUE(words(QStringLiteral("心筋")).contains(QStringLiteral("心筋炎"))) << "prefix";
    const auto rows = m_manager->doSearchStr(QStringLiteral("心筋梗塞")).value();
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_EQ(rows.first().value(QStringLiteral("item1")).toString(), QStringLiteral("しんきんこうそく"));
    EXPECT_TRUE(rows.first()
                    .value(QStringLiteral("item2"))
                    .toString()
                    .contains(QStringLiteral("myocardial infarction")));
}

} // namespace

namespace
{

// A dictd database of `entries` (headword, text) as NAME.index and
// NAME.dict in `dir`; `lastOffset` replaces the last entry's offset.
QString writeDictd(const QString &dir, const QList<std::pair<QByteArray, QByteArray>> &entries,
    std::optional<QByteArray> lastOffset = std::nullopt)
{
    static const char *digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto b64 = [](quint64 n) {
        QByteArray out;
        do {
            out.prepend(digits[n % 64]);
            n /= 64;
        } while (n);
        return out;
    };
    QByteArray index;
    QByteArray dict;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const auto &[word, text] = entries.at(i);
        const QByteArray offset
            = i == entries.size() - 1 && lastOffset ? *lastOffset : b64(quint64(dict.size()));
        index += word + '\t' + offset + '\t' + b64(quint64(text.size())) + '\n';
        dict += text;
    }
    QFile i(dir + QStringLiteral("/wn.index"));
    EXPECT_TRUE(i.open(QIODevice::WriteOnly | QIODevice::Truncate));
    i.write(index);
    QFile d(dir + QStringLiteral("/wn.dict"));
    EXPECT_TRUE(d.open(QIODevice::WriteOnly | QIODevice::Truncate));
    d.write(dict);
    return i.fileName();
}

// A dictd database goes in like a CSV file: its columns, its title when
// the package gives none, look-ups by headword.
TEST_F(DictionaryManagerTest, DictdDatabaseInstalls)
{
    QList<std::pair<QByteArray, QByteArray>> entries { { "00-database-short",
        "00-database-short\n  小さな辞書\n" } };
    for (int i = 0; i < 120; ++i)
        entries.append({ "term" + QByteArray::number(i), "term" + QByteArray::number(i) + "\n  meaning\n" });
    const QString index = writeDictd(m_dir.path(), entries);
    m_manager->expandDic(index, { { QStringLiteral("bookId"), QStringLiteral("wn") } }, QString());
    EXPECT_EQ(m_result, QLatin1String(DictionaryManager::kResultInstalled));
    const auto master = store().findFirst<DictionaryMaster>();
    ASSERT_TRUE(master.has_value());
    EXPECT_EQ(master->dicName, QStringLiteral("小さな辞書")) << "the database's own title";
    QStringList columns;
    for (const auto &item :
        store().findAll<DictionarySettingItem>(QString(), {}, QStringLiteral("\"columnId\"")))
        columns << item.columnName.value_or(QString());
    EXPECT_EQ(columns, (QStringList { "見出し語", "内容" }));
    EXPECT_EQ(rowCount(), 120);
    EXPECT_EQ(words(QStringLiteral("term7")).value(0), QStringLiteral("term7"));
    EXPECT_GE(m_shares.last(), 0.9);
    EXPECT_LE(m_shares.last(), 1.0);
}

// A database that turns out damaged after rows went in installs nothing,
// keeps the earlier install and says why.
TEST_F(DictionaryManagerTest, ADictdDamagedPartWayKeepsTheEarlierInstall)
{
    install(writeCsv(kGlossary), QStringLiteral("wn"));
    QList<std::pair<QByteArray, QByteArray>> entries;
    for (int i = 0; i < 7000; ++i)
        entries.append({ "term" + QByteArray::number(i), "meaning " + QByteArray::number(i) });
    install(writeDictd(m_dir.path(), entries, QByteArray("/////")), QStringLiteral("wn"));
    EXPECT_EQ(m_result, QLatin1String(DictionaryManager::kResultUnreadable));
    const QString message = m_notices.last().value(QStringLiteral("message")).toString();
    EXPECT_TRUE(message.contains(QStringLiteral("term6999"))) << message.toStdString();
    EXPECT_EQ(rowCount(), 6) << "the rows that went in before the damage are gone";
    ASSERT_EQ(store().count<DictionaryMaster>(), 1);
    EXPECT_EQ(store().findFirst<DictionaryMaster>()->dicId, 1);
    EXPECT_EQ(words(QStringLiteral("高血圧")), QStringList { "高血圧" });
}

} // namespace
