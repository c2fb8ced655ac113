#include "core/library/LibraryStore.h"
#include "core/library/Library.h"
#include "support/LibraryFixture.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace
{

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs SQL on a file with a separate raw connection, as an older build or
// another tool would.
bool runSql(const QString &path, const QByteArray &sql)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        return false;
    const bool ok = sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

TEST(LibraryStoreLocation, FileNameFollowsTheApplicationName)
{
    const std::pair<const char *, const char *> cases[] = {
        { "Tavro", "Tavro.sqlite" },
        { "", "LibraryStore.sqlite" },
        { "Library.sqlite", "Library.sqlite" },
        { "mysqlite", "mysqlite" },
    };
    for (const auto &[app, file] : cases)
        EXPECT_EQ(LibraryStore::storeFileName(QString::fromLatin1(app)), QString::fromLatin1(file)) << app;
}

TEST(LibraryStoreLocation, DocumentsCopyIsUsedInPlace)
{
    const QString support = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Tavro/Tavro.sqlite");
    EXPECT_EQ(LibraryStore::defaultPath(), support);
    EXPECT_TRUE(QDir(QFileInfo(support).absolutePath()).exists()) << "missing folders are created";

    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QDir().mkpath(documents);
    const QString legacy = documents + QStringLiteral("/Tavro.sqlite");
    ASSERT_TRUE(runSql(legacy, "CREATE TABLE t(x);"));
    EXPECT_EQ(LibraryStore::defaultPath(), legacy);
    QFile::remove(legacy);
}

class LibraryStoreTest : public LibraryFixture
{
};

TEST_F(LibraryStoreTest, NewStoreHasEveryEntityWithExactColumnNames)
{
    EXPECT_EQ(
        store().database().scalar(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
    EXPECT_EQ(store().database().scalar(QStringLiteral("PRAGMA user_version")).toInt(),
        LibraryStore::kSchemaVersion);
    QStringList expected { QStringLiteral("pk") };
    for (const auto &a : BookHighlightMemo::attributes())
        expected << QString::fromLatin1(a.name);
    EXPECT_EQ(store().columnsOf(QStringLiteral("BookHighlightMemo")), expected);
    for (const char *entity : { "UserInfo", "BookMetaData", "BookStatusData", "LabelMaster", "BookLabelLink",
             "CacheInfo", "AccessBookLog", "AccessPageLog", "DictionaryMaster", "DictionarySettingItem" })
        EXPECT_FALSE(store().columnsOf(QString::fromLatin1(entity)).isEmpty()) << entity;
    EXPECT_TRUE(store().columnsOf(QStringLiteral("LabelMaster")).contains(QStringLiteral("order")));
}

TEST_F(LibraryStoreTest, RecordsRoundTripEveryAttributeType)
{
    BookMetaData book;
    book.BookID = 7;
    book.title = QStringLiteral("内科学 \"第2版\"");
    book.publishDate = QDateTime::fromMSecsSinceEpoch(1234567890123, Qt::UTC);
    book.printable = 1;
    ASSERT_TRUE(store().insert(book));
    EXPECT_GT(book.pk, 0);

    const auto back = store().findFirst<BookMetaData>(QStringLiteral("\"BookID\"=?"), { 7 });
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->title, book.title);
    EXPECT_EQ(back->publishDate, book.publishDate);
    EXPECT_EQ(back->printable, 1);
    EXPECT_FALSE(back->creator.has_value()) << "unset attributes stay absent";

    AccessBookLog log;
    log.staytime = 1.25;
    ASSERT_TRUE(store().insert(log));
    EXPECT_DOUBLE_EQ(store().findFirst<AccessBookLog>()->staytime.value(), 1.25);
}

TEST_F(LibraryStoreTest, TransactionRollsBackWhenTheBodyFails)
{
    const bool ok = store().transaction([&] {
        LabelMaster label;
        label.labelID = 5;
        EXPECT_TRUE(store().insert(label));
        return false;
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(store().count<LabelMaster>(), 0);
}

TEST(LibraryStoreMigration, OlderSchemaOpensWithItsRecordsKept)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.sqlite"));
    ASSERT_TRUE(runSql(path, readFile(QStringLiteral(TAVRO_FIXTURES_DIR "/library-v1.sql"))));

    LibraryStore store;
    ASSERT_TRUE(store.open(path));
    EXPECT_EQ(
        store.database().scalar(QStringLiteral("PRAGMA user_version")).toInt(), LibraryStore::kSchemaVersion);
    EXPECT_TRUE(store.columnsOf(QStringLiteral("BookMetaData")).contains(QStringLiteral("spineConverted")));
    EXPECT_FALSE(store.columnsOf(QStringLiteral("BookStatusData")).isEmpty()) << "missing tables are added";
    EXPECT_EQ(
        store.database()
            .scalar(QStringLiteral(
                "SELECT count(*) FROM sqlite_master WHERE type='index' AND name='BookHighlightMemo_Book'"))
            .toInt(),
        1);

    const auto books = store.findAll<BookMetaData>({}, {}, QStringLiteral("\"BookID\""));
    ASSERT_EQ(books.size(), 2);
    EXPECT_EQ(books[0].title, QStringLiteral("解剖学入門"));
    EXPECT_EQ(books[1].identifier, QStringLiteral("pdf-77"));
    EXPECT_EQ(store.findFirst<UserInfo>()->userId, QStringLiteral("4711"));
    EXPECT_EQ(store.findFirst<BookHighlightMemo>()->memotext, QStringLiteral("check this"));
    store.close();

    // Opening again changes nothing.
    ASSERT_TRUE(store.open(path));
    EXPECT_EQ(store.count<BookMetaData>(), 2);
}

TEST(LibraryStoreMigration, NewerSchemaIsLeftAlone)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("newer.sqlite"));
    ASSERT_TRUE(runSql(path,
        "CREATE TABLE \"UserInfo\" (\"pk\" INTEGER PRIMARY KEY, \"userId\" TEXT, \"future\" TEXT);"
        "INSERT INTO \"UserInfo\" VALUES (1,'9','x'); PRAGMA user_version=99;"));
    LibraryStore store;
    ASSERT_TRUE(store.open(path));
    EXPECT_EQ(store.database().scalar(QStringLiteral("PRAGMA user_version")).toInt(), 99);
    EXPECT_EQ(store.findFirst<UserInfo>()->userId, QStringLiteral("9"));
}

TEST(LibraryStoreFailure, UnreadableFileIsNeverDeletedAndTheStoreStaysEmpty)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tavro.sqlite"));
    const QByteArray garbage(8192, '\x5A');
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(garbage);
    }
    LibraryStore store;
    EXPECT_FALSE(store.open(path));
    EXPECT_FALSE(store.isOpen());
    EXPECT_EQ(readFile(path), garbage) << "the file must be left exactly as it was";

    BookMetaData book;
    EXPECT_FALSE(store.insert(book));
    EXPECT_TRUE(store.findAll<BookMetaData>().isEmpty());
    EXPECT_EQ(store.count<BookMetaData>(), 0);
}

