#include "core/shelf/ShelfModel.h"
#include "core/library/Library.h"
#include "core/platform/DataFolder.h"
#include "core/platform/UserDefaults.h"
#include "support/LibraryFixture.h"
#include "support/Samples.h"

#include <QDir>
#include <QFile>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace
{

QStringList names(const QList<ShelfEntry> &entries)
{
    QStringList out;
    for (const ShelfEntry &e : entries)
        out << e.fileName;
    return out;
}

class ShelfModelTest : public LibraryFixture
{
protected:
    void SetUp() override
    {
        LibraryFixture::SetUp();
        QDir(DataFolder::contentsFolder()).removeRecursively();
        DataFolder::createContentsFolder();
        for (const char *key :
            { UserDefaults::hasBuildBookInfo, UserDefaults::accountLift, UserDefaults::sort })
            UserDefaults::remove(QString::fromLatin1(key));
        ASSERT_TRUE(library().books().addLibarywithFirstSetup());
    }

    // An EPUB and a PDF with its ".toc", both registered on shelf 1; the
    // PDF's path.
    QString installTwoBooks()
    {
        library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
        const QString pdf = installSampleBook(QStringLiteral("respiratory-atlas.pdf"));
        QFile::copy(sampleBookPath(QStringLiteral("respiratory-atlas.toc")),
            pdf.left(pdf.size() - 4) + QStringLiteral(".toc"));
        library().books().parsePDFBook(pdf,
            { { QStringLiteral("bookId"), QStringLiteral("pdf-1") },
                { QStringLiteral("bookTitle"), QStringLiteral("Respiratory Atlas") } });
        UserDefaults::setValue(QString::fromLatin1(UserDefaults::hasBuildBookInfo), 1);
        return pdf;
    }

    ShelfEntry entry(const QString &name)
    {
        for (const ShelfEntry &e : ShelfModel(library()).contentsList(0, std::nullopt, true))
            if (e.fileName == name)
                return e;
        ADD_FAILURE() << "no entry " << name.toStdString();
        return {};
    }
};

TEST_F(ShelfModelTest, LooseFilesAreRegisteredOnceOnTheFirstShelf)
{
    installSampleBook(QStringLiteral("anatomy-basics.epub"));
    installSampleBook(QStringLiteral("nursing-notes.pdf"));
    QFile(DataFolder::contentsFolder() + QStringLiteral("/notes.txt")).open(QIODevice::WriteOnly);

    EXPECT_EQ(names(ShelfModel(library()).items(1, std::nullopt)).size(), 2) << "the text file is no book";
    const auto pdf = store().findFirst<BookMetaData>(
        QStringLiteral("\"fileName\"=?"), { QStringLiteral("nursing-notes.pdf") });
    ASSERT_TRUE(pdf.has_value());
    EXPECT_EQ(pdf->identifier, QStringLiteral("local:nursing-notes.pdf"));
    EXPECT_EQ(pdf->title, QStringLiteral("nursing-notes"));

    // Once registration has run, a later loose file stays unregistered: it
    // shows under "all" but stands on no shelf.
    installSampleBook(QStringLiteral("cardiology-epub3.epub"));
    EXPECT_EQ(ShelfModel(library()).items(1, std::nullopt).size(), 2);
    EXPECT_EQ(ShelfModel(library()).contentsList(0, std::nullopt, true).size(), 3);

    UserDefaults::setValue(QString::fromLatin1(UserDefaults::accountLift), QStringLiteral("1"));
    EXPECT_TRUE(ShelfModel(library()).items(1, std::nullopt).isEmpty()) << "a lifted account shows nothing";
}

TEST_F(ShelfModelTest, SortOrders)
{
    // Registered in an order that differs from the title order.
    for (const char *name :
        { "臨床薬理学ノート.epub", "anatomy-basics.epub", "Emergency Medicine Handbook.epub" })
        library().books().parseBook(installSampleBook(QString::fromUtf8(name)));
    installSampleBook(QStringLiteral("cardiology-epub3.epub")); // never registered: always last
    UserDefaults::setValue(QString::fromLatin1(UserDefaults::hasBuildBookInfo), 1);

    const QStringList byTitle { QStringLiteral("anatomy-basics.epub"),
        QStringLiteral("Emergency Medicine Handbook.epub"), QString::fromUtf8("臨床薬理学ノート.epub"),
        QStringLiteral("cardiology-epub3.epub") };
    const QStringList byDownload { QString::fromUtf8("臨床薬理学ノート.epub"),
        QStringLiteral("anatomy-basics.epub"), QStringLiteral("Emergency Medicine Handbook.epub"),
        QStringLiteral("cardiology-epub3.epub") };
    auto reversedFirstThree = [](QStringList l) {
        std::reverse(l.begin(), l.begin() + 3);
        return l;
    };
    const std::pair<QString, QStringList> cases[] = {
        { ShelfModel::sortList().at(0), byDownload },
        { ShelfModel::sortList().at(1), reversedFirstThree(byDownload) },
        { ShelfModel::sortList().at(2), byTitle },
        { ShelfModel::sortList().at(3), reversedFirstThree(byTitle) },
    };
    for (const auto &[label, expected] : cases) {
        QList<ShelfEntry> items = ShelfModel(library()).contentsList(0, std::nullopt, true);
        ShelfModel(library()).sortItems(items, label);
        EXPECT_EQ(names(items), expected) << "sort: " << label.toStdString();
    }

    EXPECT_EQ(ShelfModel::currentSort(), ShelfModel::sortList().first());
    UserDefaults::setValue(QString::fromLatin1(UserDefaults::sort), QStringLiteral("bogus"));
    EXPECT_EQ(ShelfModel::currentSort(), ShelfModel::sortList().first()) << "unknown label falls back";
    ShelfModel::setSort(ShelfModel::sortList().at(3));
    EXPECT_EQ(ShelfModel::currentSort(), ShelfModel::sortList().at(3));
}

TEST_F(ShelfModelTest, SearchFindsTitlesThenTablesOfContents)
{
    installTwoBooks();

    const std::pair<const char *, QStringList> cases[] = {
        { "anatomy basics", { QStringLiteral("anatomy-basics.epub") } },
        { "Cardiac Cycle", { QStringLiteral("anatomy-basics.epub") } },
        { "Renal Function", { QStringLiteral("respiratory-atlas.pdf") } },
        { "Jiro Kato", { QStringLiteral("respiratory-atlas.pdf") } },
        { "Respiratory", { QStringLiteral("respiratory-atlas.pdf"), QStringLiteral("anatomy-basics.epub") } },
        { "no such words", {} },
    };
    for (const auto &[text, expected] : cases) {
        QStringList found = ShelfModel(library()).search(QString::fromUtf8(text), 1);
        EXPECT_EQ(found, expected) << "search: " << text;
    }
}

TEST_F(ShelfModelTest, ShelvesCreateRenameSwapMoveAndDelete)
{
    const QString pdf = installTwoBooks();

    EXPECT_FALSE(ShelfModel(library()).createShelf(QStringLiteral("  ")).has_value());
    const auto a = ShelfModel(library()).createShelf(QStringLiteral("Cardiology"));
    const auto b = ShelfModel(library()).createShelf(QStringLiteral("Respiratory"));
    ASSERT_TRUE(a && b);
    ASSERT_EQ(ShelfModel(library()).labels().size(), 3);
    EXPECT_TRUE(ShelfModel(library()).renameShelf(*a->labelID, QStringLiteral("Heart")));
    EXPECT_FALSE(ShelfModel(library()).renameShelf(*a->labelID, QString()));
    EXPECT_FALSE(ShelfModel(library()).renameShelf(999, QStringLiteral("x")));
    EXPECT_FALSE(ShelfModel(library()).renameShelf(1, QStringLiteral("x")))
        << "the first shelf keeps its name";

    EXPECT_FALSE(ShelfModel(library()).swapShelves(0, 1)) << "the first shelf stays first";
    EXPECT_FALSE(ShelfModel(library()).swapShelves(1, 3));
    EXPECT_TRUE(ShelfModel(library()).swapShelves(1, 2));
    const auto shelves = ShelfModel(library()).labels();
    EXPECT_EQ(shelves.at(1).labelID, *b->labelID);
    EXPECT_EQ(shelves.at(2).labelName, QStringLiteral("Heart"));

    EXPECT_TRUE(ShelfModel(library()).moveBook(QStringLiteral("respiratory-atlas.pdf"), 1));
    EXPECT_FALSE(ShelfModel(library()).moveBook(QStringLiteral("respiratory-atlas.pdf"), 7));
    EXPECT_FALSE(ShelfModel(library()).moveBook(QStringLiteral("missing.epub"), 1));
    EXPECT_EQ(names(ShelfModel(library()).items(*b->labelID, std::nullopt)),
        QStringList { QStringLiteral("respiratory-atlas.pdf") });
    EXPECT_EQ(names(ShelfModel(library()).items(1, std::nullopt)),
        QStringList { QStringLiteral("anatomy-basics.epub") });
    EXPECT_EQ(ShelfModel(library()).booksOnShelf(*b->labelID), 1);

    EXPECT_FALSE(ShelfModel(library()).deleteShelf(1, true)) << "the first shelf is never deleted";
    EXPECT_TRUE(ShelfModel(library()).deleteShelf(*b->labelID, true));
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_FALSE(QFile::exists(pdf.left(pdf.size() - 4) + QStringLiteral(".toc")));
    EXPECT_FALSE(store().findFirst<BookMetaData>(
        QStringLiteral("\"fileName\"=?"), { QStringLiteral("respiratory-atlas.pdf") }));
    EXPECT_EQ(ShelfModel(library()).labels().size(), 2);

    EXPECT_TRUE(ShelfModel(library()).deleteShelf(*a->labelID, false));
    EXPECT_TRUE(QFile::exists(entry(QStringLiteral("anatomy-basics.epub")).path));
}

TEST_F(ShelfModelTest, ReaderInfoMarksTheBookOpened)
{
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    UserDefaults::setValue(QString::fromLatin1(UserDefaults::hasBuildBookInfo), 1);
    const BookInfo info
        = ShelfModel(library()).readerInfo(entry(QStringLiteral("anatomy-basics.epub")), nullptr);
    EXPECT_EQ(info.format, BookFormat::Epub);
    EXPECT_EQ(info.bookID, 1);
    EXPECT_EQ(info.title, QStringLiteral("Anatomy Basics"));
    EXPECT_EQ(info.fontSize, 16);
    EXPECT_TRUE(info.url.toString().startsWith(QStringLiteral("epub://")));
    const auto book = store().findFirst<BookMetaData>(QStringLiteral("\"BookID\"=1"));
    ASSERT_TRUE(book && book->lastOpenDate);
}

// The list's "ダウンロード日時" is when the book came into the library, as
// stored with its shelf link; rewriting the file (a copy, a backup tool)
// does not change it.
TEST_F(ShelfModelTest, EntriesCarryTheStoredDownloadTimeNotTheFileTime)
{
    installTwoBooks();
    BookRepository books = library().books();
    const auto epub = books.findBookByFileName(QStringLiteral("anatomy-basics.epub"));
    ASSERT_TRUE(epub && epub->BookID);
    auto link = books.getLabelByBookID(*epub->BookID);
    ASSERT_TRUE(link);
    const QDateTime stored(QDate(2024, 5, 6), QTime(7, 8), QTimeZone::utc());
    link->UpdateDateTime = stored;
    ASSERT_TRUE(books.saveLink(*link));
    QFile file(entry(QStringLiteral("anatomy-basics.epub")).path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(
        QDateTime(QDate(2020, 1, 1), QTime(0, 0), QTimeZone::utc()), QFileDevice::FileModificationTime));
    file.close();

    for (const qint64 labelID : { qint64(1), qint64(0) }) {
        const QList<ShelfEntry> shown = ShelfModel(library()).contentsList(labelID, std::nullopt, false);
        const auto it = std::find_if(shown.cbegin(), shown.cend(),
            [](const ShelfEntry &e) { return e.fileName == QStringLiteral("anatomy-basics.epub"); });
        ASSERT_NE(it, shown.cend()) << labelID;
        EXPECT_EQ(it->downloaded, stored) << "shelf " << labelID;
    }
    installSampleBook(QStringLiteral("cardiology-epub3.epub")); // no record
    EXPECT_FALSE(entry(QStringLiteral("cardiology-epub3.epub")).downloaded.isValid());
}

// After a shelf is deleted the same shelf stays shown, wherever the deletion
// moved it; the first shelf when the shown one went. Shelves here were
// reordered, so labelIDs and places differ.
TEST(ShelfDeletion, TheShownShelfStaysShown)
{
    QList<LabelMaster> shelves;
    for (const qint64 id : { 1, 5, 2, 4, 3 }) { // マイ本棚 first, then by "order"
        LabelMaster l;
        l.labelID = id;
        shelves << l;
    }
    const struct {
        int shown;
        qint64 deleted;
        int expected;
    } cases[] = {
        { 2, 2, 2 }, // shown before the deleted one: same page
        { 4, 5, 3 }, // shown after it: one page up, though its labelID (4) is lower
        { 3, 4, 3 }, // shown before it with a lower labelID
        { 5, 4, 4 }, // shown after it with a lower labelID (3 < 4)
        { 3, 2, 1 }, // the shown one deleted: the first shelf
        { 2, 9, 2 }, // no such shelf: nothing moves
        { 0, 5, 1 }, { 6, 5, 1 }, // outside the list
    };
    for (const auto &c : cases)
        EXPECT_EQ(ShelfModel::pageAfterDeleting(shelves, c.shown, c.deleted), c.expected)
            << "shown " << c.shown << ", deleted labelID " << c.deleted;
}

TEST(ShelfSwipe, PageAfterSwipe)
{
    struct Case {
        double offset;
        int page;
        int expected;
    };
    const Case cases[] = {
        { 0, 2, 2 }, { 40, 2, 2 }, { -49, 2, 2 }, // under half a page: stays
        { 60, 2, 3 }, { -60, 2, 1 }, // over half: one page on or back
        { 250, 2, 2 }, // pageID pages or more: stays
        { -100, 1, 1 }, // a whole page on the first: stays
    };
    for (const Case &c : cases)
        EXPECT_EQ(ShelfModel::pageAfterSwipe(c.offset, 100, c.page), c.expected)
            << "offset " << c.offset << " page " << c.page;
}

} // namespace
