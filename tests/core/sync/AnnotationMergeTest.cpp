// The download merge without a server: what a well-formed answer writes,
// which answers are refused as malformed, and that a failed write leaves
// the library as it was.
#include "core/sync/AnnotationMerge.h"
#include "core/library/LibraryStore.h"
#include "core/sync/QMShareHelper.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

const QString kBook = QStringLiteral("urn:merge");
const QDateTime kSynced = QDateTime::fromMSecsSinceEpoch(1700000000000, Qt::UTC);

AnnotationMerge::Context context()
{
    AnnotationMerge::Context c;
    c.bookId = kBook;
    c.bookID = 7;
    c.userId = QStringLiteral("1");
    c.lastSync = kSynced.addSecs(60);
    return c;
}

QVariantMap json(const char *text)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
    return doc.toVariant().toMap();
}

// A local record already on the server (synced), or changed since (pending).
BookHighlightMemo local(qint64 pk, qint64 no, qint64 page, const char *udId, bool pending = false)
{
    BookHighlightMemo r;
    r.pk = pk;
    r.metaBookID = kBook;
    r.BookID = 7;
    r.highlightNo = no;
    r.PageIdx = page;
    r.udId = QString::fromLatin1(udId);
    r.user = QStringLiteral("1");
    r.updateTime = pending ? kSynced.addSecs(120) : kSynced;
    r.syncedTime = kSynced;
    r.markedText = QStringLiteral("kept text of %1").arg(pk);
    return r;
}

// Writes as "I:udId/no/page", "U:pk", "R:pk", in order.
QStringList summary(const QList<AnnotationMerge::Write> &writes)
{
    QStringList out;
    for (const auto &w : writes) {
        switch (w.kind) {
        case AnnotationMerge::Write::Kind::Insert:
            out << QStringLiteral("I:%1/%2/%3")
                       .arg(w.record.udId.value_or(QString()))
                       .arg(w.record.highlightNo.value_or(-1))
                       .arg(w.record.PageIdx.value_or(-1));
            break;
        case AnnotationMerge::Write::Kind::Update:
            out << QStringLiteral("U:%1").arg(w.record.pk);
            break;
        case AnnotationMerge::Write::Kind::Remove:
            out << QStringLiteral("R:%1").arg(w.record.pk);
            break;
        }
    }
    return out;
}

#define HL(ud, no, page, user)                                                                               \
    "{\"udId\":\"" ud "\",\"user\":" user ",\"highlightNo\":" #no ",\"pageIdx\":" #page                      \
    ",\"startNodeNo\":1,\"startNodeOffset\":0,\"endNodeNo\":1,\"endNodeOffset\":4,\"naviId\":\"3\","         \
    "\"manifestId\":null,\"updateDate\":1700000000000}"
#define BM(ud, page, user)                                                                                   \
    "{\"udId\":\"" ud "\",\"user\":" user ",\"highlightNo\":0,\"pageIdx\":" #page                            \
    ",\"manifestId\":\"ch\",\"naviId\":null,\"updateDate\":1700000000000}"

