// The PDF pane in a real window: turning pages by the reading direction,
// zoom by keys, wheel and slider, the zoom bar's clicks, fit modes, text
// selection and the kept view state.
#include "ui/reader/PdfPane.h"
#include "core/platform/ConfigDictionary.h"
#include "core/platform/UserDefaults.h"
#include "core/reader/PdfZoom.h"
#include "support/PdfMaker.h"
#include "support/Wait.h"
#include "ui/reader/PdfDirectionPopover.h"
#include "ui/reader/PdfZoomBar.h"
#include "ui/reader/QLBPDFReaderView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QGuiApplication>
#include <QNativeGestureEvent>
#include <QPdfDocument>
#include <QPointingDevice>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <memory>

namespace
{

class PdfPaneTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_path = m_dir.filePath(QStringLiteral("book.pdf"));
        ASSERT_TRUE(makePdf(m_path, 6));
        UserDefaults::remove(QStringLiteral("directionUD-pane-book"));
        open();
    }
    void open()
    {
        m_window = std::make_unique<QWidget>();
        m_window->resize(900, 700);
        m_pane = new PdfPane(m_path, m_config, QStringLiteral("pane-book"), m_window.get());
        m_pane->resize(m_window->size());
        m_window->show();
        ASSERT_TRUE(
            waitUntil([&] { return m_pane->isVisible() && m_pane->view()->viewport()->width() > 100; }));
    }
    QWidget *viewport() const { return m_pane->view()->viewport(); }

    QTemporaryDir m_dir;
    ConfigDictionary m_config { m_dir.filePath(QStringLiteral("config.plist")) };
    QString m_path;
    std::unique_ptr<QWidget> m_window;
    PdfPane *m_pane = nullptr;
};

TEST_F(PdfPaneTest, TurningFollowsTheReadingDirectionAndStopsAtTheEnds)
{
    ASSERT_EQ(m_pane->pageCount(), 6);
    struct Step {
        const char *what;
        std::function<void()> act;
        int page;
    };
    const Step steps[] = {
        { "back on the first page stays", [&] { m_pane->tapDir(0); }, 0 },
        { "forward, left-opening", [&] { m_pane->tapDir(1); }, 1 },
        { "view's next page", [&] { m_pane->view()->goToNextPage(); }, 2 },
        { "right-opening chosen in the pop-over",
            [&] {
                m_pane->showDirectionPopover(m_pane);
                m_pane->directionPopover()->segments()->button(0)->click();
            },
            2 },
        { "forward goes to the lower page", [&] { m_pane->tapDir(1); }, 1 },
        { "view's next page too", [&] { m_pane->view()->goToNextPage(); }, 0 },
        { "forward on the first page stays", [&] { m_pane->tapDir(1); }, 0 },
        { "back goes up", [&] { m_pane->tapDir(0); }, 1 },
        { "view's previous page goes up", [&] { m_pane->view()->goToPreviousPage(); }, 2 },
        { "far end", [&] { m_pane->goToPage(5); }, 5 },
        { "back at the far end stays", [&] { m_pane->tapDir(0); }, 5 },
    };
    for (const Step &s : steps) {
        s.act();
        EXPECT_EQ(m_pane->page(), s.page) << s.what;
        EXPECT_EQ(m_pane->view()->currentPage(), s.page) << s.what;
    }
    EXPECT_EQ(UserDefaults::stringForKey(QStringLiteral("directionUD-pane-book")), QStringLiteral("0"));
    EXPECT_FALSE(m_pane->directionPopover()->isVisible()) << "closed by the choice";
    m_pane->showDirectionPopover(m_pane);
    EXPECT_TRUE(m_pane->directionPopover()->segments()->button(0)->isChecked()) << "the stored choice";
    m_pane->directionPopover()->close();
}

