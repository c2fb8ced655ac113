#include "core/library/Library.h"
#include "core/platform/ConfigDictionary.h"
#include "support/LibraryFixture.h"

#include <gtest/gtest.h>

namespace
{

class LibraryRepositoriesTest : public LibraryFixture
{
protected:
    BookMetaData addBook(qint64 id, const std::optional<QString> &identifier, const QString &fileName)
    {
        BookMetaData book;
        book.BookID = id;
        book.identifier = identifier;
        book.fileName = fileName;
        book.title = QStringLiteral("Title %1").arg(id);
        book.creator = QStringLiteral("Author %1").arg(id);
        book.bookDesc = QStringLiteral("Desc");
        book.publishDate = QDateTime::fromSecsSinceEpoch(1600000000, Qt::UTC);
        EXPECT_TRUE(store().insert(book));
        return book;
    }
};

TEST_F(LibraryRepositoriesTest, FirstRunCreatesTheDefaultShelfOnceAndLinksBooks)
{
    addBook(1, QStringLiteral("urn:a"), QStringLiteral("a.epub"));
    addBook(2, QString(), QStringLiteral("b.epub"));
    addBook(3, std::nullopt, QStringLiteral("c.pdf"));
    addBook(4, QStringLiteral("pdf-4"), QStringLiteral("d.pdf"));

    EXPECT_TRUE(library().books().addLibarywithFirstSetup());
    const auto shelf = library().books().getLabelByLabelID(1);
    ASSERT_TRUE(shelf.has_value());
    EXPECT_EQ(shelf->labelName, QStringLiteral("マイ本棚"));
    EXPECT_EQ(shelf->order, 1);

    const auto links = library().books().getBookListByLabelID(1);
    ASSERT_EQ(links.size(), 2) << "books without an identifier are skipped";
    EXPECT_EQ(links[0].BookID, 1);
    EXPECT_EQ(links[0].Title, QStringLiteral("Title 1"));
    EXPECT_EQ(links[0].bookAuthor, QStringLiteral("Author 1"));
    EXPECT_EQ(links[0].metaBookId, QStringLiteral("urn:a"));
    EXPECT_EQ(links[0].fileName, QStringLiteral("a.epub"));
    EXPECT_EQ(links[0].leadFlag, 0);
    EXPECT_TRUE(links[0].UpdateDateTime.has_value());
    EXPECT_EQ(links[1].BookID, 4);

    EXPECT_FALSE(library().books().addLibarywithFirstSetup()) << "a second launch creates nothing";
    EXPECT_EQ(store().count<LabelMaster>(), 1);
    EXPECT_EQ(library().books().getBookListByLabelID(1).size(), 2);
}

TEST_F(LibraryRepositoriesTest, ShelfKeysAndMembership)
{
    EXPECT_EQ(library().books().getMaxLabelID(), 1) << "no shelf yet";
    const auto first = library().books().addLibary(QStringLiteral("循環器"));
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->labelID, 2) << "the first shelf made with an empty table gets 2";
    EXPECT_EQ(first->order, 2);
    EXPECT_EQ(library().books().addLibary(QStringLiteral("外科"))->labelID, 3);

    addBook(1, QStringLiteral("urn:a"), QStringLiteral("a.epub"));
    library().books().addBookLabelLinkWithMetaId(QStringLiteral("urn:a"));
    library().books().addBookLabelLinkWithMetaId(QStringLiteral("urn:a"));
    library().books().addBookLabelLinkWithMetaId(QStringLiteral("urn:none"));
    EXPECT_EQ(library().books().getBookListByLabelID(1).size(), 2)
        << "a link on every call; none for an unknown book";
    EXPECT_TRUE(library().books().bookExistenceInLibary(1, 1));
    EXPECT_FALSE(library().books().bookExistenceInLibary(2, 1));
    EXPECT_EQ(library().books().getLabelByBookID(1)->LabelID, 1);

    library().books().removeLibaryByLabelID(2);
    EXPECT_FALSE(library().books().getLabelByLabelID(2).has_value());
    EXPECT_EQ(library().books().getBookListByLabelID(1).size(), 2) << "links are not touched";
    library().books().removeLibaryByLabelID(99);
}

TEST_F(LibraryRepositoriesTest, RemoveBookTakesItsRecordsAlong)
{
    addBook(1, QStringLiteral("urn:a"), QStringLiteral("a.epub"));
    addBook(2, QStringLiteral("urn:b"), QStringLiteral("b.epub"));
    for (qint64 id : { 1, 2 }) {
        BookStatusData status;
        status.BookID = id;
        status.lastOpenPage = 3;
        EXPECT_TRUE(store().insert(status));
        library().annotations().upsertBookMark(0, QStringLiteral("c1"), std::nullopt, id, false);
    }
    library().books().addBookLabelLinkWithMetaId(QStringLiteral("urn:a"));
    library().books().addBookLabelLinkWithMetaId(QStringLiteral("urn:b"));

    library().books().removeBook(QStringLiteral("a.epub"));
    EXPECT_FALSE(library().books().findBookIDByBookMetaID(QStringLiteral("urn:a")).has_value());
    EXPECT_EQ(store().count<BookStatusData>(), 1);
    EXPECT_EQ(store().count<BookHighlightMemo>(), 1);
    EXPECT_EQ(store().count<BookLabelLink>(), 1);
    EXPECT_EQ(library().books().findBookIDByBookMetaID(QStringLiteral("urn:b")), 2);

    library().books().removeBook(QStringLiteral("nothing.epub"));
    EXPECT_EQ(store().count<BookMetaData>(), 1);
}

