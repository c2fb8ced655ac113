// Searching every installed book from the shelf.
#include "support/RowClicks.h"
#include "ui/AppShellFixture.h"
#include "ui/app/ChoiceListView.h"
#include "ui/reader/EpubPane.h"
#include "ui/reader/ReaderVC.h"
#include "ui/shelf/LibrarySearchWindow.h"

#include <QSignalSpy>

namespace
{

class LibrarySearchScreen : public AppShellTest
{
protected:
    LibrarySearchWindow *openWindow()
    {
        QDir(DataFolder::contentsFolder()).removeRecursively();
        installSampleBook(QStringLiteral("anatomy-basics.epub"));
        installSampleBook(QStringLiteral("nursing-notes.pdf"));
        launch();
        m_app->changeToShelf();
        ShelfVC *shelf = m_app->shelfVC();
        LibrarySearchWindow *window = shelf->openLibrarySearch();
        EXPECT_TRUE(waitUntil([&] { return !shelf->textIndex()->isUpdating(); }));
        return window;
    }

    static int rowOf(LibrarySearchWindow *w, const QString &fileName)
    {
        for (int i = 0; i < w->hits().size(); ++i)
            if (w->hits().at(i).fileName == fileName)
                return i;
        return -1;
    }
};

TEST_F(LibrarySearchScreen, ListsTheBooksThatMentionTheTerm)
{
    LibrarySearchWindow *window = openWindow();
    window->searchField()->setText(QStringLiteral("heart"));
    QTest::keyClick(window->searchField(), Qt::Key_Return);
    ASSERT_GE(rowOf(window, QStringLiteral("anatomy-basics.epub")), 0);
    EXPECT_EQ(window->results()->model()->rowCount(), window->hits().size());
    EXPECT_TRUE(window->status()->text().endsWith(QStringLiteral("件")));
    window->searchField()->setText(QStringLiteral("nonexistentterm"));
    QTest::keyClick(window->searchField(), Qt::Key_Return);
    EXPECT_EQ(window->results()->model()->rowCount(), 0);
    EXPECT_TRUE(window->status()->text().contains(QStringLiteral("見つかりませんでした")));
}

TEST_F(LibrarySearchScreen, ChoosingAHitOpensTheBookAtItsPage)
{
    LibrarySearchWindow *window = openWindow();
    window->searchField()->setText(QStringLiteral("heart"));
    window->searchNow();
    int row = -1;
    for (int i = 0; i < window->hits().size(); ++i)
        if (window->hits().at(i).fileName == u"anatomy-basics.epub" && window->hits().at(i).page > 0)
            row = i;
    ASSERT_GE(row, 0);
    const int page = window->hits().at(row).page;
    window->results()->setCurrentIndex(window->results()->model()->index(row, 0));
    QTest::keyClick(window->results(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return m_app->readerVC() != nullptr; }));
    ReaderVC *reader = m_app->readerVC();
    EXPECT_EQ(reader->page(), page);
    ASSERT_TRUE(reader->epubPane());
    // The term is marked on the page once it has loaded.
    EXPECT_TRUE(waitUntil(
        [&] {
            return pageValue(reader->epubPane()->web(),
                       QStringLiteral("document.querySelectorAll('span.qmSearchHighlight').length"))
                       .toInt()
                > 0;
        },
        30000));
}

TEST_F(LibrarySearchScreen, OneClickOpensTheHitAndADoubleClickOpensItOnce)
{
    LibrarySearchWindow *window = openWindow();
    window->searchField()->setText(QStringLiteral("heart"));
    window->searchNow();
    const int row = rowOf(window, QStringLiteral("anatomy-basics.epub"));
    ASSERT_GE(row, 0);
    window->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/library-search-window.png"));
    ChoiceListView *list = window->results();
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    const QPoint center = list->visualRect(index).center();
    ASSERT_TRUE(list->viewport()->rect().contains(center));
    // Counted without opening the book: the window stays for the second
    // gesture.
    QObject::disconnect(window, &LibrarySearchWindow::hitChosen, nullptr, nullptr);
    QSignalSpy chosen(window, &LibrarySearchWindow::hitChosen);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, center);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.first().first().value<LibrarySearchIndex::Hit>().fileName,
        QStringLiteral("anatomy-basics.epub"));
    EXPECT_EQ(chosen.first().at(1).toString(), QStringLiteral("heart"));
    chosen.clear();
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, center);
    EXPECT_EQ(chosen.count(), 0) << "a right click chooses nothing";
    doubleClickAt(list->viewport(), center);
    EXPECT_EQ(chosen.count(), 1) << "a double click chooses once";
}

} // namespace
