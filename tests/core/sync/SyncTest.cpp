// Annotation sync: the wire forms, and round trips between two devices of
// one user through the local backend, with every failure changing nothing.
#include "core/library/Library.h"
#include "core/library/LibraryStore.h"
#include "core/platform/ConfigDictionary.h"
#include "core/platform/DataFolder.h"
#include "core/platform/ServerConfig.h"
#include "core/platform/UserDefaults.h"
#include "core/store/ApiRequest.h"
#include "core/store/VamoManager.h"
#include "core/sync/BookHighlightMemoWire.h"
#include "core/sync/QMShareHelper.h"
#include "core/util/NotificationCenter.h"
#include "support/BackendProcess.h"
#include "support/Wait.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

QVariantMap parsed(const OrderedJsonObject &o)
{
    return QJsonDocument::fromJson(orderedJson(QVariant::fromValue(o)).toUtf8()).toVariant().toMap();
}

BookHighlightMemo bookmark(qint64 page)
{
    BookHighlightMemo r;
    r.metaBookID = QStringLiteral("urn:b");
    r.PageIdx = page;
    r.highlightNo = 0;
    r.manifestId = QStringLiteral("item5");
    r.updateTime = QDateTime(QDate(2026, 12, 1), QTime(10, 15, 0, 250));
    return r;
}

TEST(SyncWire, PageNumbersAndNavigationIds)
{
    struct Case {
        const char *name;
        bool isPdf;
        std::optional<QString> naviId;
        const char *pageIdx;
        const char *expectedNavi;
    };
    const Case cases[] = {
        { "EPUB bookmark", false, std::nullopt, "5", "6" },
        { "PDF bookmark", true, std::nullopt, "4", "5" },
        { "EPUB highlight", false, QStringLiteral("5"), "5", "5" },
    };
    for (const Case &c : cases) {
        BookHighlightMemo r = bookmark(4);
        r.NaviID = c.naviId;
        const QVariantMap insert = parsed(BookHighlightMemoWire::changeForInsert(r, c.isPdf));
        EXPECT_EQ(insert.value(QStringLiteral("pageIdx")).toString(), QLatin1String(c.pageIdx)) << c.name;
        EXPECT_EQ(insert.value(QStringLiteral("naviId")).toString(), QLatin1String(c.expectedNavi)) << c.name;
    }
    BookHighlightMemo noPage = bookmark(0);
    noPage.PageIdx.reset();
    EXPECT_EQ(parsed(BookHighlightMemoWire::changeForCheckHighlightMemo(noPage, false))
                  .value(QStringLiteral("pageIdx")),
        QStringLiteral("1"));
}

TEST(SyncWire, InsertRecordKeysFormatsAndBlanks)
{
    BookHighlightMemo r = bookmark(4);
    const OrderedJsonObject insert = BookHighlightMemoWire::changeForInsert(r, false);
    QStringList keys;
    for (const auto &[k, v] : insert.members) {
        keys << k;
        EXPECT_EQ(v.metaType().id(), QMetaType::QString) << "every value is a string: " << k.toStdString();
    }
    EXPECT_EQ(keys,
        (QStringList { "bookId", "udId", "updateUdId", "memoText", "pageIdx", "manifestId", "endNodeOffset",
            "startNodeOffset", "updateDate", "highlightNo", "startNodeNo", "endNodeNo", "gpsInfo",
            "twitterFlg", "facebookFlg", "contentTitle", "user", "naviId" }));
    const QVariantMap m = parsed(insert);
    EXPECT_EQ(m.value(QStringLiteral("updateDate")).toString(), QStringLiteral("20261201T101500.250"));
    EXPECT_EQ(m.value(QStringLiteral("memoText")).toString(), QStringLiteral("(null)"));
    EXPECT_EQ(m.value(QStringLiteral("startNodeNo")).toString(), QStringLiteral("0"));
    EXPECT_EQ(r.udId, QString()) << "absent device ids become empty on the record";
    EXPECT_EQ(r.user, QString());

    BookHighlightMemo memo = bookmark(2);
    memo.highlightNo = 3;
    memo.memotext = QStringLiteral("note");
    memo.deleteFlg = 1;
    const QVariantMap del = parsed(BookHighlightMemoWire::changeForDelete(memo, false));
    EXPECT_EQ(del.value(QStringLiteral("ID")).toInt(), 42);
    EXPECT_EQ(del.value(QStringLiteral("TableName")).toString(), QStringLiteral("BooksMemo"));
    EXPECT_EQ(QJsonDocument::fromJson(del.value(QStringLiteral("JsonString")).toString().toUtf8())
                  .toVariant()
                  .toMap()
                  .value(QStringLiteral("highlightNo"))
                  .toString(),
        QStringLiteral("3"));
    memo.memotext.reset();
    EXPECT_EQ(BookHighlightMemoWire::tableName(memo, true), QStringLiteral("PdfsHighlight"));
    BookHighlightMemo unknown;
    EXPECT_TRUE(BookHighlightMemoWire::changeForInsert(unknown, false).members.isEmpty())
        << "no book, no object";
}

