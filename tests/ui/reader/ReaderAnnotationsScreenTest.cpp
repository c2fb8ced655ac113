// Bookmarks, highlights and memos in the reader screen.
#include "ui/AppShellFixture.h"
#include "ui/app/ChoiceListView.h"
#include "ui/reader/MemoPopover.h"
#include "ui/reader/ReaderAnnotationActions.h"
#include "ui/reader/ReaderBookMarkVC.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>

namespace
{

int marksInPage(ReaderVC *reader)
{
    return pageValue(
        reader->epubPane()->web(), QStringLiteral("document.querySelectorAll('span.qmHighlight').length"))
        .toInt();
}

TEST_F(AppShellTest, ReaderHighlightMemoBookmarkAndList)
{
    launch();
    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> reader = m_app->readerVC();
    ASSERT_TRUE(reader && reader->epubPane()->web() && reader->annotations());
    ReaderAnnotationActions *a = reader->annotations();
    QSignalSpy drawn(a, &ReaderAnnotationActions::highlightsDrawn);
    QSignalSpy done(a, &ReaderAnnotationActions::commandDone);
    ASSERT_TRUE(waitUntil([&] { return drawn.count() > 0; }, 30000)) << "drawn on the first page load";

    // Highlight the first heading.
    reader->epubPane()->web()->page()->runJavaScript(
        QStringLiteral("window.getSelection().selectAllChildren(document.querySelector('h1'))"));
    ASSERT_TRUE(waitUntil([&] { return reader->epubPane()->web()->hasSelection(); }));
    std::optional<BookHighlightMemo> made;
    a->highlight([&](const std::optional<BookHighlightMemo> &r) { made = r; });
    ASSERT_TRUE(waitUntil([&] { return made.has_value(); }));
    EXPECT_TRUE(made->markedText && !made->markedText->isEmpty());
    ASSERT_TRUE(waitUntil([&] { return marksInPage(reader) > 0; }));

    // A memo through the pop-over.
    AnnotationTarget target;
    target.bhm = made;
    target.sel = ReaderAnnotations::identifier(*made);
    a->memo(target);
    ASSERT_TRUE(a->memoPopover()->isVisible());
    a->memoPopover()->textView()->setPlainText(QStringLiteral("試験に出る"));
    done.clear();
    a->memoPopover()->saveButton()->click();
    ASSERT_TRUE(waitUntil([&] { return !done.isEmpty(); }));
    EXPECT_EQ(done.last().first().toString(), QStringLiteral("memoSaved"));
    EXPECT_EQ(pageValue(reader->epubPane()->web(),
                  QStringLiteral("document.querySelector('span.qmHighlight').title"))
                  .toString()
                  .section(u'\n', 1),
        QStringLiteral("試験に出る"))
        << "the memo is the mark's tooltip";

    // The bookmark button follows the page, as wide marked as not: its
    // neighbour stays put.
    EXPECT_FALSE(a->bookmarkAction()->isChecked());
    QWidget *button = reader->toolbar()->widgetForAction(a->bookmarkAction());
    QWidget *next = reader->toolbar()->widgetForAction(a->listAction());
    ASSERT_TRUE(button && next);
    const QRect unmarked = button->geometry();
    const int nextX = next->x();
    a->bookmarkAction()->trigger();
    EXPECT_TRUE(a->bookmarkAction()->isChecked());
    EXPECT_EQ(a->bookmarkAction()->text(), QStringLiteral("しおり ✓"));
    // What a change of width would lay out.
    for (int i = 0; i < 3; ++i)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_EQ(button->geometry(), unmarked);
    EXPECT_EQ(next->x(), nextX);
    const int page = reader->page();
    drawn.clear();
    reader->goToPage(page + 1);
    ASSERT_TRUE(waitUntil([&] { return drawn.count() > 0; }, 30000));
    EXPECT_FALSE(a->bookmarkAction()->isChecked());
    EXPECT_EQ(drawn.last().first().toInt(), 0);

    // The list; choosing the memo goes back to its page, drawn again.
    a->tapBookMark();
    ReaderBookMarkVC *list = a->bookMarkVC();
    ASSERT_TRUE(list->isVisible());
    auto rowText
        = [](QAbstractItemView *table, int row) { return table->model()->index(row, 0).data().toString(); };
    EXPECT_EQ(list->mainTable()->model()->rowCount(), 1);
    EXPECT_EQ(rowText(list->mainTable(), 0), QStringLiteral("%1:しおり").arg(page + 1));
    EXPECT_EQ(list->memoTable()->model()->rowCount(), 1);
    const QString memoRow = rowText(list->memoTable(), 0);
    EXPECT_TRUE(memoRow.contains(QStringLiteral("試験に出る"))) << memoRow.toStdString();
    // The row names the highlighted text, not only its time.
    EXPECT_TRUE(memoRow.contains(u'「' + AnnotationList::textStart(*made->markedText) + u'」'))
        << memoRow.toStdString();
    QTemporaryDir out;
    ASSERT_TRUE(list->exportTo(out.filePath(QStringLiteral("notes.md")), QStringLiteral("markdown")));
    QFile md(out.filePath(QStringLiteral("notes.md")));
    ASSERT_TRUE(md.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(md.readAll()).contains(QStringLiteral("メモ: 試験に出る")));
    drawn.clear();
    list->mainTab()->setCurrentIndex(2);
    ASSERT_TRUE(waitUntil([&] {
        return list->memoTable()->isVisible()
            && list->memoTable()->visualRect(list->memoTable()->model()->index(0, 0)).height() > 0;
    }));
    list->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/reader-annotation-list.png"));
    // One click on the memo's row goes to its page.
    QSignalSpy chosen(list, &ReaderBookMarkVC::recordChosen);
    const QRect row = list->memoTable()->visualRect(list->memoTable()->model()->index(0, 0));
    ASSERT_TRUE(list->memoTable()->viewport()->rect().contains(row.center()));
    QTest::mouseClick(list->memoTable()->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(chosen.count(), 1);
    EXPECT_FALSE(list->isVisible());
    ASSERT_TRUE(waitUntil([&] { return drawn.count() > 0; }, 30000));
    EXPECT_EQ(reader->page(), page);
    EXPECT_EQ(drawn.last().first().toInt(), 1);
    EXPECT_TRUE(a->bookmarkAction()->isChecked());
    EXPECT_GT(marksInPage(reader), 0);

    // Deleting the highlight with its memo.
    done.clear();
    a->delmemo(target);
    ASSERT_TRUE(waitUntil([&] { return !done.isEmpty(); }));
    EXPECT_TRUE(waitUntil([&] { return marksInPage(reader) == 0; }));
    EXPECT_TRUE(library().annotations().findAllMemoByBookID(1).isEmpty());
}

} // namespace