TEST(AnnotationMerge, WellFormedAnswers)
{
    struct Case {
        const char *name;
        QList<BookHighlightMemo> local;
        const char *answer;
        QStringList writes;
    };
    const QList<Case> cases = {
        { "a new highlight is inserted (EPUB pages count from 1)", {},
            "{\"shiori\":[],\"highlight\":[" HL("A", 2, 5, "\"1\"") "],\"memo\":[]}", { "I:A/2/4" } },
        { "deleted on another device: the synced local one goes", { local(10, 2, 4, "A") },
            "{\"shiori\":[],\"highlight\":[],\"memo\":[]}", { "R:10" } },
        { "a local change not sent yet stays", { local(10, 2, 4, "A", true) },
            "{\"shiori\":[],\"highlight\":[" HL("A", 2, 5, "\"1\"") "],\"memo\":[]}", {} },
        { "a synced one on the server is updated in place", { local(10, 2, 4, "A") },
            "{\"shiori\":[],\"highlight\":[" HL("A", 2, 5, "\"1\"") "],\"memo\":[]}", { "U:10" } },
        { "the same key twice in an answer writes one record", {},
            "{\"highlight\":[" HL("A", 2, 5, "\"1\"") "],\"memo\":[" HL("A", 2, 5, "1") "]}", { "I:A/2/4" } },
        { "uploaded bookmarks are replaced by the server's", { local(11, 0, 3, "A") },
            "{\"shiori\":[" BM("B", 9, "\"1\"") "]}", { "R:11", "I:B/0/8" } },
        { "a page with a bookmark not sent yet takes none", { local(11, 0, 8, "A", true) },
            "{\"shiori\":[" BM("B", 9, "\"1\"") "]}", {} },
        { "another account's records are not taken", { local(10, 2, 4, "A") },
            "{\"highlight\":[" HL("A", 2, 5, "\"2\"") "," HL("B", 3, 5, "\"2\"") "],\"shiori\":[" BM(
                "C", 4, "\"2\"") "]}",
            { "R:10" } },
        { "records without a device or an account are not taken", {},
            "{\"highlight\":[{\"user\":\"1\",\"highlightNo\":2,\"pageIdx\":5,\"startNodeNo\":1}," HL(
                "", 3, 5, "\"1\"") "," HL("A", 4, 5, "null") "]}",
            {} },
        { "an answer naming no list changes nothing", { local(10, 2, 4, "A") }, "{}", {} },
        { "other books' records are left alone", { [] {
             BookHighlightMemo r = local(12, 2, 4, "A");
             r.metaBookID = QStringLiteral("urn:other");
             return r;
         }() },
            "{\"highlight\":[]}", {} },
    };
    for (const Case &c : cases) {
        QString error;
        const auto answer = AnnotationMerge::parse(json(c.answer), context(), &error);
        ASSERT_TRUE(answer.has_value()) << c.name << ": " << error.toStdString();
        const auto writes = AnnotationMerge::merge(c.local, *answer, context());
        EXPECT_EQ(summary(writes), c.writes) << c.name;
    }
}

TEST(AnnotationMerge, UpdateKeepsWhatStaysOnThisDevice)
{
    const auto answer
        = AnnotationMerge::parse(json("{\"highlight\":[" HL("A", 2, 5, "\"1\"") "]}"), context());
    ASSERT_TRUE(answer);
    const auto writes = AnnotationMerge::merge({ local(10, 2, 4, "A") }, *answer, context());
    ASSERT_EQ(writes.size(), 1);
    EXPECT_EQ(writes[0].record.markedText, QStringLiteral("kept text of 10"));
    EXPECT_EQ(writes[0].record.endNodeOffset, 4);
    EXPECT_EQ(writes[0].record.NaviID, QStringLiteral("3"));
}

QByteArray deeplyNested(int depth)
{
    return "{\"highlight\":[{\"udId\":\"A\",\"user\":\"1\",\"highlightNo\":2,\"pageIdx\":5,\"startNodeNo\":1,"
           "\"memoText\":"
        + QByteArray(depth, '[') + QByteArray(depth, ']') + "}]}";
}