TEST_F(PdfPaneTest, ZoomStepsShowTheSliderAtTheirScale)
{
    EXPECT_FALSE(m_pane->zoomBarShown()) << "hidden at first";
    EXPECT_DOUBLE_EQ(m_pane->scale(), 1.0);
    QSlider *slider = m_pane->zoomBar()->slider();
    struct Step {
        const char *what;
        std::function<void()> act;
        double scale;
    };
    const Step steps[] = {
        { "zoom in", [&] { m_pane->zoomIn(); }, 1.25 },
        { "zoom out twice",
            [&] {
                m_pane->zoomOut();
                m_pane->zoomOut();
            },
            0.75 },
        { "back to 1.0", [&] { m_pane->zoomDefault(); }, 1.0 },
        { "slider to 300%", [&] { slider->setValue(500); }, 3.0 },
        { "slider to the top", [&] { slider->setValue(slider->maximum()); }, 4.0 },
        { "slider to the bottom", [&] { slider->setValue(0); }, 0.1 },
        { "Ctrl+wheel a notch up",
            [&] {
                m_pane->zoomDefault();
                const QPointF at(viewport()->width() / 2.0, viewport()->height() / 2.0);
                QWheelEvent wheel(at, viewport()->mapToGlobal(at), {}, { 0, 120 }, Qt::NoButton,
                    Qt::ControlModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(viewport(), &wheel);
            },
            1.1 },
        { "a touchpad's pinch opening by half",
            [&] {
                m_pane->zoomDefault();
                const QPointF at(viewport()->width() / 2.0, viewport()->height() / 2.0);
                QNativeGestureEvent pinch(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2,
                    at, at, viewport()->mapToGlobal(at), 0.5, {});
                QApplication::sendEvent(viewport(), &pinch);
            },
            1.5 },
    };
    for (const Step &s : steps) {
        s.act();
        EXPECT_NEAR(m_pane->scale(), s.scale, 1e-6) << s.what;
        EXPECT_TRUE(m_pane->zoomBarShown()) << s.what;
        EXPECT_NEAR(
            slider->value() / double(PdfZoomBar::kTicksPerUnit), PdfZoom::sliderForScale(s.scale), 0.05)
            << s.what;
    }
}

TEST_F(PdfPaneTest, OneClickHidesTheSliderADoubleClickTogglesIt)
{
    m_pane->zoomIn();
    ASSERT_TRUE(m_pane->zoomBarShown());
    const QPoint at(viewport()->width() / 2, viewport()->height() / 2);
    // A double click as the window system delivers it: a click, then the
    // second press as a double click, then its release.
    auto doubleClick = [&] {
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(viewport(), Qt::LeftButton, {}, at);
    };
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at);
    EXPECT_FALSE(m_pane->zoomBarShown()) << "one click";
    doubleClick();
    EXPECT_TRUE(m_pane->zoomBarShown()) << "double click on a hidden slider";
    doubleClick();
    EXPECT_FALSE(m_pane->zoomBarShown()) << "double click on a shown slider";
}

TEST_F(PdfPaneTest, FitModesFollowTheViewAndLeaveOnAZoom)
{
    const double resolution = QGuiApplication::primaryScreen()->logicalDotsPerInch() / 72.0;
    m_pane->setFit(PdfViewState::Fit::Width);
    EXPECT_EQ(m_pane->fit(), PdfViewState::Fit::Width);
    EXPECT_TRUE(m_pane->zoomBar()->fitWidthButton()->isChecked());
    const double widthScale = m_pane->scale();
    EXPECT_NEAR(widthScale * 595 * resolution, viewport()->width() - 12, 4) << "page as wide as the view";
    m_pane->zoomBar()->fitPageButton()->click();
    EXPECT_EQ(m_pane->fit(), PdfViewState::Fit::Page);
    EXPECT_LE(m_pane->scale() * 842 * resolution, viewport()->height()) << "whole page in the view";
    EXPECT_LT(m_pane->scale(), widthScale);
    m_pane->zoomIn();
    EXPECT_EQ(m_pane->fit(), PdfViewState::Fit::None);
    EXPECT_FALSE(m_pane->zoomBar()->fitPageButton()->isChecked());
}

TEST_F(PdfPaneTest, TheViewStateComesBackOnReopening)
{
    m_pane->goToPage(4);
    m_pane->setScale(3.0);
    // Read down to two fifths of the page.
    QScrollBar *bar = m_pane->view()->verticalScrollBar();
    ASSERT_TRUE(waitUntil([&] { return bar->maximum() > 200; }));
    bar->setValue(bar->maximum() * 2 / 5);
    const PdfViewState left = m_pane->viewState();
    EXPECT_EQ(left, (PdfViewState { 6, 3.0, 4, PdfViewState::Fit::None, left.offset }));
    EXPECT_NEAR(left.offset, 0.4, 0.01);
    m_window.reset();
    open();
    m_pane->restore(left);
    EXPECT_EQ(m_pane->page(), 4);
    EXPECT_NEAR(m_pane->scale(), 3.0, 1e-9);
    EXPECT_FALSE(m_pane->zoomBarShown()) << "reopened without the slider";
    bar = m_pane->view()->verticalScrollBar();
    EXPECT_TRUE(waitUntil([&] {
        return bar->maximum() > 200 && std::abs(double(bar->value()) / bar->maximum() - 0.4) < 0.01;
    })) << bar->value()
        << " of " << bar->maximum();

    m_pane->restore({ 6, 1.0, 1, PdfViewState::Fit::Width });
    EXPECT_EQ(m_pane->viewState().fit, PdfViewState::Fit::Width);
    EXPECT_EQ(m_pane->page(), 1);
}