TEST(SyncWire, DownloadDates)
{
    // CTest runs this with TZ=JST-9, nine hours ahead of GMT, where 1000 ms
    // gives 32399 seconds before the epoch.
    const qint64 offset = QDateTime::currentDateTime().offsetFromUtc();
    EXPECT_EQ(QMShareHelper::initNsDateFromUTCLong(1000).toSecsSinceEpoch(), 1 - offset);
    EXPECT_EQ(QMShareHelper::initNsDateFromUTCLong(1999).toSecsSinceEpoch(), 1 - offset) << "truncated";
    if (qEnvironmentVariable("TZ") == u"JST-9") {
        EXPECT_EQ(QMShareHelper::initNsDateFromUTCLong(1000).toSecsSinceEpoch(), -32399);
    }
}

// Two devices of one user, each with its own library file.
class SyncRoundTrip : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        backend = new BackendProcess;
        ASSERT_TRUE(backend->start()) << backend->error().toStdString();
    }
    static void TearDownTestSuite() { delete backend; }

    void SetUp() override
    {
        backend->resetFaults();
        setApiTimeoutScale(1.0);
        m_servers = std::make_unique<ServerConfig>(backend->baseUrl(), QStringLiteral("/nonexistent.ini"));
        m_vamo = std::make_unique<VamoManager>(*m_servers);
        m_sync = std::make_unique<QMShareHelper>(library(), *m_servers, *m_vamo);
        const QString token = backend->accessToken(QStringLiteral("yamada"), QStringLiteral("Yamada-2026"));
        m_vamo->writeToken(token);
        UserDefaults::setValue(QString::fromLatin1(UserDefaults::accountLift), QStringLiteral("0"));
        for (const char *device : { "A", "B" }) {
            use(QLatin1String(device));
            library().account().saveUserInfo({ { QStringLiteral("userId"), 1 } });
            BookMetaData book;
            book.BookID = 1;
            book.identifier = m_book;
            EXPECT_TRUE(m_store.insert(book));
        }
    }
    Library library() { return Library(m_store); }

    void TearDown() override
    {
        m_store.close();
        m_vamo->writeToken(std::nullopt);
        setApiTimeoutScale(1.0);
    }

    // Switches to device `name`'s library and device identifier.
    void use(const QString &name)
    {
        m_store.close();
        ASSERT_TRUE(m_store.open(m_dir.filePath(name + QStringLiteral(".sqlite"))));
        // The device id annotations are stored under is the saved one.
        ConfigDictionary config(DataFolder::configFile());
        config.setValue(QStringLiteral("uuid"), QStringLiteral("DEVICE-") + name);
        config.save();
    }

    bool upload()
    {
        std::optional<bool> result;
        m_sync->syscBookMark(false, [&](bool ok) { result = ok; });
        waitUntil([&] { return result.has_value(); }, 20000);
        return result.value_or(false);
    }

    bool download()
    {
        std::optional<bool> result;
        m_sync->getMyBookAll(m_book, QStringLiteral("1"), false, [&](bool ok) { result = ok; });
        waitUntil([&] { return result.has_value(); }, 20000);
        return result.value_or(false);
    }

    static inline BackendProcess *backend = nullptr;
    const QString m_book = QStringLiteral("urn:sync:") + QString::number(QDateTime::currentMSecsSinceEpoch());
    QTemporaryDir m_dir;
    // One store, reopened on each device's file (the helper keeps it).
    LibraryStore m_store;
    std::unique_ptr<ServerConfig> m_servers;
    std::unique_ptr<VamoManager> m_vamo;
    std::unique_ptr<QMShareHelper> m_sync;
};

