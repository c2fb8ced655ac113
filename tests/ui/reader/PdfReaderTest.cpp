// A PDF book in the reader screen: its outline column, zoom on the font-size
// buttons and keys, the direction button, and the book reopened as it was
// left.
#include "core/reader/PdfViewState.h"
#include "core/reader/ReadingTheme.h"
#include "ui/AppShellFixture.h"
#include "ui/reader/PdfPane.h"
#include "ui/reader/PdfZoomBar.h"
#include "ui/reader/QLBPDFReaderView.h"

#include <QSlider>
#include <QSplitter>

namespace
{

class PdfReaderTest : public AppShellTest
{
protected:
    // The sample atlas (4 pages) with its ".toc" file, on the shelf.
    ReaderVC *openAtlas()
    {
        m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("respiratory-atlas.pdf")));
        ReaderVC *reader = m_app->readerVC();
        EXPECT_TRUE(reader && reader->pdfPane());
        return reader;
    }
    void install()
    {
        launch();
        installSampleBook(QStringLiteral("respiratory-atlas.toc"));
        library().books().parsePDFBook(installSampleBook(QStringLiteral("respiratory-atlas.pdf")),
            { { QStringLiteral("bookId"), QStringLiteral("pdf-respiratory-atlas") },
                { QStringLiteral("bookTitle"), QStringLiteral("Respiratory Atlas") } });
    }
};

TEST_F(PdfReaderTest, OutlineRowsGoToTheirPagesAndFollowThePage)
{
    install();
    ReaderVC *reader = openAtlas();
    ASSERT_TRUE(reader && reader->pdfPane());
    PdfPane *pane = reader->pdfPane();
    QTreeWidget *outline = pane->outlineTree();
    ASSERT_EQ(outline->topLevelItemCount(), 4) << "the rows of the .toc file";
    EXPECT_EQ(outline->topLevelItem(0)->child(0)->text(0), QStringLiteral("Gas exchange"));
    EXPECT_EQ(reader->pageLabel()->text(), QStringLiteral("1/4"));

    QTreeWidgetItem *pharma = outline->topLevelItem(2);
    outline->scrollToItem(pharma);
    QTest::mouseClick(outline->viewport(), Qt::LeftButton, {}, outline->visualItemRect(pharma).center());
    EXPECT_EQ(reader->page(), 2);
    EXPECT_EQ(reader->pageLabel()->text(), QStringLiteral("3/4"));

    reader->tapDir(1);
    EXPECT_EQ(reader->page(), 3);
    ASSERT_TRUE(outline->currentItem());
    EXPECT_EQ(outline->currentItem()->text(0), QStringLiteral("Emergency Triage"))
        << "the row follows the page";
}