TEST(AnnotationMerge, MalformedAnswersAreRefused)
{
    struct Case {
        const char *name;
        QByteArray answer;
    };
    const Case cases[] = {
        { "lists of the wrong type", "{\"shiori\":{},\"highlight\":{},\"memo\":{}}" },
        { "shiori is text", "{\"shiori\":\"x\",\"highlight\":[],\"memo\":[]}" },
        { "memo is a number", "{\"shiori\":[],\"highlight\":[],\"memo\":5}" },
        { "a list entry is not an object", "{\"highlight\":[1]}" },
        { "a 1,000-deep nested entry", deeplyNested(1000) },
        { "result 0 with lists", "{\"result\":\"0\",\"shiori\":[],\"highlight\":[],\"memo\":[]}" },
        { "result false with lists", "{\"result\":false,\"highlight\":[]}" },
        { "highlight number INT64_MAX", "{\"highlight\":[" HL("A", 9223372036854775807, 5, "\"1\"") "]}" },
        { "page INT64_MIN", "{\"highlight\":[" HL("A", 2, -9223372036854775808, "\"1\"") "]}" },
        { "page INT64_MIN as text", "{\"shiori\":[" BM("A", "-9223372036854775808", "\"1\"") "]}" },
        { "a negative page", "{\"highlight\":[" HL("A", 2, -1, "\"1\"") "]}" },
        { "a fractional number", "{\"highlight\":[" HL("A", 2.5, 5, "\"1\"") "]}" },
        { "a number that is not one", "{\"highlight\":[" HL("A", "\"two\"", 5, "\"1\"") "]}" },
        { "memo text is an object",
            "{\"memo\":[{\"udId\":\"A\",\"user\":\"1\",\"highlightNo\":2,\"pageIdx\":5,\"startNodeNo\":1,"
            "\"memoText\":{}}]}" },
        { "a date out of range",
            "{\"highlight\":[{\"udId\":\"A\",\"user\":\"1\",\"highlightNo\":2,\"pageIdx\":5,\"startNodeNo\":"
            "1,"
            "\"updateDate\":1e300}]}" },
    };
    for (const Case &c : cases) {
        QJsonParseError parseError;
        const QJsonDocument doc = QJsonDocument::fromJson(c.answer, &parseError);
        ASSERT_EQ(parseError.error, QJsonParseError::NoError) << c.name;
        QString error;
        EXPECT_FALSE(AnnotationMerge::parse(doc.toVariant().toMap(), context(), &error).has_value())
            << c.name;
        EXPECT_FALSE(error.isEmpty()) << c.name;
    }
    // Without a signed-in account nothing can be told apart as its own.
    AnnotationMerge::Context noUser = context();
    noUser.userId.clear();
    EXPECT_FALSE(AnnotationMerge::parse(json("{\"highlight\":[]}"), noUser).has_value());
}

TEST(AnnotationMerge, FailedWriteRollsBackTheWholeMerge)
{
    QTemporaryDir dir;
    LibraryStore store;
    ASSERT_TRUE(store.open(dir.filePath(QStringLiteral("lib.sqlite"))));
    QList<BookHighlightMemo> stored;
    for (int i = 1; i <= 3; ++i) {
        BookHighlightMemo r = local(0, i, 4, "A");
        ASSERT_TRUE(store.insert(r));
        stored << r;
    }
    // A real failing write: the store refuses this one insert.
    ASSERT_GE(
        store.execute(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON \"BookHighlightMemo\" "
                                     "WHEN NEW.\"udId\"='BAD' BEGIN SELECT RAISE(ABORT,'refused'); END")),
        0);
    const auto answer = AnnotationMerge::parse(json("{\"highlight\":[" HL("A", 1, 5, "\"1\"") "," HL(
                                                   "OK", 5, 5, "\"1\"") "," HL("BAD", 6, 5, "\"1\"") "]}"),
        context());
    ASSERT_TRUE(answer);
    const auto writes = AnnotationMerge::merge(stored, *answer, context());
    ASSERT_EQ(summary(writes).join(u' '),
        QStringLiteral("R:%1 R:%2 U:%3 I:OK/5/4 I:BAD/6/4")
            .arg(stored[1].pk)
            .arg(stored[2].pk)
            .arg(stored[0].pk));
    EXPECT_FALSE(QMShareHelper::applyWrites(store, writes));
    const auto after = store.findAll<BookHighlightMemo>({}, {}, QStringLiteral("\"pk\""));
    ASSERT_EQ(after.size(), 3) << "the removals were rolled back and no insert stayed";
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(after[i].pk, stored[i].pk);
        EXPECT_EQ(after[i].endNodeOffset, stored[i].endNodeOffset) << "the update was rolled back";
    }

    ASSERT_GE(store.execute(QStringLiteral("DROP TRIGGER refuse")), 0);
    EXPECT_TRUE(QMShareHelper::applyWrites(store, writes));
    EXPECT_EQ(store.count<BookHighlightMemo>(), 3);
}

} // namespace