TEST_F(SyncRoundTrip, AnnotationsTravelBetweenDevices)
{
    use(QStringLiteral("A"));
    library().annotations().upsertBookMark(4, QStringLiteral("ch5"), m_book, 1, false);
    library().annotations().updateBookMark(4, 1, QStringLiteral("Key table"));
    EXPECT_TRUE((library().annotations().addBookHighlightMemoWithBookID(1, QStringLiteral("3"),
                     QStringLiteral("toc-2"), 2, 1, 3, 4, 5, 6, std::nullopt, std::nullopt, QString(), 0, 0,
                     QStringLiteral("Chapter 2"), m_book))
                    .has_value());
    EXPECT_TRUE((library().annotations().addBookHighlightMemoWithBookID(1, QStringLiteral("3"),
                     QStringLiteral("toc-2"), 2, 2, 7, 0, 7, 9, QDateTime::currentDateTime(),
                     QStringLiteral("50% dose & retest = +1 day"), QString(), 0, 0,
                     QStringLiteral("Chapter 2"), m_book))
                    .has_value());
    ASSERT_TRUE(upload());
    EXPECT_TRUE(library().account().firstUserInfo()->lastSyncTime.has_value());

    use(QStringLiteral("B"));
    library().annotations().upsertBookMark(9, QStringLiteral("ch10"), m_book, 1, false); // not uploaded yet
    int syncDone = 0;
    QObject context;
    NotificationCenter::defaultCenter().observe(
        QString::fromLatin1(QMShareHelper::kSyncDone), &context, [&](const QVariant &) { ++syncDone; });
    ASSERT_TRUE(download());
    EXPECT_EQ(syncDone, 1);
    const auto marks = library().annotations().findAllBookMarkByBookID(1);
    ASSERT_EQ(marks.size(), 2) << "the downloaded one and the local one not uploaded yet";
    EXPECT_EQ(marks[0].PageIdx, 4);
    EXPECT_EQ(marks[0].udId, QStringLiteral("DEVICE-A"));
    EXPECT_EQ(marks[0].updateUdId, QStringLiteral("Key table"));
    EXPECT_EQ(marks[1].PageIdx, 9);
    const auto highlights = library().annotations().findAllHighlightByBookID(1);
    ASSERT_EQ(highlights.size(), 1);
    EXPECT_EQ(highlights[0].NaviID, QStringLiteral("3"));
    EXPECT_EQ(highlights[0].startNodeNo, 3);
    EXPECT_EQ(highlights[0].endNodeOffset, 6);
    const auto memos = library().annotations().findAllMemoByBookID(1);
    ASSERT_EQ(memos.size(), 1);
    EXPECT_EQ(memos[0].memotext, QStringLiteral("50% dose & retest = +1 day")) << "the memo arrives intact";

    // A deletion on A reaches the server, then leaves A's library; B's
    // bookmarks follow the server's.
    use(QStringLiteral("A"));
    library().annotations().upsertBookMark(4, std::nullopt, std::nullopt, 1, true);
    ASSERT_TRUE(upload());
    EXPECT_EQ(m_store.count<BookHighlightMemo>(QStringLiteral("\"deleteFlg\"=1")), 0);
    use(QStringLiteral("B"));
    ASSERT_TRUE(upload()); // B's own bookmark on page 9
    ASSERT_TRUE(download());
    const auto after = library().annotations().findAllBookMarkByBookID(1);
    ASSERT_EQ(after.size(), 1);
    EXPECT_EQ(after[0].PageIdx, 9);
    EXPECT_EQ(library().annotations().findAllMemoByBookID(1).size(), 1) << "local memos are kept";
}

struct FailureCase {
    const char *name;
    QVariantMap fault;
    bool signedOut = false;
    bool lifted = false;
    bool downloadFails = true; // a download reads no "result"
};

TEST_F(SyncRoundTrip, FailuresChangeNothing)
{
    setApiTimeoutScale(0.05);
    const FailureCase cases[] = {
        { "not signed in", {}, true },
        { "account lifted", {}, false, true },
        { "time-out", { { "delayMs", 1500 } } },
        { "status 500", { { "status", 500 }, { "body", "boom" } } },
        { "not JSON", { { "status", 200 }, { "body", "<html>" } } },
        // A refusal is a failed download, not an empty one.
        { "refused",
            { { "status", 200 }, { "body", "{\"result\":\"0\"}" }, { "contentType", "application/json" } } },
        { "dropped", { { "drop", true } } },
    };
    use(QStringLiteral("A"));
    library().annotations().upsertBookMark(1, QStringLiteral("c1"), m_book, 1, false);
    auto highlight = library().annotations().addBookHighlightMemoWithBookID(1, QStringLiteral("2"),
        std::nullopt, 1, 1, 0, 0, 0, 4, std::nullopt, std::nullopt, QString(), 0, 0, std::nullopt, m_book);
    ASSERT_TRUE(highlight);
    ASSERT_TRUE(library().annotations().markDeleted(*highlight));
    const QString token = m_vamo->token().value();

    for (const FailureCase &c : cases) {
        backend->resetFaults();
        m_vamo->writeToken(c.signedOut ? std::nullopt : std::optional(token));
        UserDefaults::setValue(QString::fromLatin1(UserDefaults::accountLift),
            c.lifted ? QStringLiteral("1") : QStringLiteral("0"));
        for (const char *path : { "/sync/shareapi/insertBookAll", "/sync/shareapi/getMyBookAll" }) {
            QVariantMap fault = c.fault;
            fault.insert(QStringLiteral("path"), QLatin1String(path));
            if (!c.fault.isEmpty())
                backend->setFault(fault);
        }
        EXPECT_FALSE(upload()) << c.name;
        EXPECT_EQ(download(), !c.downloadFails) << c.name;
        if (c.lifted) {
            EXPECT_FALSE(m_vamo->token().has_value()) << "a lifted account clears the token";
        }
        EXPECT_FALSE(library().account().firstUserInfo()->lastSyncTime.has_value()) << c.name;
        EXPECT_EQ(m_store.count<BookHighlightMemo>(), 2) << "the deletion is kept: " << c.name;
        EXPECT_EQ(library().annotations().findAllBookMarkByBookID(1).size(), 1) << c.name;
    }
}

