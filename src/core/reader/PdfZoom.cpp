#include "PdfZoom.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace
{
constexpr std::array kSteps { 0.1, 0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 2.5, 3.0, 4.0 };
constexpr double kEpsilon = 1e-6;
} // namespace

double PdfZoom::clampScale(double scale)
{
    if (!std::isfinite(scale))
        return 1.0;
    return std::clamp(scale, kMinScale, kMaxScale);
}

double PdfZoom::scaleForSlider(double value)
{
    if (!std::isfinite(value))
        return 1.0;
    value = std::clamp(value, kMinSlider, kMaxSlider);
    if (value > 10)
        return 1.0 + (value - 10) * 0.3;
    if (value < 10)
        return 1.0 - (10 - value) * 0.09;
    return 1.0;
}

double PdfZoom::sliderForScale(double scale)
{
    scale = clampScale(scale);
    if (scale > 1)
        return 10 + (scale - 1) / 0.3;
    if (scale < 1)
        return 10 - (1 - scale) / 0.09;
    return 10;
}

double PdfZoom::zoomIn(double scale)
{
    scale = clampScale(scale);
    for (double s : kSteps)
        if (s > scale + kEpsilon)
            return s;
    return kMaxScale;
}

double PdfZoom::zoomOut(double scale)
{
    scale = clampScale(scale);
    for (auto it = kSteps.rbegin(); it != kSteps.rend(); ++it)
        if (*it < scale - kEpsilon)
            return *it;
    return kMinScale;
}

double PdfZoom::wheel(double scale, int angleDelta)
{
    return clampScale(clampScale(scale) * std::pow(1.1, angleDelta / 120.0));
}

double PdfZoom::pinch(double scale, double factor)
{
    if (!std::isfinite(factor) || factor <= 0)
        return clampScale(scale);
    return clampScale(clampScale(scale) * factor);
}
