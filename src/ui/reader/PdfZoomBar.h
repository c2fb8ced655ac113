// The zoom slider of the PDF view, with the fit-width and fit-page buttons
// beside it: a small bar over the bottom of the page, hidden at first. The
// slider runs over PdfZoom's 0..20 in steps of 1/30 (its integer value is
// 30 times that), so 300% and the other keys' steps sit on it exactly.
//
// Main thread only.
#pragma once

#include "core/reader/PdfViewState.h"

#include <QWidget>

class QLabel;
class QSlider;
class QToolButton;

class PdfZoomBar : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kTicksPerUnit = 30;

    explicit PdfZoomBar(QWidget *parent = nullptr);

    QSlider *slider() const { return m_slider; }
    QToolButton *fitWidthButton() const { return m_fitWidth; }
    QToolButton *fitPageButton() const { return m_fitPage; }
    // Shows `scale` and the fit mode without announcing them back.
    void showScale(double scale, PdfViewState::Fit fit);

signals:
    // The person moved the slider or chose a fit mode.
    void scaleChosen(double scale);
    void fitChosen(PdfViewState::Fit fit);

private:
    QSlider *m_slider;
    QLabel *m_percent;
    QToolButton *m_fitWidth;
    QToolButton *m_fitPage;
};
