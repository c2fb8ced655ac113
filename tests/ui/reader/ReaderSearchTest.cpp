// The reader's in-book search: the pop-over, choosing hits, and what stays
// between openings.
#include "ui/reader/ReaderSearch.h"
#include "ui/AppShellFixture.h"
#include "ui/reader/EpubPane.h"
#include "ui/reader/PdfHitOverlay.h"
#include "ui/reader/PdfPane.h"
#include "ui/reader/ReaderVC.h"

#include <QListWidget>
#include <QSignalSpy>

namespace
{

class ReaderSearchTest : public AppShellTest
{
protected:
    ReaderVC *openBook(const QString &fileName)
    {
        launch();
        if (fileName.endsWith(QStringLiteral(".pdf")))
            library().books().parsePDFBook(installSampleBook(fileName),
                { { QStringLiteral("bookId"), QStringLiteral("pdf-nursing-notes") },
                    { QStringLiteral("bookTitle"), QStringLiteral("Nursing Notes") } });
        else
            library().books().parseBook(installSampleBook(fileName));
        m_app->changeToReader(ShelfVC::bookInfo(library(), fileName));
        ReaderVC *reader = m_app->readerVC();
        if (reader && reader->epubPane())
            EXPECT_TRUE(waitUntil([&] { return !reader->epubPane()->currentManifestID().isEmpty(); }));
        return reader;
    }

    // Types the term into the pop-over and waits for the search to end.
    static void searchFor(ReaderVC *reader, const QString &term)
    {
        reader->search()->tapSearch();
        Reader_SearchVC *popover = reader->search()->popover();
        ASSERT_TRUE(popover && popover->isVisible());
        popover->searchField()->setText(term);
        QTest::keyClick(popover->searchField(), Qt::Key_Return);
        ASSERT_TRUE(waitUntil([&] { return !reader->search()->search()->showIndicator(); }));
    }

    static int markCount(ReaderVC *reader)
    {
        return pageValue(reader->epubPane()->web(),
            QStringLiteral("document.querySelectorAll('span.qmSearchHighlight').length"))
            .toInt();
    }
};

TEST_F(ReaderSearchTest, CtrlFOpensThePopoverWithTheFieldFocused)
{
    ReaderVC *reader = openBook(QStringLiteral("anatomy-basics.epub"));
    ASSERT_TRUE(reader);
    EXPECT_TRUE(reader->search()->searchAction()->isVisible());
    m_app->window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_app->window()));
    QTest::keySequence(m_app->window(), QKeySequence::Find);
    ASSERT_TRUE(
        waitUntil([&] { return reader->search()->popover() && reader->search()->popover()->isVisible(); }));
    EXPECT_TRUE(waitUntil([&] { return reader->search()->popover()->searchField()->hasFocus(); }));
}

TEST_F(ReaderSearchTest, ChoosingAHitLoadsItsPageAndMarksTheTerm)
{
    ReaderVC *reader = openBook(QStringLiteral("anatomy-basics.epub"));
    ASSERT_TRUE(reader && reader->epubPane());
    searchFor(reader, QStringLiteral("blood"));
    InBookSearch *search = reader->search()->search();
    int row = -1;
    for (int i = 0; i < search->hitCount(); ++i)
        if (search->searchResultArray().at(i).toMap().value(QStringLiteral("id")).toString() == u"ch3")
            row = i;
    ASSERT_GE(row, 0);
    QSignalSpy shown(reader->search(), &ReaderSearch::hitShown);
    reader->search()->popover()->grab().save(
        QStringLiteral(TAVRO_ARTIFACTS_DIR "/reader-search-popover.png"));
    QListWidget *list = reader->search()->popover()->searchResultView();
    list->setCurrentRow(row);
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return !shown.isEmpty(); }, 30000));
    EXPECT_TRUE(shown.first().first().toBool()) << "the page's find selected the hit";
    EXPECT_EQ(reader->epubPane()->currentManifestID(), QStringLiteral("ch3"));
    EXPECT_FALSE(reader->search()->popover()->isVisible());
    EXPECT_TRUE(waitUntil([&] { return markCount(reader) > 0; }));
    QTest::qWait(300); // the page's last frame
    m_app->window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/reader-search-hit.png"));
}

TEST_F(ReaderSearchTest, TheMoreRowListsTenHitsMore)
{
    ReaderVC *reader = openBook(QStringLiteral("anatomy-basics.epub"));
    ASSERT_TRUE(reader);
    searchFor(reader, QStringLiteral("the"));
    InBookSearch *search = reader->search()->search();
    ASSERT_EQ(search->hitCount(), 10);
    QListWidget *list = reader->search()->popover()->searchResultView();
    ASSERT_EQ(list->count(), 11);
    EXPECT_TRUE(list->item(10)->text().startsWith(QStringLiteral("More")));
    list->setCurrentRow(10);
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return !search->showIndicator(); }));
    EXPECT_GT(search->hitCount(), 10);
    EXPECT_TRUE(reader->search()->popover()->isVisible()) << "the pop-over stays open for the longer list";
    EXPECT_EQ(list->count(), search->numberOfRows());
}

TEST_F(ReaderSearchTest, ResultsAndTheTermStayBetweenOpenings)
{
    ReaderVC *reader = openBook(QStringLiteral("anatomy-basics.epub"));
    ASSERT_TRUE(reader);
    searchFor(reader, QStringLiteral("heart"));
    InBookSearch *search = reader->search()->search();
    const QVariantList hits = search->searchResultArray();
    ASSERT_FALSE(hits.isEmpty());
    reader->search()->popover()->hide();
    QSignalSpy changed(search, &InBookSearch::resultsChanged);
    reader->search()->tapSearch();
    Reader_SearchVC *popover = reader->search()->popover();
    EXPECT_EQ(popover->searchField()->text(), QStringLiteral("heart"));
    EXPECT_EQ(popover->searchResultView()->count(), search->numberOfRows());
    QTest::keyClick(popover->searchField(), Qt::Key_Return);
    settle(200);
    EXPECT_TRUE(changed.isEmpty()) << "the same term again does not search";
    EXPECT_EQ(search->searchResultArray(), hits);
}

TEST_F(ReaderSearchTest, APdfHitShowsItsPageWithTheTextMarked)
{
    ReaderVC *reader = openBook(QStringLiteral("nursing-notes.pdf"));
    ASSERT_TRUE(reader && reader->pdfPane());
    searchFor(reader, QStringLiteral("the"));
    InBookSearch *search = reader->search()->search();
    ASSERT_EQ(search->hitCount(), 1) << "case-sensitive: \"The\" is not a hit";
    QListWidget *list = reader->search()->popover()->searchResultView();
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(reader->pdfPane()->page(), search->pdfResults().first().page);
    EXPECT_TRUE(reader->search()->pdfOverlay()->isVisible());
    EXPECT_FALSE(reader->search()->pdfOverlay()->bounds().isEmpty());
    QTest::qWait(500); // the page's rendering, for the picture
    m_app->window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/reader-search-pdf-hit.png"));
}

} // namespace
