// The PDF view's zoom, reading direction and the state kept per book.
#include "core/platform/UserDefaults.h"
#include "core/reader/PdfViewState.h"
#include "core/reader/PdfZoom.h"
#include "core/reader/ReadingDirection.h"
#include "core/reader/StayTimeCounter.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace
{

TEST(PdfZoom, SliderAndScaleMapBothWays)
{
    struct Case {
        double slider;
        double scale;
    };
    const Case cases[]
        = { { 0, 0.1 }, { 5, 0.55 }, { 9, 0.91 }, { 10, 1.0 }, { 11, 1.3 }, { 15, 2.5 }, { 20, 4.0 } };
    for (const Case &c : cases) {
        EXPECT_NEAR(PdfZoom::scaleForSlider(c.slider), c.scale, 1e-9) << "slider " << c.slider;
        EXPECT_NEAR(PdfZoom::sliderForScale(c.scale), c.slider, 1e-9) << "scale " << c.scale;
    }
    // Out of range: the ends.
    EXPECT_NEAR(PdfZoom::scaleForSlider(-3), 0.1, 1e-9);
    EXPECT_NEAR(PdfZoom::scaleForSlider(99), 4.0, 1e-9);
    EXPECT_NEAR(PdfZoom::sliderForScale(0.01), 0, 1e-9);
    EXPECT_NEAR(PdfZoom::sliderForScale(12), 20, 1e-9);
    EXPECT_EQ(PdfZoom::scaleForSlider(std::numeric_limits<double>::quiet_NaN()), 1.0);
}

TEST(PdfZoom, KeysWheelAndPinchStepWithinTheRange)
{
    struct Case {
        const char *what;
        double got;
        double want;
    };
    const Case cases[] = {
        { "in from 1", PdfZoom::zoomIn(1.0), 1.25 },
        { "in from between steps", PdfZoom::zoomIn(1.1), 1.25 },
        { "in to 300%", PdfZoom::zoomIn(2.5), 3.0 },
        { "in at the top", PdfZoom::zoomIn(4.0), 4.0 },
        { "out from 1", PdfZoom::zoomOut(1.0), 0.75 },
        { "out from between steps", PdfZoom::zoomOut(2.2), 2.0 },
        { "out at the bottom", PdfZoom::zoomOut(0.1), 0.1 },
        { "wheel up a notch", PdfZoom::wheel(1.0, 120), 1.1 },
        { "wheel down two notches", PdfZoom::wheel(1.0, -240), 1.0 / 1.21 },
        { "wheel past the top", PdfZoom::wheel(3.9, 1200), 4.0 },
        { "pinch", PdfZoom::pinch(2.0, 1.5), 3.0 },
        { "pinch of no size", PdfZoom::pinch(2.0, 0), 2.0 },
        { "pinch past the bottom", PdfZoom::pinch(0.2, 0.1), 0.1 },
    };
    for (const Case &c : cases)
        EXPECT_NEAR(c.got, c.want, 1e-9) << c.what;
}

TEST(ReadingDirection, StepsFollowTheDirection)
{
    struct Case {
        std::optional<QString> stored;
        int segment; // the pop-over's
        int back; // step of the back button
        int forward;
        int viewNext;
        const char *logWord;
    };
    const Case cases[] = {
        { QStringLiteral("0"), 0, +1, -1, -1, "「右開き」" },
        { QStringLiteral("1"), 1, -1, +1, +1, "「左開き」" },
        { std::nullopt, 1, -1, +1, +1, "「左開き」" },
        { QStringLiteral("x"), 1, -1, +1, +1, "「左開き」" },
    };
    for (const Case &c : cases) {
        const bool right = ReadingDirection::isRightOpening(c.stored);
        const QString row = c.stored.value_or(QStringLiteral("(none)"));
        EXPECT_EQ(ReadingDirection::segmentFor(c.stored), c.segment) << row.toStdString();
        EXPECT_EQ(ReadingDirection::step(right, 0), c.back) << row.toStdString();
        EXPECT_EQ(ReadingDirection::step(right, 1), c.forward) << row.toStdString();
        EXPECT_EQ(ReadingDirection::viewStep(right, +1), c.viewNext) << row.toStdString();
        EXPECT_EQ(ReadingDirection::logWord(right), QString::fromUtf8(c.logWord)) << row.toStdString();
    }
}

TEST(ReadingDirection, TurningStaysWithinTheBook)
{
    struct Case {
        int page, step, count, want;
    };
    const Case cases[] = { { 0, -1, 5, 0 }, { 4, +1, 5, 4 }, { 2, +1, 5, 3 }, { 2, -1, 5, 1 },
        { 0, +1, 0, 0 }, { 9, -1, 5, 4 } };
    for (const Case &c : cases)
        EXPECT_EQ(ReadingDirection::turn(c.page, c.step, c.count), c.want)
            << c.page << " " << c.step << " of " << c.count;
}

TEST(ReadingDirection, TheChoiceIsKeptUnderTheBooksKey)
{
    UserDefaults::remove(QStringLiteral("directionUD-book-7"));
    ReadingDirection first(QStringLiteral("book-7"));
    EXPECT_EQ(first.directionUD(), QStringLiteral("directionUD-book-7"));
    EXPECT_FALSE(first.rightOpening()) << "left-opening by default";
    first.choose(0);
    EXPECT_EQ(UserDefaults::stringForKey(QStringLiteral("directionUD-book-7")), QStringLiteral("0"));
    EXPECT_TRUE(ReadingDirection(QStringLiteral("book-7")).rightOpening());
    first.choose(5); // no such segment
    EXPECT_EQ(UserDefaults::stringForKey(QStringLiteral("directionUD-book-7")), QStringLiteral("0"));
    first.choose(1);
    EXPECT_EQ(ReadingDirection(QStringLiteral("book-7")).segment(), 1);

    ReadingDirection noId { QString() };
    EXPECT_TRUE(noId.directionUD().isEmpty());
    noId.choose(0);
    EXPECT_TRUE(noId.rightOpening()) << "kept while the book is open";
    EXPECT_FALSE(UserDefaults::value(QStringLiteral("directionUD-")).isValid()) << "never stored";
}

TEST(PdfViewState, KeptPerBookFile)
{
    const QString path = QStringLiteral("/contents/図譜 1.pdf");
    UserDefaults::remove(PdfViewState::keyFor(path));
    EXPECT_FALSE(PdfViewState::load(path));
    const PdfViewState kept { 12, 2.5, 7, PdfViewState::Fit::Width, 0.375 };
    PdfViewState::save(path, kept);
    EXPECT_EQ(PdfViewState::load(path), kept);
    EXPECT_EQ(PdfViewState::load(QStringLiteral("/elsewhere/図譜 1.pdf")), kept) << "by file name";
    EXPECT_FALSE(PdfViewState::load(QStringLiteral("/contents/other.pdf")));
}

TEST(PdfViewState, StoredTextIsCheckedAndBroughtIntoRange)
{
    struct Case {
        const char *json;
        std::optional<PdfViewState> want;
    };
    const Case cases[] = {
        { R"({"pageCount":3,"zoom":9,"page":8,"fit":"page"})",
            PdfViewState { 3, 4.0, 2, PdfViewState::Fit::Page } },
        { R"({"pageCount":-1,"zoom":"x","page":-4,"fit":"odd"})",
            PdfViewState { 0, 1.0, 0, PdfViewState::Fit::None } },
        { R"({"pageCount":3,"page":1,"offset":1.7})",
            PdfViewState { 3, 1.0, 1, PdfViewState::Fit::None, 1.0 } },
        { R"({"pageCount":3,"page":1,"offset":-2})",
            PdfViewState { 3, 1.0, 1, PdfViewState::Fit::None, 0.0 } },
        { R"({"pageCount":3,"page":1,"offset":"half"})",
            PdfViewState { 3, 1.0, 1, PdfViewState::Fit::None } },
        { "[1,2]", std::nullopt },
        { "not json", std::nullopt },
    };
    for (const Case &c : cases)
        EXPECT_EQ(PdfViewState::fromJson(QString::fromUtf8(c.json)), c.want) << c.json;
}

TEST(PdfViewState, ReopeningUsesTheRecordsPageAndTheKeptZoom)
{
    const PdfViewState kept { 10, 3.0, 6, PdfViewState::Fit::Page, 0.5 };
    struct Case {
        const char *what;
        std::optional<PdfViewState> kept;
        int lastPage;
        int pageCount;
        PdfViewState want;
    };
    const Case cases[] = {
        { "record's page", kept, 4, 10, { 10, 3.0, 4, PdfViewState::Fit::Page } },
        { "kept page without a record", kept, -1, 10, { 10, 3.0, 6, PdfViewState::Fit::Page, 0.5 } },
        { "record's page is the kept one", kept, 6, 10, { 10, 3.0, 6, PdfViewState::Fit::Page, 0.5 } },
        { "file replaced: zoom only", kept, -1, 5, { 5, 3.0, 0, PdfViewState::Fit::Page } },
        { "page past the end", kept, 30, 10, { 10, 3.0, 9, PdfViewState::Fit::Page } },
        { "nothing kept", std::nullopt, 2, 10, { 10, 1.0, 2, PdfViewState::Fit::None } },
        { "no pages", std::nullopt, 2, 0, { 0, 1.0, 0, PdfViewState::Fit::None } },
    };
    for (const Case &c : cases)
        EXPECT_EQ(PdfViewState::reopen(c.kept, c.lastPage, c.pageCount), c.want) << c.what;
}

TEST(StayTimePage, APdfPageIsLoggedByItsIndex)
{
    const StayTimePage p
        = StayTimePage::pdfPage(QStringLiteral("m1"), QStringLiteral("a"), QStringLiteral("t"), 4);
    EXPECT_EQ(p.manifestID, QStringLiteral("4"));
    EXPECT_TRUE(p.naviTitle.isEmpty());
    EXPECT_EQ(p.pageIndex, 4);
}

} // namespace
