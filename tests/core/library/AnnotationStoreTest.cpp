#include "core/library/Library.h"
#include "core/platform/ConfigDictionary.h"
#include "core/platform/DataFolder.h"
#include "support/LibraryFixture.h"

#include <QTimeZone>
#include <functional>

#include <gtest/gtest.h>

namespace
{

class AnnotationStoreTest : public LibraryFixture
{
protected:
    void SetUp() override
    {
        LibraryFixture::SetUp();
        // The device id annotations are stored under is the saved one.
        ConfigDictionary config(DataFolder::configFile());
        config.setValue(QStringLiteral("uuid"), QStringLiteral("DEVICE-1"));
        config.save();
        library().account().saveUserInfo({ { QStringLiteral("userId"), 77 } });
    }

    // A highlight on page 5 (navigation id "6") from (sn, so) to (en, eo).
    BookHighlightMemo highlight(qint64 no, qint64 sn, qint64 so, qint64 en, qint64 eo,
        const std::optional<QString> &memo = std::nullopt)
    {
        return library()
            .annotations()
            .addBookHighlightMemoWithBookID(1, QStringLiteral("6"), QStringLiteral("toc-3"), 5, no, sn, so,
                en, eo, std::nullopt, memo, QString(), 0, 0, QStringLiteral("Chapter"),
                QStringLiteral("urn:a"))
            .value();
    }
};

TEST_F(AnnotationStoreTest, BookmarkLifecycle)
{
    highlight(1, 0, 0, 0, 5);
    EXPECT_FALSE(library().annotations().checkBookMark(5, 1)) << "a highlight is not a bookmark";

    library().annotations().upsertBookMark(5, QStringLiteral("item5"), QStringLiteral("urn:a"), 1, false);
    EXPECT_TRUE(library().annotations().checkBookMark(5, 1));
    auto marks = library().annotations().findAllBookMarkByBookID(1);
    ASSERT_EQ(marks.size(), 1);
    EXPECT_EQ(marks[0].udId, QStringLiteral("DEVICE-1"));
    EXPECT_EQ(marks[0].user, QStringLiteral("77"));
    EXPECT_EQ(marks[0].manifestId, QStringLiteral("item5"));
    EXPECT_EQ(library().annotations().findAllHighlightByBookID(1).size(), 1) << "the highlight is untouched";

    library().annotations().updateBookMark(5, 1, QStringLiteral("Key figure"));
    EXPECT_EQ(library().annotations().findAllBookMarkByBookID(1)[0].updateUdId, QStringLiteral("Key figure"));

    library().annotations().upsertBookMark(5, std::nullopt, std::nullopt, 1, true);
    EXPECT_FALSE(library().annotations().checkBookMark(5, 1));
    EXPECT_TRUE(library().annotations().findAllBookMarkByBookID(1).isEmpty());
    const auto kept = store().findFirst<BookHighlightMemo>(QStringLiteral("\"highlightNo\"=0"));
    ASSERT_TRUE(kept.has_value()) << "a cleared bookmark is kept until uploaded";
    EXPECT_EQ(kept->deleteFlg, 1);
    EXPECT_EQ(kept->manifestId, QStringLiteral("item5")) << "clearing keeps the fields sync needs";

    library().annotations().upsertBookMark(5, QStringLiteral("item5"), QStringLiteral("urn:a"), 1, false);
    EXPECT_EQ(store().count<BookHighlightMemo>(QStringLiteral("\"highlightNo\"=0")), 1)
        << "one bookmark per page";
    library().annotations().upsertBookMark(5, std::nullopt, std::nullopt, 1, true);

    library().annotations().deleteUploadedBookMark();
    EXPECT_EQ(store().count<BookHighlightMemo>(QStringLiteral("\"highlightNo\"=0")), 0);
    EXPECT_EQ(store().count<BookHighlightMemo>(), 1);
}

TEST_F(AnnotationStoreTest, RenamingAMissingBookmarkMakesAValidOne)
{
    library().annotations().updateBookMark(2, 1, QStringLiteral("named"));
    const auto marks = library().annotations().findAllBookMarkByBookID(1);
    ASSERT_EQ(marks.size(), 1);
    EXPECT_EQ(marks[0].PageIdx, 2);
    EXPECT_EQ(marks[0].updateUdId, QStringLiteral("named"));
}

// Clearing the bookmark of a page that has none (a button out of step with
// the page, a second click) must not leave a record of no page and no book.
TEST_F(AnnotationStoreTest, ClearingAMissingBookmarkWritesNothing)
{
    AnnotationRepository annotations = library().annotations();
    annotations.upsertBookMark(7, std::nullopt, std::nullopt, 1, true);
    EXPECT_EQ(store().count<BookHighlightMemo>(), 0);

    annotations.upsertBookMark(7, QStringLiteral("item7"), QStringLiteral("urn:a"), 1, false);
    annotations.upsertBookMark(7, std::nullopt, std::nullopt, 1, true);
    annotations.upsertBookMark(7, std::nullopt, std::nullopt, 1, true);
    EXPECT_EQ(store().count<BookHighlightMemo>(), 1) << "the page's own record stays, marked deleted";
    EXPECT_EQ(store().findFirst<BookHighlightMemo>()->BookID, 1);
}

TEST_F(AnnotationStoreTest, HighlightsMemosAndNumbering)
{
    auto h1 = highlight(1, 2, 0, 2, 10);
    highlight(2, 0, 3, 1, 0, QStringLiteral("memo text"));
    EXPECT_EQ(h1.udId, QStringLiteral("DEVICE-1"));
    EXPECT_EQ(h1.updateUdId, QStringLiteral("DEVICE-1"));
    EXPECT_EQ(h1.deleteFlg, 0);

    EXPECT_EQ(library().annotations().findAllHighlightByBookID(1).size(), 1);
    EXPECT_EQ(library().annotations().findAllMemoByBookID(1).size(), 1);
    const auto page
        = library().annotations().getBookHighlightMemosNotSiori(1, QStringLiteral("6"), std::nullopt);
    ASSERT_EQ(page.size(), 2);
    EXPECT_EQ(page[0].highlightNo, 2) << "document order";
    EXPECT_EQ(library()
                  .annotations()
                  .getBookHighlightMemosNotSiori(1, std::nullopt, QStringLiteral("toc-3"))
                  .size(),
        2);

    EXPECT_EQ(library().annotations().getMaxHighlightNoWithBookID(1, QStringLiteral("6"), std::nullopt), 2);
    EXPECT_EQ(library().annotations().getMaxHighlightNoWithBookID(1, QStringLiteral("7"), std::nullopt), 0);

    // A deleted highlight still counts, so its number is not reused.
    auto h3 = highlight(3, 5, 0, 5, 1);
    h3.deleteFlg = 1;
    ASSERT_TRUE(library().annotations().saveRecord(h3));
    EXPECT_EQ(library().annotations().getMaxHighlightNoWithBookID(1, QStringLiteral("6"), std::nullopt), 3);
    EXPECT_EQ(
        library().annotations().getBookHighlightMemosNotSiori(1, QStringLiteral("6"), std::nullopt).size(),
        2);
    EXPECT_FALSE(library()
                     .annotations()
                     .getBookHighlightMemoWithBookID(1, QStringLiteral("6"), std::nullopt, 3)
                     .has_value());

    EXPECT_TRUE(library()
                    .annotations()
                    .getBookHighlightMemoWithBookID(
                        1, QStringLiteral("6"), std::nullopt, 1, QStringLiteral("DEVICE-1"))
                    .has_value());
    EXPECT_FALSE(
        library()
            .annotations()
            .getBookHighlightMemoWithBookID(1, QStringLiteral("6"), std::nullopt, 1, QStringLiteral("OTHER"))
            .has_value());
}

struct RangeCase {
    const char *name;
    qint64 s, so, e, eo;
    QList<qint64> found; // highlight numbers, in document order
};

// Highlights on the page: #1 from (2,0) to (2,10); #2 from (4,5) to (6,0);
// #3 from (8,0) to (8,4).
TEST_F(AnnotationStoreTest, OverlapQueryTable)
{
    highlight(1, 2, 0, 2, 10);
    highlight(2, 4, 5, 6, 0);
    highlight(3, 8, 0, 8, 4);
    const RangeCase cases[] = {
        { "inside #1", 2, 3, 2, 4, { 1 } },
        { "touches #1's end only", 2, 10, 3, 0, { 1 } },
        { "touches #2's start only", 3, 0, 4, 5, { 2 } },
        { "just after #1's end", 2, 11, 3, 0, {} },
        { "covers #2 wholly (strictly inside)", 4, 0, 7, 0, { 2 } },
        { "covers #2 and #3", 3, 0, 9, 0, { 2, 3 } },
        { "from inside #1 to inside #3", 2, 5, 8, 1, { 1, 2, 3 } },
        { "between all", 7, 0, 7, 9, {} },
    };
    for (const auto &c : cases) {
        QList<qint64> found;
        for (const auto &h : library().annotations().getBookHighlightMemosNotSioriWithRange(
                 1, QStringLiteral("6"), std::nullopt, c.s, c.so, c.e, c.eo))
            found << h.highlightNo.value();
        EXPECT_EQ(found, c.found) << "case: " << c.name;
    }
    EXPECT_TRUE(library()
                    .annotations()
                    .getBookHighlightMemosNotSioriWithRange(1, QStringLiteral("9"), std::nullopt, 0, 0, 99, 0)
                    .isEmpty())
        << "another page";
}

// ---- what the sync layer asks of the annotations ----

// A record of book `book` as sync sees it, written as it is.
BookHighlightMemo syncRecord(LibraryStore &store, const QString &book, std::optional<qint64> deleteFlg,
    std::optional<QDateTime> updateTime, std::optional<QDateTime> syncedTime)
{
    BookHighlightMemo r;
    r.BookID = 1;
    r.metaBookID = book;
    r.highlightNo = 1;
    r.deleteFlg = deleteFlg;
    r.updateTime = updateTime;
    r.syncedTime = syncedTime;
    EXPECT_TRUE(store.insert(r));
    return r;
}

const QDateTime kT1 = QDateTime(QDate(2024, 3, 1), QTime(9, 0), QTimeZone::utc());
const QDateTime kT2 = kT1.addSecs(60);
const QDateTime kT3 = kT1.addSecs(120);

struct PendingCase {
    const char *name;
    std::optional<qint64> deleteFlg;
    std::optional<QDateTime> updateTime;
    std::optional<QDateTime> syncedTime;
    std::optional<QDateTime> lastSync;
    bool pending;
};

TEST_F(AnnotationStoreTest, PendingUploadTable)
{
    const PendingCase cases[] = {
        { "deleted, already synced", 1, kT1, kT1, kT3, true },
        { "synced and unchanged", 0, kT2, kT2, std::nullopt, false },
        { "changed since synced", 0, kT2, kT1, kT3, true },
        { "never synced, no upload yet", 0, kT1, std::nullopt, std::nullopt, true },
        { "never synced, before the last upload", 0, kT1, std::nullopt, kT2, false },
        { "never synced, at the last upload", std::nullopt, kT2, std::nullopt, kT2, true },
        { "never synced, after the last upload", 0, kT3, std::nullopt, kT2, true },
    };
    for (const auto &c : cases) {
        ASSERT_GE(store().removeAll<BookHighlightMemo>(), 0);
        const auto r = syncRecord(store(), QStringLiteral("urn:a"), c.deleteFlg, c.updateTime, c.syncedTime);
        const auto pending = library().annotations().pendingUpload(c.lastSync);
        EXPECT_EQ(pending.size(), c.pending ? 1 : 0) << "case: " << c.name;
        if (c.pending && pending.size() == 1)
            EXPECT_EQ(pending[0].pk, r.pk) << "case: " << c.name;
    }
}

TEST_F(AnnotationStoreTest, MarkUploadedKeepsWhatChangedSinceTheUpload)
{
    const auto sent = syncRecord(store(), QStringLiteral("urn:a"), 0, kT1, std::nullopt);
    auto changed = syncRecord(store(), QStringLiteral("urn:a"), 0, kT1, std::nullopt);
    const auto gone = syncRecord(store(), QStringLiteral("urn:a"), 1, kT1, std::nullopt);
    auto revived = syncRecord(store(), QStringLiteral("urn:a"), 1, kT1, std::nullopt);
    // Both changed while the upload was under way.
    changed.updateTime = kT2;
    revived.deleteFlg = 0;
    revived.updateTime = kT2;
    ASSERT_TRUE(store().update(changed));
    ASSERT_TRUE(store().update(revived));

    ASSERT_TRUE(library().annotations().markUploaded(
        { { gone.pk, kT1 }, { revived.pk, kT1 } }, { { sent.pk, kT1 }, { changed.pk, kT1 } }));

    auto read
        = [&](qint64 pk) { return store().findFirst<BookHighlightMemo>(QStringLiteral("\"pk\"=?"), { pk }); };
    EXPECT_EQ(read(sent.pk)->syncedTime, kT1);
    EXPECT_FALSE(read(changed.pk)->syncedTime.has_value()) << "a change after the upload is not sent";
    EXPECT_FALSE(read(gone.pk).has_value()) << "a deletion the server has leaves the library";
    ASSERT_TRUE(read(revived.pk).has_value()) << "a record restored during the upload stays";
    QList<qint64> pending;
    for (const auto &r : library().annotations().pendingUpload(kT1))
        pending << r.pk;
    EXPECT_EQ(pending, (QList<qint64> { changed.pk, revived.pk }));
}

TEST_F(AnnotationStoreTest, MarkUploadedIsAllOrNothing)
{
    const auto gone = syncRecord(store(), QStringLiteral("urn:a"), 1, kT1, std::nullopt);
    const auto sent = syncRecord(store(), QStringLiteral("urn:a"), 0, kT1, std::nullopt);
    // The second mark fails: the deletion before it must come back.
    ASSERT_GE(store().execute(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON \"BookHighlightMemo\" "
                                             "BEGIN SELECT RAISE(ABORT, 'refused'); END")),
        0);
    EXPECT_FALSE(library().annotations().markUploaded({ { gone.pk, kT1 } }, { { sent.pk, kT1 } }));
    EXPECT_EQ(library().annotations().pendingUpload(std::nullopt).size(), 2) << "both are sent again";
}