// Five synced annotations on device B; then answers that are malformed or
// belong to another account change none of them.
TEST_F(SyncRoundTrip, MalformedOrForeignAnswersChangeNothing)
{
    use(QStringLiteral("A"));
    library().annotations().upsertBookMark(4, QStringLiteral("ch5"), m_book, 1, false);
    for (qint64 no = 1; no <= 4; ++no)
        ASSERT_TRUE(library().annotations().addBookHighlightMemoWithBookID(1, QStringLiteral("3"),
            QStringLiteral("toc"), 2, no, no, 0, no, 5, std::nullopt,
            no == 4 ? std::optional(QStringLiteral("memo")) : std::nullopt, QString(), 0, 0,
            QStringLiteral("Chapter"), m_book));
    ASSERT_TRUE(upload());
    use(QStringLiteral("B"));
    ASSERT_TRUE(download());
    ASSERT_EQ(m_store.count<BookHighlightMemo>(), 5);

    const QByteArray foreign
        = "{\"shiori\":[],\"highlight\":["
          "{\"udId\":\"X\",\"user\":\"2\",\"highlightNo\":7,\"pageIdx\":3,\"startNodeNo\":1},"
          "{\"udId\":\"X\",\"highlightNo\":8,\"pageIdx\":3,\"startNodeNo\":1},"
          "{\"user\":\"1\",\"highlightNo\":9,\"pageIdx\":3,\"startNodeNo\":1}],\"memo\":[]}";
    struct Case {
        const char *name;
        QByteArray body;
        bool downloads; // well-formed: the download itself succeeds
    };
    const Case cases[] = {
        { "lists of the wrong type", "{\"shiori\":{},\"highlight\":\"\",\"memo\":true}", false },
        { "shiori is text", "{\"shiori\":\"x\"}", false },
        { "memo is a number", "{\"shiori\":[],\"highlight\":[],\"memo\":5}", false },
        { "a 1,000-deep nested entry",
            "{\"shiori\":[],\"highlight\":[{\"udId\":\"X\",\"user\":\"1\",\"highlightNo\":1,\"pageIdx\":3,"
            "\"x\":"
                + QByteArray(1000, '[') + QByteArray(1000, ']') + "}],\"memo\":[]}",
            false },
        { "result 0 with lists", "{\"result\":\"0\",\"shiori\":[],\"highlight\":[],\"memo\":[]}", false },
        { "highlight number INT64_MAX",
            "{\"highlight\":[{\"udId\":\"X\",\"user\":\"1\",\"highlightNo\":9223372036854775807,\"pageIdx\":"
            "3,"
            "\"startNodeNo\":1}]}",
            false },
        { "page INT64_MIN",
            "{\"shiori\":[{\"udId\":\"X\",\"user\":\"1\",\"highlightNo\":0,\"pageIdx\":-9223372036854775808,"
            "\"manifestId\":\"c\"}]}",
            false },
    };
    for (const Case &c : cases) {
        backend->resetFaults();
        backend->setFault({ { "path", "/sync/shareapi/getMyBookAll" }, { "status", 200 },
            { "body", QString::fromUtf8(c.body) }, { "contentType", "application/json" } });
        EXPECT_EQ(download(), c.downloads) << c.name;
        EXPECT_EQ(m_store.count<BookHighlightMemo>(), 5) << c.name;
    }
    // Well-formed, but none of it is this account's: nothing is taken, and
    // (the server holding none of the user's) the synced ones follow it.
    backend->resetFaults();
    backend->setFault({ { "path", "/sync/shareapi/getMyBookAll" }, { "status", 200 },
        { "body", QString::fromUtf8(foreign) }, { "contentType", "application/json" } });
    EXPECT_TRUE(download());
    EXPECT_EQ(m_store.count<BookHighlightMemo>(QStringLiteral("\"highlightNo\">=7")), 0)
        << "no record of another account or without a user or device is stored";
    backend->resetFaults();
    EXPECT_TRUE(download()) << "the next sync tries again and takes a well-formed answer";
    EXPECT_EQ(m_store.count<BookHighlightMemo>(), 5);
}

} // namespace
