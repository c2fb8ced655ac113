// The contrast measure the gallery judges screens by: known colour pairs,
// and text drawn on a picture read back as its pair.
#include "support/ContrastMeter.h"

#include <QFont>
#include <QPainter>
#include <gtest/gtest.h>

namespace
{

TEST(ContrastMeterTest, KnownPairsGiveKnownRatios)
{
    const struct {
        QColor a, b;
        double ratio;
    } cases[] = {
        { Qt::black, Qt::white, 21.0 }, { Qt::white, Qt::white, 1.0 },
        { QColor(0x77, 0x77, 0x77), Qt::white, 4.478 }, // just below 4.5
        { QColor(0x76, 0x76, 0x76), Qt::white, 4.542 }, // just above
        { Qt::white, QColor(0x76, 0x76, 0x76), 4.542 }, // the order does not matter
        { QColor(255, 0, 0), Qt::white, 3.998 }, { QColor(0, 0, 255), Qt::white, 8.592 },
        { QColor(0x80, 0x80, 0x80), Qt::black, 5.317 },
        { QColor(0x2b, 0x2b, 0x2b), QColor(0x53, 0x53, 0x53), 1.841 }, // dark text on a dark board
    };
    for (const auto &c : cases) {
        SCOPED_TRACE((c.a.name() + u' ' + c.b.name()).toStdString());
        EXPECT_NEAR(ContrastMeter::ratio(c.a, c.b), c.ratio, 0.001);
    }
}

TEST(ContrastMeterTest, TextOnAPictureReadsAsItsColours)
{
    const struct {
        QColor text, background;
    } cases[] = {
        { Qt::black, Qt::white },
        { QColor(0x77, 0x77, 0x77), Qt::white },
        { QColor(0x20, 0x20, 0x20), QColor(0x5a, 0x3a, 0x1a) },
        { QColor(240, 240, 240), QColor(250, 250, 250) },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE((c.text.name() + u' ' + c.background.name()).toStdString());
        QImage image(200, 60, QImage::Format_RGB32);
        image.fill(c.background);
        QPainter p(&image);
        QFont font;
        font.setPixelSize(30);
        font.setBold(true);
        p.setFont(font);
        p.setPen(c.text);
        p.drawText(QRect(0, 0, 200, 60), Qt::AlignCenter, QStringLiteral("心筋 Ag"));
        p.end();
        // A frame line of another colour outside the area is not read.
        for (int x = 0; x < 200; ++x)
            image.setPixelColor(x, 0, Qt::red);
        const auto s = ContrastMeter::measure(image, QRect(0, 2, 200, 58));
        ASSERT_TRUE(s.has_value());
        EXPECT_EQ(s->background, c.background);
        // The glyphs' cores, give or take the rounding of their blending.
        EXPECT_NEAR(s->ratio, ContrastMeter::ratio(c.text, c.background), 0.01);
    }
    QImage image(10, 10, QImage::Format_RGB32);
    EXPECT_FALSE(ContrastMeter::measure(image, QRect(20, 20, 5, 5)).has_value()) << "outside the picture";
}

} // namespace
