// The place inside a spine item, the share of the book, and both kept with
// the book's reading state.
#include "core/reader/ReadingPlace.h"
#include "core/library/Library.h"
#include "core/library/LibraryStore.h"
#include "core/reader/BookProgress.h"
#include "core/reader/BookSearchText.h"
#include "core/reader/ReadingState.h"
#include "support/LibraryFixture.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace
{

TEST(ReadingPlace, StoredTextRoundTripsAndDamagedTextIsRefused)
{
    ReadingPlace anchored;
    anchored.spineIndex = 12;
    anchored.path = QStringLiteral("/3/0/17");
    anchored.offset = 4821;
    anchored.fraction = 0.625;
    EXPECT_EQ(ReadingPlace::fromJson(anchored.toJson()), anchored);
    const ReadingPlace top = ReadingPlace::at(2, 0.5);
    EXPECT_EQ(ReadingPlace::fromJson(top.toJson()), top);
    EXPECT_FALSE(top.hasAnchor());
    // The page's answer has no spine index: the one given is taken.
    const auto fromPage
        = ReadingPlace::fromJson(QStringLiteral("{\"path\":\"/\",\"offset\":3,\"fraction\":1}"), 7);
    ASSERT_TRUE(fromPage);
    EXPECT_EQ(fromPage->spineIndex, 7);
    EXPECT_EQ(fromPage->path, QStringLiteral("/"));

    const char *damaged[] = {
        "",
        "not json",
        "[1,2]",
        "{\"spine\":-1}",
        "{\"spine\":1.5}",
        "{\"spine\":\"3\"}",
        "{\"spine\":2,\"fraction\":1.5}",
        "{\"spine\":2,\"fraction\":-0.1}",
        "{\"spine\":2,\"path\":\"/1\",\"offset\":-4}",
        "{\"spine\":2,\"path\":\"/1\",\"offset\":1e12}",
        "{\"spine\":2,\"path\":\"body/1\"}",
        "{\"spine\":2,\"path\":\"/01\"}",
        "{\"spine\":2,\"path\":\"//\"}",
        "{\"spine\":2,\"path\":\"/1/\"}",
        "{\"spine\":2,\"path\":\"/1');alert(1);('\"}",
        "{\"spine\":2,\"path\":17}",
        "{}",
    };
    for (const char *text : damaged) {
        // "{}" lacks a spine index and none was given.
        EXPECT_FALSE(ReadingPlace::fromJson(QString::fromUtf8(text))) << text;
    }
}

TEST(BookProgress, ShareFollowsTextLengthAndTheSliderLeadsBack)
{
    const BookProgress book({ 100, 0, 300 });
    struct Case {
        int spine;
        double fraction;
        double share;
    };
    const Case cases[] = {
        { 0, 0.0, 0.0 }, { 0, 1.0, 0.25 }, { 1, 0.5, 0.25 }, // no text: no share of its own
        { 2, 0.5, 0.625 }, { 2, 1.0, 1.0 }, // the end of the last item is the whole book
        { 9, 1.0, 1.0 }, // past the spine: its last item
    };
    for (const Case &c : cases)
        EXPECT_DOUBLE_EQ(book.share(c.spine, c.fraction), c.share) << c.spine << " " << c.fraction;

    // The slider's share leads to an item with text, and back to the share.
    for (double share : { 0.0, 0.1, 0.25, 0.5, 0.99 }) {
        const ReadingPlace p = book.placeAt(share);
        EXPECT_NE(p.spineIndex, 1) << share;
        EXPECT_NEAR(book.share(p), share, 1e-9) << share;
    }
    EXPECT_EQ(book.placeAt(1.0), ReadingPlace::at(2, 1.0));
    EXPECT_EQ(book.placeAt(7.0), ReadingPlace::at(2, 1.0));

    // Pictures only: every item counts alike.
    const BookProgress pictures({ 0, 0, 0, 0 });
    EXPECT_DOUBLE_EQ(pictures.share(2, 0.0), 0.5);
    EXPECT_EQ(pictures.placeAt(0.8).spineIndex, 3);
    EXPECT_NEAR(pictures.placeAt(0.8).fraction, 0.2, 1e-9);
    EXPECT_DOUBLE_EQ(BookProgress().share(3, 0.5), 0.0);

    const BookProgress kept({ 5, 7 }, QStringLiteral("10-20"));
    const auto back = BookProgress::fromJson(kept.toJson());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->lengths(), kept.lengths());
    EXPECT_EQ(back->stamp(), kept.stamp());
    for (const char *text :
        { "", "{}", "{\"lengths\":[1,-2]}", "{\"lengths\":[1.5]}", "{\"lengths\":\"1,2\"}" })
        EXPECT_FALSE(BookProgress::fromJson(QString::fromUtf8(text))) << text;
}

