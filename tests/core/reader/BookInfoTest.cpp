// The reader's book info and what opening a book reads and writes.
#include "core/reader/BookInfo.h"
#include "core/library/Library.h"
#include "core/platform/DataFolder.h"
#include "core/reader/BookOpening.h"
#include "core/reader/ReadingState.h"
#include "support/LibraryFixture.h"
#include "support/Samples.h"

#include <gtest/gtest.h>

namespace
{

TEST(BookInfo, DictionaryFormRoundTrips)
{
    BookInfo epub;
    epub.url = QUrl(QStringLiteral("epub://abc.book/OEBPS/ch1.xhtml"));
    epub.bookID = 7;
    epub.lastPage = 3;
    epub.fontSize = 20;
    epub.print = true;
    epub.title = QStringLiteral("内科学");
    const BookInfo back = BookInfo::fromMap(epub.toMap());
    EXPECT_EQ(back.url, epub.url);
    EXPECT_EQ(back.bookID, 7);
    EXPECT_EQ(back.lastPage, 3);
    EXPECT_EQ(back.fontSize, 20);
    EXPECT_TRUE(back.print);
    EXPECT_EQ(back.title, epub.title);
    EXPECT_FALSE(back.isPdf());

    BookInfo loose;
    loose.format = BookFormat::Pdf;
    loose.pdfUrl = QStringLiteral("/contents/x.pdf");
    EXPECT_EQ(loose.toMap(), (QVariantMap { { QStringLiteral("pdfurl"), loose.pdfUrl } }));
    const BookInfo empty = BookInfo::fromMap({});
    EXPECT_EQ(empty.bookID, -1);
    EXPECT_EQ(empty.lastPage, -1);
    EXPECT_EQ(empty.fontSize, BookInfo::kDefaultFontSize);
}

TEST(BookInfo, EveryKindRoundTripsWithItsFormatAndSearchTerm)
{
    BookInfo epub;
    epub.url = QUrl(QStringLiteral("epub://abc.book/"));
    epub.bookID = 2;
    epub.lastPage = 0;
    epub.fontSize = 11;
    epub.title = QStringLiteral("Anatomy");
    epub.creator = QStringLiteral("A. Author");
    epub.searchTerm = QStringLiteral("心臓");

    BookInfo pdf;
    pdf.format = BookFormat::Pdf;
    pdf.pdfUrl = QStringLiteral("/contents/atlas.pdf");
    pdf.bookID = 9;
    pdf.lastPage = 4;
    pdf.print = true;
    pdf.title = QStringLiteral("Atlas%20of%20Lungs");
    pdf.metaBookId = QStringLiteral("urn:store:9");
    pdf.creator = QStringLiteral("B");
    pdf.searchTerm = QStringLiteral("bronchus");

    BookInfo loosePdf; // a PDF with no library record: its path and term
    loosePdf.format = BookFormat::Pdf;
    loosePdf.pdfUrl = QStringLiteral("/contents/loose.pdf");
    loosePdf.searchTerm = QStringLiteral("term");

    const struct {
        const char *name;
        BookInfo info;
    } cases[] = { { "epub", epub }, { "pdf", pdf }, { "loose pdf", loosePdf }, { "defaults", BookInfo() } };
    for (const auto &c : cases) {
        const BookInfo back = BookInfo::fromMap(c.info.toMap());
        EXPECT_EQ(back.format, c.info.format) << c.name;
        EXPECT_EQ(back.searchTerm, c.info.searchTerm) << c.name;
        EXPECT_TRUE(back == c.info) << c.name << ": " << QVariant(back.toMap()).toString().toStdString();
    }
    // A PDF whose path is empty is still a PDF in the dictionary form.
    BookInfo noPath;
    noPath.format = BookFormat::Pdf;
    EXPECT_TRUE(BookInfo::fromMap(noPath.toMap()).isPdf());
}

class BookOpeningTest : public LibraryFixture
{
};

TEST_F(BookOpeningTest, OnlyStoreBooksUploadOnLeave)
{
    const struct {
        const char *metaBookId;
        bool shown;
        bool uploads;
    } cases[] = { { "urn:store:1", true, true }, { "urn:store:1", false, false }, { "", true, false },
        { BookInfo::kBookIdFromDisk, true, false } };
    LibraryStore noRecords; // the info alone decides for a book without a record
    for (const auto &c : cases) {
        BookInfo info;
        info.metaBookId = QString::fromLatin1(c.metaBookId);
        EXPECT_EQ(ReadingState::uploadsOnLeave(BookRepository(noRecords), info, c.shown), c.uploads)
            << c.metaBookId << " shown " << c.shown;
    }
}

TEST_F(BookOpeningTest, InfoReadsTheRecordAndOpeningMarksIt)
{
    BookMetaData book;
    book.BookID = 4;
    book.fileName = QStringLiteral("notes.pdf");
    book.identifier = QStringLiteral("pdf-notes");
    book.title = QStringLiteral("Notes");
    book.creator = QStringLiteral("A");
    book.printable = 1;
    ASSERT_TRUE(store().insert(book));
    ASSERT_TRUE(ReadingState::save(library().books(), 4, 12, std::nullopt));

    const BookInfo info = BookOpening::infoForBook(library().books(), QStringLiteral("notes.pdf"));
    EXPECT_TRUE(info.isPdf());
    EXPECT_EQ(info.format, BookFormat::Pdf);
    EXPECT_EQ(info.pdfUrl, DataFolder::contentsFolder() + QStringLiteral("/notes.pdf"));
    EXPECT_EQ(info.bookID, 4);
    EXPECT_EQ(info.lastPage, 12);
    EXPECT_TRUE(info.print);
    EXPECT_EQ(info.metaBookId, QStringLiteral("pdf-notes"));
    EXPECT_FALSE(store().findFirst<BookMetaData>()->lastOpenDate.has_value())
        << "reading info changes nothing";

    BookOpening::markOpened(library(), QStringLiteral("notes.pdf"), nullptr);
    EXPECT_TRUE(store().findFirst<BookMetaData>()->lastOpenDate.has_value());

    const BookInfo unknown = BookOpening::infoForBook(library().books(), QStringLiteral("other.epub"));
    EXPECT_FALSE(unknown.isPdf());
    EXPECT_EQ(unknown.bookID, -1);
    EXPECT_EQ(unknown.fontSize, BookInfo::kDefaultFontSize);
}

TEST_F(BookOpeningTest, TheFilesContentDecidesTheReader)
{
    // A PDF that came with an EPUB's name, and the other way round, open in
    // the pane that can show them.
    const QString pdf = installSampleBook(QStringLiteral("nursing-notes.pdf"), QStringLiteral("named.epub"));
    const QString epub
        = installSampleBook(QStringLiteral("anatomy-basics.epub"), QStringLiteral("named.pdf"));
    const BookInfo asPdf = BookOpening::infoForBook(library().books(), QStringLiteral("named.epub"));
    EXPECT_EQ(asPdf.format, BookFormat::Pdf);
    EXPECT_EQ(asPdf.pdfUrl, pdf);
    const BookInfo asEpub = BookOpening::infoForBook(library().books(), QStringLiteral("named.pdf"));
    EXPECT_EQ(asEpub.format, BookFormat::Epub);
    EXPECT_TRUE(asEpub.url.toString().startsWith(QStringLiteral("epub://")))
        << asEpub.url.toString().toStdString();
    EXPECT_TRUE(QFile::exists(epub));
}

TEST(ReaderSplit, StoredFractionCountsOnlyFromFivePercentToNinetyFive)
{
    const struct {
        QVariant stored;
        std::optional<double> expected;
    } cases[] = {
        { 0.97, std::nullopt },
        { 0.05, 0.05 },
        { 0.95, 0.95 },
        { 0.3, 0.3 },
        { 0.049, std::nullopt },
        { -0.5, std::nullopt },
        { QStringLiteral("0.4"), 0.4 },
        { QStringLiteral("wide"), std::nullopt },
        { QVariant(), std::nullopt },
    };
    for (const auto &c : cases)
        EXPECT_EQ(ReadingState::storedSplit(c.stored), c.expected) << c.stored.toString().toStdString();
}

} // namespace