// A write that has returned survives the process being killed right after.
TEST(LibraryStoreCrash, WritesThatReturnedSurviveAKill)
{
    if (!qEnvironmentVariableIsSet("TAVRO_CRASH_STORE")) {
        // Set once in the parent; the death-test child inherits it.
        static QTemporaryDir dir;
        qputenv("TAVRO_CRASH_STORE", dir.filePath(QStringLiteral("crash.sqlite")).toUtf8());
    }
    const QString path = qEnvironmentVariable("TAVRO_CRASH_STORE");

    EXPECT_EXIT(
        {
            LibraryStore crashing;
            crashing.open(path);
            const Library library(crashing);
            EXPECT_TRUE((library.books().addLibary(QStringLiteral("循環器"))).has_value());
            library.annotations().upsertBookMark(4, QStringLiteral("ch2"), QStringLiteral("urn:x"), 1, false);
            EXPECT_TRUE((library.annotations().addBookHighlightMemoWithBookID(1, QStringLiteral("5"),
                             std::nullopt, 4, 1, 2, 3, 4, 5, std::nullopt, QStringLiteral("memo"),
                             std::nullopt, 0, 0, std::nullopt, QStringLiteral("urn:x")))
                            .has_value());
            std::raise(SIGKILL);
        },
        ::testing::KilledBySignal(SIGKILL), "");

    LibraryStore store;
    ASSERT_TRUE(store.open(path));
    EXPECT_EQ(store.findFirst<LabelMaster>()->labelName, QStringLiteral("循環器"));
    EXPECT_EQ(store.count<BookHighlightMemo>(QStringLiteral("\"highlightNo\"=0 AND \"PageIdx\"=4")), 1);
    EXPECT_EQ(store.findFirst<BookHighlightMemo>(QStringLiteral("\"highlightNo\"=1"))->memotext,
        QStringLiteral("memo"));
}

} // namespace