TEST(BookProgress, MeasuresTheTextOfEverySpineItem)
{
    QList<BookSearchText::Item> items;
    for (const char *href : { "a.xhtml", "b.xhtml", "gone.xhtml" })
        items.append({ QString::fromLatin1(href), QString::fromLatin1(href),
            QUrl(QStringLiteral("epub://book/") + QString::fromLatin1(href)) });
    const BookSearchText text(items, [](const QUrl &url) -> std::optional<QByteArray> {
        if (url.path().endsWith(QStringLiteral("a.xhtml")))
            return QByteArray("<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>skip me</title>"
                              "</head><body><p>ab c</p><p>心臓</p></body></html>");
        if (url.path().endsWith(QStringLiteral("b.xhtml")))
            return QByteArray("<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><img src=\"x.png\"/>"
                              "</body></html>");
        return std::nullopt;
    });
    const BookProgress progress = BookProgress::measure(text, QStringLiteral("s"));
    EXPECT_EQ(progress.lengths(), (QList<qint64> { 5, 0, 0 }));
    EXPECT_EQ(progress.stamp(), QStringLiteral("s"));
}

class ReadingPlaceStore : public LibraryFixture
{
};

TEST_F(ReadingPlaceStore, PlaceAndLengthsAreKeptBesideThePage)
{
    BookRepository books = library().books();
    ReadingPlace place;
    place.spineIndex = 4;
    place.path = QStringLiteral("/1/2");
    place.offset = 30;
    place.fraction = 0.4;
    ASSERT_TRUE(ReadingState::save(books, 8, 4, 18, place));
    EXPECT_EQ(ReadingState::storedPlace(books, 8, 4), place);
    EXPECT_FALSE(ReadingState::storedPlace(books, 8, 3)) << "a place belongs to its own spine item";
    EXPECT_FALSE(ReadingState::storedPlace(books, 9, 4));

    // A place of another item than the page kept is stored as the page's top.
    ASSERT_TRUE(ReadingState::save(books, 8, 5, 18, place));
    EXPECT_EQ(ReadingState::storedPlace(books, 8, 5), ReadingPlace::at(5));
    // Saving without a place (a PDF) keeps the one stored.
    ASSERT_TRUE(ReadingState::save(books, 8, 5, std::nullopt));
    EXPECT_EQ(ReadingState::storedPlace(books, 8, 5), ReadingPlace::at(5));

    const BookProgress progress({ 3, 4, 5 }, QStringLiteral("100-200"));
    ASSERT_TRUE(ReadingState::saveProgress(books, 8, progress));
    EXPECT_TRUE(ReadingState::storedProgress(books, 8, QStringLiteral("100-200"), 3));
    EXPECT_FALSE(ReadingState::storedProgress(books, 8, QStringLiteral("100-999"), 3)) << "file replaced";
    EXPECT_FALSE(ReadingState::storedProgress(books, 8, QStringLiteral("100-200"), 4)) << "another spine";
    EXPECT_EQ(books.findStatus(8)->lastOpenPage, 5) << "the page is left as it was";
    EXPECT_FALSE(ReadingState::saveProgress(books, -1, progress));

    // A damaged record gives no place and loses nothing else.
    BookStatusData status = *books.findStatus(8);
    status.readingPlace = QStringLiteral("{\"spine\":5,\"path\":\"x\"}");
    ASSERT_TRUE(books.saveStatus(status));
    EXPECT_FALSE(ReadingState::storedPlace(books, 8, 5));
    EXPECT_EQ(books.findStatus(8)->fontSetting, 18);
    EXPECT_TRUE(ReadingState::storedProgress(books, 8, QStringLiteral("100-200"), 3));
}

TEST(ReadingPlaceMigration, AStoreFromBeforeKeepsItsPagesAndTakesPlaces)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.sqlite"));
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                  "CREATE TABLE \"BookStatusData\" (\"pk\" INTEGER PRIMARY KEY, \"BookID\" INTEGER,"
                  " \"lastOpenPage\" INTEGER, \"fontSetting\" INTEGER);"
                  "INSERT INTO \"BookStatusData\" VALUES (1, 3, 6, 20); PRAGMA user_version=2;",
                  nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(db);

    LibraryStore store;
    ASSERT_TRUE(store.open(path));
    const Library library(store);
    EXPECT_EQ(library.books().findStatus(3)->lastOpenPage, 6);
    EXPECT_FALSE(ReadingState::storedPlace(library.books(), 3, 6));
    ReadingPlace place = ReadingPlace::at(6, 0.3);
    place.path = QStringLiteral("/0");
    ASSERT_TRUE(ReadingState::save(library.books(), 3, 6, 20, place));
    store.close();
    ASSERT_TRUE(store.open(path));
    EXPECT_EQ(ReadingState::storedPlace(Library(store).books(), 3, 6), place);
}

} // namespace
