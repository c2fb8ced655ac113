// The contrast of text against what lies behind it, as the WCAG defines it:
// relative luminance of sRGB colours and the ratio (L1 + 0.05) / (L2 + 0.05)
// of the lighter to the darker, from 1 (the same) to 21 (black on white).
// measure() reads it off a picture: the background is the colour most
// pixels of the area have, the text the pixel that differs most from it.
// Any thread; no state.
#pragma once

#include <QColor>
#include <QHash>
#include <QImage>
#include <QRect>
#include <cmath>
#include <optional>

class ContrastMeter
{
public:
    struct Sample {
        QColor background;
        QColor text;
        double ratio = 1.0;
    };

    static double relativeLuminance(const QColor &c)
    {
        auto linear = [](int channel) {
            const double v = channel / 255.0;
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue());
    }

    static double ratio(const QColor &a, const QColor &b)
    {
        const double la = relativeLuminance(a);
        const double lb = relativeLuminance(b);
        return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
    }

    // The text and background colours inside `area` (in the image's pixels)
    // and their ratio; empty when the area holds no pixel of the image.
    static std::optional<Sample> measure(const QImage &image, const QRect &area)
    {
        const QRect r = area.intersected(image.rect());
        if (r.isEmpty())
            return std::nullopt;
        const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
        QHash<QRgb, int> counts;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
            for (int x = r.left(); x <= r.right(); ++x)
                ++counts[line[x] | 0xff000000u];
        }
        QRgb background = 0;
        int most = -1;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            if (it.value() > most) {
                most = it.value();
                background = it.key();
            }
        Sample s;
        s.background = QColor(background);
        s.text = s.background;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
            const double v = ratio(QColor(it.key()), s.background);
            if (v > s.ratio) {
                s.ratio = v;
                s.text = QColor(it.key());
            }
        }
        return s;
    }
};
