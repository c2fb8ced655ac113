#include "core/library/Library.h"
#include "support/LibraryFixture.h"
#include "support/Samples.h"
#include "support/ZipWriter.h"

#include <gtest/gtest.h>

namespace
{

class BookRegistrationTest : public LibraryFixture
{
protected:
    std::optional<BookMetaData> book(const QString &identifier)
    {
        return store().findFirst<BookMetaData>(QStringLiteral("\"identifier\"=?"), { identifier });
    }
};

TEST_F(BookRegistrationTest, FirstEpubGetsBookIdOneAndOneLink)
{
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    const auto b = book(QStringLiteral("urn:tavro:anatomy-basics"));
    ASSERT_TRUE(b.has_value());
    EXPECT_EQ(b->BookID, 1);
    EXPECT_EQ(b->title, QStringLiteral("Anatomy Basics"));
    EXPECT_EQ(b->creator, QStringLiteral("Hanako Sato"));
    EXPECT_EQ(b->publisher, QStringLiteral("Tavro Medical Press"));
    EXPECT_EQ(b->language, QStringLiteral("en"));
    EXPECT_EQ(b->fileName, QStringLiteral("anatomy-basics.epub"));
    EXPECT_EQ(b->printable, 1);
    EXPECT_EQ(b->publishDate->toLocalTime().date(), QDate(2014, 4, 1));
    EXPECT_EQ(library().books().getBookListByLabelID(1).size(), 1);

    library().books().parseBook(installSampleBook(QStringLiteral("Emergency Medicine Handbook.epub")));
    const auto e = book(QStringLiteral("urn:tavro:emergency-handbook"));
    EXPECT_EQ(e->BookID, 2);
    EXPECT_EQ(e->splash, QStringLiteral("splash.png"));
    EXPECT_FALSE(e->printable.has_value()) << "no print meta, nothing set";

    library().books().parseBook(installSampleBook(QStringLiteral("臨床薬理学ノート.epub")));
    const auto j = book(QStringLiteral("urn:tavro:clinical-pharmacology"));
    EXPECT_EQ(j->title, QStringLiteral("臨床薬理学ノート"));
    EXPECT_FALSE(j->publishDate.has_value()) << "2014/4/1 does not match yyyy-M-d";
    EXPECT_EQ(j->printable, 0);
}

TEST_F(BookRegistrationTest, PublishDatePattern)
{
    const std::pair<const char *, QDate> cases[] = {
        { "2014-4-1", QDate(2014, 4, 1) },
        { "2014-04-01", QDate(2014, 4, 1) },
        { "1999-12-31", QDate(1999, 12, 31) },
        { "2014/4/1", QDate() },
        { "2014-04-01T00:00:00Z", QDate() },
        { "April 2014", QDate() },
        { "", QDate() },
    };
    for (const auto &[text, date] : cases) {
        const auto parsed = BookRepository::publishDateFromText(QString::fromLatin1(text));
        EXPECT_EQ(parsed ? parsed->date() : QDate(), date) << "text: " << text;
    }
}

TEST_F(BookRegistrationTest, SameIdentifierSharesOneRecord)
{
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    library().books().parseBook(
        installSampleBook(QStringLiteral("anatomy-basics.epub"), QStringLiteral("copy.epub")));
    EXPECT_EQ(store().count<BookMetaData>(), 1);
    EXPECT_EQ(book(QStringLiteral("urn:tavro:anatomy-basics"))->fileName, QStringLiteral("copy.epub"));
}

// Re-registering keeps the reading state, the annotations and the shelves,
// and adds no second link to shelf 1.
TEST_F(BookRegistrationTest, ReRegistrationKeepsWhatBelongsToTheBook)
{
    const QString path = installSampleBook(QStringLiteral("anatomy-basics.epub"));
    library().books().parseBook(path);
    const qint64 oldID = book(QStringLiteral("urn:tavro:anatomy-basics"))->BookID.value();
    BookStatusData status;
    status.BookID = oldID;
    status.lastOpenPage = 3;
    ASSERT_TRUE(store().insert(status));
    library().annotations().upsertBookMark(
        3, QStringLiteral("ch4"), QStringLiteral("urn:tavro:anatomy-basics"), oldID, false);
    const auto shelf = library().books().addLibary(QStringLiteral("循環器"));
    BookLabelLink link;
    link.LabelID = shelf->labelID;
    link.BookID = oldID;
    ASSERT_TRUE(store().insert(link));

    library().books().parseBook(path);
    const qint64 newID = book(QStringLiteral("urn:tavro:anatomy-basics"))->BookID.value();
    EXPECT_NE(newID, oldID) << "a new BookID on every registration";
    EXPECT_EQ(store().findFirst<BookStatusData>(QStringLiteral("\"BookID\"=?"), { newID })->lastOpenPage, 3);
    EXPECT_TRUE(library().annotations().checkBookMark(3, newID));
    EXPECT_TRUE(library().books().bookExistenceInLibary(*shelf->labelID, newID));
    EXPECT_EQ(store().count<BookLabelLink>(QStringLiteral("\"LabelID\"=1 AND \"BookID\"=?"), { newID }), 1);
    EXPECT_EQ(store().count<BookLabelLink>(QStringLiteral("\"BookID\"=?"), { oldID }), 0);
}

TEST_F(BookRegistrationTest, PdfRegistrationFromStoreInfo)
{
    const QString path = installSampleBook(QStringLiteral("respiratory-atlas.pdf"));
    library().books().parsePDFBook(path,
        { { QStringLiteral("bookId"), QStringLiteral("pdf-77") },
            { QStringLiteral("bookTitle"), QStringLiteral("Respiratory Atlas") },
            { QStringLiteral("bookAuthor"), QStringLiteral("Jiro Kato") },
            { QStringLiteral("bookPublisher"), QStringLiteral("Tavro Medical Press") } });
    auto b = book(QStringLiteral("pdf-77"));
    ASSERT_TRUE(b.has_value());
    EXPECT_EQ(b->BookID, 1);
    EXPECT_EQ(b->title, QStringLiteral("Respiratory Atlas"));
    EXPECT_EQ(b->fileName, QStringLiteral("respiratory-atlas.pdf"));
    EXPECT_FALSE(b->printable.has_value()) << "no print, nothing set";

    library().books().parsePDFBook(path,
        { { QStringLiteral("bookId"), QStringLiteral("pdf-77") },
            { QStringLiteral("print"), QStringLiteral("1") } });
    b = book(QStringLiteral("pdf-77"));
    EXPECT_EQ(b->printable, 1);
    EXPECT_EQ(library().books().getBookListByLabelID(1).size(), 1);
}

TEST_F(BookRegistrationTest, UnreadableEpubsDoNotOverwriteEachOther)
{
    DataFolder::createContentsFolder();
    for (const char *name : { "broken1.epub", "broken2.epub" }) {
        const QString path = DataFolder::contentsFolder() + u'/' + QLatin1String(name);
        ASSERT_TRUE(writeZip(path, { { "mimetype", "application/epub+zip", true } }));
        library().books().parseBook(path);
    }
    const auto books = store().findAll<BookMetaData>();
    ASSERT_EQ(books.size(), 2);
    EXPECT_EQ(books[0].fileName, QStringLiteral("broken1.epub"));
    EXPECT_EQ(books[1].fileName, QStringLiteral("broken2.epub"));
    EXPECT_FALSE(books[0].identifier.has_value());
    EXPECT_TRUE(library().books().getBookListByLabelID(1).isEmpty()) << "no identifier, no link";
}

} // namespace
