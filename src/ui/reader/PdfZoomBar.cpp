#include "PdfZoomBar.h"

#include "core/reader/PdfZoom.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <cmath>

PdfZoomBar::PdfZoomBar(QWidget *parent)
    : QWidget(parent)
    , m_slider(new QSlider(Qt::Horizontal, this))
    , m_percent(new QLabel(this))
    , m_fitWidth(new QToolButton(this))
    , m_fitPage(new QToolButton(this))
{
    setObjectName(QStringLiteral("pdfZoomBar"));
    setAutoFillBackground(true);
    m_slider->setObjectName(QStringLiteral("pdfZoomSlider"));
    m_slider->setRange(int(PdfZoom::kMinSlider) * kTicksPerUnit, int(PdfZoom::kMaxSlider) * kTicksPerUnit);
    m_slider->setSingleStep(kTicksPerUnit / 2);
    m_slider->setPageStep(kTicksPerUnit * 2);
    m_slider->setMinimumWidth(220);
    m_slider->setAccessibleName(QStringLiteral("拡大率"));
    m_percent->setObjectName(QStringLiteral("pdfZoomPercent"));
    m_percent->setMinimumWidth(m_percent->fontMetrics().horizontalAdvance(QStringLiteral("400%")) + 4);
    m_fitWidth->setObjectName(QStringLiteral("pdfFitWidth"));
    m_fitWidth->setText(QStringLiteral("幅に合わせる"));
    m_fitPage->setObjectName(QStringLiteral("pdfFitPage"));
    m_fitPage->setText(QStringLiteral("ページに合わせる"));
    for (QToolButton *b : { m_fitWidth, m_fitPage })
        b->setCheckable(true);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 8, 4);
    row->addWidget(m_slider, 1);
    row->addWidget(m_percent);
    row->addWidget(m_fitWidth);
    row->addWidget(m_fitPage);
    connect(m_slider, &QSlider::valueChanged, this, [this](int ticks) {
        // To a thousandth: 300% is 3.0, not a hair under.
        const double scale = std::round(PdfZoom::scaleForSlider(double(ticks) / kTicksPerUnit) * 1000) / 1000;
        showScale(scale, PdfViewState::Fit::None);
        emit scaleChosen(scale);
    });
    connect(m_fitWidth, &QToolButton::clicked, this,
        [this](bool on) { emit fitChosen(on ? PdfViewState::Fit::Width : PdfViewState::Fit::None); });
    connect(m_fitPage, &QToolButton::clicked, this,
        [this](bool on) { emit fitChosen(on ? PdfViewState::Fit::Page : PdfViewState::Fit::None); });
    hide();
}

void PdfZoomBar::showScale(double scale, PdfViewState::Fit fit)
{
    {
        const QSignalBlocker block(m_slider);
        m_slider->setValue(int(std::lround(PdfZoom::sliderForScale(scale) * kTicksPerUnit)));
    }
    m_percent->setText(QStringLiteral("%1%").arg(std::lround(scale * 100)));
    m_fitWidth->setChecked(fit == PdfViewState::Fit::Width);
    m_fitPage->setChecked(fit == PdfViewState::Fit::Page);
}