TEST_F(LibraryRepositoriesTest, UserInfoAndSyncTime)
{
    library().account().updateSyncTime();
    EXPECT_EQ(store().count<UserInfo>(), 0) << "nothing to update";

    library().account().saveUserInfo({ { QStringLiteral("userId"), 4711 } });
    EXPECT_EQ(library().account().currentUserId(), QStringLiteral("4711"));
    library().account().saveUserInfo({ { QStringLiteral("userId"), QStringLiteral("u-9") } });
    EXPECT_EQ(library().account().currentUserId(), QStringLiteral("u-9"));
    EXPECT_EQ(store().count<UserInfo>(), 1) << "the first record is reused";

    library().account().updateSyncTime();
    EXPECT_TRUE(library().account().firstUserInfo()->lastSyncTime.has_value());
}

TEST_F(LibraryRepositoriesTest, ReadingLogs)
{
    library().readingLogs().incrementAccessBookLogStaytime(5);
    EXPECT_EQ(store().count<AccessBookLog>(), 0) << "no log, no change";

    library().account().saveUserInfo({ { QStringLiteral("userId"), 1 } });
    library().readingLogs().insertAccessBookLog(
        QStringLiteral("urn:a"), QStringLiteral("A"), QStringLiteral("T"), std::nullopt, 0);
    library().readingLogs().incrementAccessBookLogStaytime(2.5);
    library().readingLogs().incrementAccessBookLogStaytime(1);
    const auto log = store().findFirst<AccessBookLog>();
    EXPECT_DOUBLE_EQ(log->staytime.value(), 3.5);
    EXPECT_EQ(log->user, QStringLiteral("1"));
    EXPECT_TRUE(log->timestamp.has_value());

    library().readingLogs().insertAccessPageLog(QStringLiteral("urn:a"), QStringLiteral("A"),
        QStringLiteral("T"), QStringLiteral("ch1"), QStringLiteral("n1"), QStringLiteral("Intro"),
        QStringLiteral("gps"), 1, 4);
    library().readingLogs().incrementAccessPageLogStaytime(2);
    EXPECT_DOUBLE_EQ(store().findFirst<AccessPageLog>()->staytime.value(), 3.0);
    EXPECT_EQ(store().findFirst<AccessPageLog>()->pageIdx, 4);

    library().readingLogs().deleteAccessLog();
    EXPECT_EQ(store().count<AccessBookLog>() + store().count<AccessPageLog>(), 0);
}

TEST_F(LibraryRepositoriesTest, NewsCacheUpserts)
{
    library().news().upsertCacheNews(10, 1, QStringLiteral("first"));
    library().news().upsertCacheNews(10, 1, QStringLiteral("second"));
    library().news().upsertCacheNews(10, 3, QStringLiteral("other category"));
    EXPECT_EQ(store().count<CacheInfo>(), 2);
    EXPECT_EQ(store().findFirst<CacheInfo>(QStringLiteral("\"categoryId\"=1"))->information,
        QStringLiteral("second"));

    const QDateTime date = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    library().news().upsertCacheContentNews(
        20, 2, QStringLiteral("Article"), QStringLiteral("<p>body</p>"), date);
    library().news().upsertCacheContentNews(20, 2, QString(), std::nullopt, std::nullopt);
    auto article = store().findFirst<CacheInfo>(QStringLiteral("\"categoryId\"=2"));
    EXPECT_EQ(article->information, QStringLiteral("Article")) << "an empty title keeps the old one";
    EXPECT_EQ(article->body, QStringLiteral("<p>body</p>")) << "an absent body keeps the old one";
    EXPECT_EQ(article->newsDate, date);

    library().news().deleteCacheInfos();
    EXPECT_EQ(store().count<CacheInfo>(), 1) << "the news list goes, downloaded articles stay";
    EXPECT_EQ(store().findFirst<CacheInfo>()->infoId, 20);
}

TEST_F(LibraryRepositoriesTest, DictionaryMasters)
{
    const auto first
        = library().dictionaries().insertDictMaster(QStringLiteral("dict-1"), QStringLiteral("医学辞典"), 1);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->dicId, 1);
    EXPECT_TRUE(library().dictionaries().addDictionaryItemSetting(*first, QStringLiteral("見出し"), 0));
    EXPECT_TRUE(library().dictionaries().addDictionaryItemSetting(*first, QStringLiteral("読み"), 1));
    const auto second
        = library().dictionaries().insertDictMaster(QStringLiteral("dict-2"), QStringLiteral("略語"), 0);
    EXPECT_EQ(second->dicId, 2);
    EXPECT_EQ(store().count<DictionarySettingItem>(QStringLiteral("\"dict\"=?"), { first->pk }), 2);

    EXPECT_EQ(library().dictionaries().deleteDictMaster(QStringLiteral("dict-1")), 1);
    EXPECT_EQ(store().count<DictionarySettingItem>(), 0) << "its columns go with it";
    EXPECT_FALSE(library().dictionaries().deleteDictMaster(QStringLiteral("dict-1")).has_value());
    EXPECT_EQ(
        library().dictionaries().insertDictMaster(QStringLiteral("dict-3"), QStringLiteral("x"), 1)->dicId,
        3);
}

} // namespace