TEST_F(PdfPaneTest, DraggingOverTextSelectsItAndCopies)
{
    QLBPDFReaderView *view = m_pane->view();
    // "Page 1" sits 72 points in and 122 points down (24-point text); the
    // drag begins left of it and ends well past it.
    const QRectF page = view->pageRect();
    ASSERT_FALSE(page.isEmpty());
    const double k = page.width() / 595;
    const QPoint from = (page.topLeft() + QPointF(66 * k, 116 * k)).toPoint();
    const QPoint to = (page.topLeft() + QPointF(220 * k, 118 * k)).toPoint();
    QTest::mousePress(viewport(), Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, to, viewport()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(viewport(), &move);
    QTest::mouseRelease(viewport(), Qt::LeftButton, {}, to);
    EXPECT_TRUE(view->selectedText().contains(QStringLiteral("Page 1")))
        << view->selectedText().toStdString();
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(QGuiApplication::clipboard()->text().contains(QStringLiteral("Page 1")));
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, from);
    EXPECT_TRUE(view->selectedText().isEmpty()) << "a click clears it";
}

TEST(PdfPaneOutline, ARowLeadsToItsPlaceOnThePage)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("outlined.pdf"));
    ASSERT_TRUE(makePdf(
        path, 3, { { QStringLiteral("Start"), 0, {} }, { QStringLiteral("Low on page 2"), 1, {}, 600 } }));
    ConfigDictionary config(dir.filePath(QStringLiteral("config.plist")));
    QWidget window;
    window.resize(900, 700);
    auto *pane = new PdfPane(path, config, QString(), &window);
    pane->resize(window.size());
    window.show();
    ASSERT_TRUE(waitUntil([&] { return pane->isVisible(); }));
    pane->setScale(2.0);
    QTreeWidget *tree = pane->outlineTree();
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    emit tree->itemClicked(tree->topLevelItem(1), 0);
    EXPECT_EQ(pane->page(), 1);
    const QRectF shown = pane->view()->pageRect();
    const double headingY = shown.top() + 600 * shown.height() / 842;
    EXPECT_NEAR(headingY, 0, 30) << "the heading at the top of the view";
    emit tree->itemClicked(tree->topLevelItem(0), 0);
    EXPECT_EQ(pane->page(), 0);
}

// Hostile PDFs once took the reader down after their import (the PDF
// library's outline walk on the interface thread) or left the interface
// stuck in the library (a page tree with a cycle): now a broken outline
// gives one row per page, and a document that never opens a book of no
// pages, with the window still answering.
TEST(PdfPaneOutline, HostileDocumentsOpenWithoutTakingTheWindowDown)
{
    QTemporaryDir dir;
    const struct {
        const char *name;
        HostilePdf kind;
        int pages;
    } cases[] = {
        { "entry that is its own child", HostilePdf::SelfChild, 1 },
        { "cyclic next chain", HostilePdf::CyclicNext, 1 },
        { "60,000-deep outline", HostilePdf::DeepOutline, 1 },
        { "page tree that lists itself", HostilePdf::PageTreeCycle, 0 },
    };
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QStringLiteral("hostile%1.pdf").arg(++n));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(hostilePdf(c.kind));
        f.close();
        ConfigDictionary config(dir.filePath(QStringLiteral("config.plist")));
        QWidget window;
        window.resize(600, 500);
        auto *pane = new PdfPane(path, config, QString(), &window);
        pane->resize(window.size());
        window.show();
        ASSERT_TRUE(waitUntil([&] { return pane->isVisible(); }));
        EXPECT_EQ(pane->pageCount(), c.pages);
        QTreeWidget *tree = pane->outlineTree();
        ASSERT_EQ(tree->topLevelItemCount(), c.pages);
        if (c.pages > 0) {
            EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("ページ1"));
        }
        // The interface thread is free: a queued call runs.
        bool ran = false;
        QMetaObject::invokeMethod(
            pane, [&] { ran = true; }, Qt::QueuedConnection);
        EXPECT_TRUE(waitUntil([&] { return ran; }));
    }
}

} // namespace