TEST_F(PdfReaderTest, FontSizeButtonsZoomAndTheBookReopensAsLeft)
{
    install();
    ReaderVC *reader = openAtlas();
    ASSERT_TRUE(reader && reader->pdfPane());
    EXPECT_TRUE(reader->directionAction()->isVisible());
    EXPECT_FALSE(reader->backAction()->isVisible());
    EXPECT_TRUE(reader->fontUpAction()->isVisible());

    PdfPane *pane = reader->pdfPane();
    // Keys reach the window's shortcuts once it is the active window.
    QWidget *window = reader->window();
    window->activateWindow();
    ASSERT_TRUE(waitUntil([&] { return pane->isVisible() && QApplication::activeWindow() == window; }));
    reader->fontUpAction()->trigger();
    EXPECT_NEAR(pane->scale(), 1.25, 1e-9);
    EXPECT_TRUE(pane->zoomBarShown());
    QTest::keyClick(pane->view(), Qt::Key_0, Qt::ControlModifier);
    EXPECT_NEAR(pane->scale(), 1.0, 1e-9) << "Ctrl+0";
    QTest::keyClick(pane->view(), Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_NEAR(pane->scale(), 0.75, 1e-9) << "Ctrl+-";
    pane->zoomBar()->slider()->setValue(500);
    EXPECT_NEAR(pane->scale(), 3.0, 1e-9) << "300% on the slider";
    m_app->window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/pdf-reader-zoomed.png"));
    reader->goToPage(2);

    QPointer<ReaderVC> left = reader;
    m_app->changeToShelf();
    ASSERT_TRUE(waitUntil([&] { return !left; })) << "the reader is released";
    EXPECT_NEAR(
        PdfViewState::load(QStringLiteral("respiratory-atlas.pdf")).value_or(PdfViewState {}).zoom, 3.0, 1e-9)
        << "kept on leaving";
    reader = openAtlas();
    ASSERT_TRUE(reader && reader->pdfPane());
    EXPECT_EQ(reader->page(), 2);
    EXPECT_EQ(reader->pageLabel()->text(), QStringLiteral("3/4"));
    EXPECT_NEAR(reader->pdfPane()->scale(), 3.0, 1e-9);
    EXPECT_FALSE(reader->pdfPane()->zoomBarShown());
}

TEST_F(PdfReaderTest, TheOutlineColumnKeepsItsWidth)
{
    install();
    ReaderVC *reader = openAtlas();
    ASSERT_TRUE(reader && reader->pdfPane());
    QSplitter *split = reader->pdfPane()->splitter();
    ASSERT_TRUE(waitUntil([&] { return split->isVisible() && split->width() > 600; }));
    EXPECT_NEAR(split->sizes().value(0), 240, 10) << "the default width";
    split->setSizes({ 400, split->width() - 400 });
    QPointer<ReaderVC> left = reader;
    m_app->changeToShelf();
    ASSERT_TRUE(waitUntil([&] { return !left; }));
    reader = openAtlas();
    ASSERT_TRUE(reader && reader->pdfPane());
    split = reader->pdfPane()->splitter();
    EXPECT_TRUE(waitUntil([&] {
        return split->isVisible() && std::abs(split->sizes().value(0) - 400) <= 10;
    })) << split->sizes().value(0);
}

// Night inverts the drawn pages (mostly white paper turns dark), day draws
// them as they are.
TEST_F(PdfReaderTest, APdfWithAnEpubNameOpensAsThePdfItIs)
{
    launch();
    installSampleBook(QStringLiteral("respiratory-atlas.pdf"), QStringLiteral("atlas.epub"));
    m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("atlas.epub")));
    ReaderVC *reader = m_app->readerVC();
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->book().format, BookFormat::Pdf);
    ASSERT_TRUE(reader->pdfPane()) << "the PDF pane, not an EPUB that cannot be read";
    EXPECT_EQ(reader->pane(), static_cast<ReaderPane *>(reader->pdfPane()));
    EXPECT_FALSE(reader->epubPane());
    EXPECT_EQ(reader->pdfPane()->pageCount(), 4);
    EXPECT_TRUE(reader->directionAction()->isVisible());
    // The theme reaches the page through the pane.
    reader->chooseReadingTheme(QStringLiteral("sepia"));
    EXPECT_EQ(reader->pdfPane()->view()->readingTheme(), ReadingTheme::Sepia);
    reader->chooseReadingTheme(QString());
    UserDefaults::remove(QString::fromLatin1(ReadingTheme::kDefaultsKey));
}

TEST_F(PdfReaderTest, NightThemeInvertsThePages)
{
    install();
    UserDefaults::remove(QString::fromLatin1(ReadingTheme::kDefaultsKey));
    ReaderVC *reader = openAtlas();
    ASSERT_TRUE(reader && reader->pdfPane());
    QLBPDFReaderView *view = reader->pdfPane()->view();
    // The average lightness of the view as drawn now.
    const auto lightness = [&] {
        const QImage shot = view->viewport()->grab().toImage();
        qint64 sum = 0;
        int n = 0;
        for (int y = 0; y < shot.height(); y += 7)
            for (int x = 0; x < shot.width(); x += 7, ++n)
                sum += QColor(shot.pixel(x, y)).lightness();
        return n ? int(sum / n) : -1;
    };
    view->setZoomMode(QPdfView::ZoomMode::FitInView); // the whole page, for the picture
    reader->chooseReadingTheme(QStringLiteral("day"));
    ASSERT_TRUE(waitUntil([&] { return lightness() > 150; })) << "the page rendered: " << lightness();
    reader->chooseReadingTheme(QStringLiteral("night"));
    EXPECT_EQ(view->readingTheme(), ReadingTheme::Night);
    // The page goes dark and, once rendered, its text shows light on it.
    const auto lightPixels = [&] {
        const QImage shot = view->viewport()->grab().toImage();
        int n = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                n += QColor(shot.pixel(x, y)).lightness() > 150;
        return n;
    };
    EXPECT_TRUE(waitUntil([&] { return lightness() < 100 && lightPixels() > 20; }))
        << lightness() << ", light pixels " << lightPixels();
    reader->pdfPane()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/reader-night-pdf.png"));
    reader->chooseReadingTheme(QString());
    UserDefaults::remove(QString::fromLatin1(ReadingTheme::kDefaultsKey));
}

} // namespace
