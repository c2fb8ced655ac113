// The PDF view's zoom: its range, the zoom slider's scale, and the steps
// of the zoom keys, the wheel and the pinch.
//
// The slider runs from 0 to 20; 10 is the page at its size (scale 1.0).
// Above 10 each unit adds 0.3 (20 gives 4.0), below 10 each unit takes
// 0.09 (0 gives 0.1).
//
// Plain functions; any thread.
#pragma once

class PdfZoom
{
public:
    static constexpr double kMinScale = 0.1;
    static constexpr double kMaxScale = 4.0;
    static constexpr double kMinSlider = 0;
    static constexpr double kMaxSlider = 20;

    // The scale of slider value `value` (clamped to the slider's range).
    static double scaleForSlider(double value);
    // The slider value of `scale` (clamped to the zoom's range).
    static double sliderForScale(double scale);
    // `scale` within the zoom's range; 1.0 for a value that is no number.
    static double clampScale(double scale);

    // The next larger and smaller of the zoom keys' steps (10% to 400%,
    // 300% among them); the end of the range stays.
    static double zoomIn(double scale);
    static double zoomOut(double scale);
    // After a turn of the wheel with Ctrl held, by `angleDelta` eighths of a
    // degree (120 a notch): 10% more or less per notch.
    static double wheel(double scale, int angleDelta);
    // After a pinch that grew the distance between the fingers by `factor`.
    static double pinch(double scale, double factor);
};
