// The reader's in-book search: the pop-over, choosing hits, and what stays
// between openings.
#include "ui/reader/ReaderSearch.h"
#include "support/RowClicks.h"
#include "ui/AppShellFixture.h"
#include "ui/app/ChoiceListView.h"
#include "ui/app/RichTextRowDelegate.h"
#include "ui/reader/EpubPane.h"
#include "ui/reader/PdfHitOverlay.h"
#include "ui/reader/PdfPane.h"
#include "ui/reader/ReaderVC.h"

#include <QSignalSpy>
#include <QStandardItemModel>

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

    // One left click in the middle of the row's rectangle, as a person
    // would click.
    static void clickRow(QAbstractItemView *view, int row)
    {
        const QModelIndex index = view->model()->index(row, 0);
        view->scrollTo(index);
        const QRect rect = view->visualRect(index);
        ASSERT_TRUE(view->viewport()->rect().contains(rect.center())) << "row " << row;
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    }

    static int rowOfPage(InBookSearch *search, const QString &manifestID)
    {
        for (int i = 0; i < search->hitCount(); ++i)
            if (search->searchResultArray().at(i).toMap().value(QStringLiteral("id")).toString()
                == manifestID)
                return i;
        return -1;
    }

    static int markCount(ReaderVC *reader)
    {
        return pageValue(reader->epubPane()->web(),
            QStringLiteral("document.querySelectorAll('span.qmSearchHighlight').length"))
            .toInt();
    }
};

// The row's plain text is for accessibility and tests; a selected row must
// not draw it over the marked-up text.
TEST(SearchRows, ASelectedRowDrawsOnlyItsMarkedUpText)
{
    QStandardItemModel model;
    auto *item = new QStandardItem;
    item->setData(QStringLiteral("<b>blood</b> flow<br>Chapter 3"), RichTextRowDelegate::HtmlRole);
    model.appendRow(item);
    ChoiceListView view;
    view.setModel(&model);
    view.setItemDelegate(new RichTextRowDelegate(&view));
    view.resize(300, 120);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.setCurrentIndex(model.index(0, 0));
    ASSERT_TRUE(view.selectionModel()->isSelected(model.index(0, 0)));
    const QRect row = view.visualRect(model.index(0, 0));
    ASSERT_GT(row.height(), 0);
    item->setData(QString(), Qt::DisplayRole);
    const QImage without = view.viewport()->grab(row).toImage();
    item->setData(QStringLiteral("WWWWWWWWWWWWWWWW\nWWWWWWWWWWWWWWWW"), Qt::DisplayRole);
    const QImage with = view.viewport()->grab(row).toImage();
    EXPECT_EQ(with, without) << "the plain text is drawn";
    // And the marked-up text is drawn at all.
    bool inked = false;
    for (int y = 0; y < without.height() && !inked; ++y)
        for (int x = 1; x < without.width() && !inked; ++x)
            inked = without.pixel(x, y) != without.pixel(0, y);
    EXPECT_TRUE(inked);
}

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
    ChoiceListView *list = reader->search()->popover()->searchResultView();
    list->setCurrentIndex(list->model()->index(row, 0));
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
    ChoiceListView *list = reader->search()->popover()->searchResultView();
    ASSERT_EQ(list->model()->rowCount(), 11);
    EXPECT_TRUE(list->model()->index(10, 0).data().toString().startsWith(QStringLiteral("More")));
    list->setCurrentIndex(list->model()->index(10, 0));
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return !search->showIndicator(); }));
    EXPECT_GT(search->hitCount(), 10);
    EXPECT_TRUE(reader->search()->popover()->isVisible()) << "the pop-over stays open for the longer list";
    EXPECT_EQ(list->model()->rowCount(), search->numberOfRows());
}

TEST_F(ReaderSearchTest, OneClickOnAHitShowsIt)
{
    ReaderVC *reader = openBook(QStringLiteral("anatomy-basics.epub"));
    ASSERT_TRUE(reader && reader->epubPane());
    searchFor(reader, QStringLiteral("blood"));
    InBookSearch *search = reader->search()->search();
    const int row = rowOfPage(search, QStringLiteral("ch3"));
    ASSERT_GE(row, 0);
    Reader_SearchVC *popover = reader->search()->popover();
    QSignalSpy chosen(popover, &Reader_SearchVC::hitChosen);
    QSignalSpy shown(reader->search(), &ReaderSearch::hitShown);
    // The chosen row drawn selected, for a person to look at: the marked
    // text only, no second text over it.
    popover->searchResultView()->setCurrentIndex(popover->searchResultView()->model()->index(row, 0));
    popover->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/reader-search-selected-row.png"));
    clickRow(popover->searchResultView(), row);
    ASSERT_TRUE(waitUntil([&] { return !shown.isEmpty(); }, 30000));
    EXPECT_EQ(chosen.count(), 1);
    EXPECT_EQ(reader->epubPane()->currentManifestID(), QStringLiteral("ch3"));
    EXPECT_FALSE(popover->isVisible());
}

TEST_F(ReaderSearchTest, OneClickOnMoreListsMoreAndADoubleClickChoosesOnce)
{
    ReaderVC *reader = openBook(QStringLiteral("anatomy-basics.epub"));
    ASSERT_TRUE(reader);
    searchFor(reader, QStringLiteral("the"));
    InBookSearch *search = reader->search()->search();
    ASSERT_EQ(search->hitCount(), 10);
    ChoiceListView *list = reader->search()->popover()->searchResultView();
    clickRow(list, 10);
    ASSERT_TRUE(waitUntil([&] { return !search->showIndicator() && search->hitCount() > 10; }));
    EXPECT_TRUE(reader->search()->popover()->isVisible());
    EXPECT_EQ(list->model()->rowCount(), search->numberOfRows());

    // A double click on a hit shows it once.
    Reader_SearchVC *popover = reader->search()->popover();
    QSignalSpy chosen(popover, &Reader_SearchVC::hitChosen);
    const QModelIndex first = list->model()->index(0, 0);
    list->scrollTo(first);
    doubleClickAt(list->viewport(), list->visualRect(first).center());
    ASSERT_TRUE(waitUntil([&] { return !chosen.isEmpty(); }));
    settle(200);
    EXPECT_EQ(chosen.count(), 1);
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
    EXPECT_EQ(popover->searchResultView()->model()->rowCount(), search->numberOfRows());
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
    ChoiceListView *list = reader->search()->popover()->searchResultView();
    list->setCurrentIndex(list->model()->index(0, 0));
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(reader->pdfPane()->page(), search->pdfResults().first().page);
    EXPECT_TRUE(reader->search()->pdfOverlay()->isVisible());
    EXPECT_FALSE(reader->search()->pdfOverlay()->bounds().isEmpty());
    QTest::qWait(500); // the page's rendering, for the picture
    m_app->window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/reader-search-pdf-hit.png"));
}

} // namespace