TEST_F(AnnotationStoreTest, FingerprintFollowsEveryChangeOfTheBookOnly)
{
    auto annotations = library().annotations();
    const QString empty = annotations.fingerprint(QStringLiteral("urn:a"));
    auto r = syncRecord(store(), QStringLiteral("urn:a"), 0, kT1, std::nullopt);
    QStringList seen { empty, annotations.fingerprint(QStringLiteral("urn:a")) };
    syncRecord(store(), QStringLiteral("urn:b"), 0, kT1, std::nullopt);
    EXPECT_EQ(annotations.fingerprint(QStringLiteral("urn:a")), seen.last()) << "another book's record";
    const std::function<void()> changes[] = {
        [&] { r.updateTime = kT2; },
        [&] { r.syncedTime = kT2; },
        [&] { r.deleteFlg = 1; },
    };
    for (const auto &change : changes) {
        change();
        ASSERT_TRUE(store().update(r));
        const QString now = annotations.fingerprint(QStringLiteral("urn:a"));
        EXPECT_FALSE(seen.contains(now)) << "change " << seen.size() - 1 << " is not seen";
        seen << now;
    }
    ASSERT_TRUE(store().remove(r));
    EXPECT_EQ(annotations.fingerprint(QStringLiteral("urn:a")), empty);
    EXPECT_EQ(annotations.findAllByMetaBookID(QStringLiteral("urn:b")).size(), 1);
}

TEST_F(AnnotationStoreTest, LastSyncTimeIsTheOneGiven)
{
    ASSERT_TRUE(library().account().setLastSyncTime(kT2));
    EXPECT_EQ(library().account().firstUserInfo()->lastSyncTime, kT2);
}

} // namespace
