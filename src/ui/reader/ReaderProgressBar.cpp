#include "ReaderProgressBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <cmath>

ReaderProgressBar::ReaderProgressBar(QWidget *parent)
    : QWidget(parent)
    , m_chapter(new QLabel(this))
    , m_slider(new QSlider(Qt::Horizontal, this))
    , m_percent(new QLabel(this))
{
    setObjectName(QStringLiteral("progressBar"));
    // One line under the book; the book takes the rest of the height.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // Its own background in the reader's palette: under a reading theme the
    // window around it keeps the desktop's.
    setAutoFillBackground(true);
    m_chapter->setObjectName(QStringLiteral("chapterTitle"));
    m_chapter->setMinimumWidth(80);
    m_chapter->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_slider->setObjectName(QStringLiteral("progressSlider"));
    m_slider->setRange(0, kSteps);
    m_slider->setPageStep(kSteps / 20);
    // A move is asked for when the slider is let go, not at every step of
    // a drag.
    m_slider->setTracking(false);
    m_slider->setEnabled(false);
    m_slider->setAccessibleName(QStringLiteral("読書位置"));
    m_percent->setObjectName(QStringLiteral("progressShare"));
    m_percent->setMinimumWidth(m_percent->fontMetrics().horizontalAdvance(QStringLiteral("100.0 %")));
    m_percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 2, 8, 2);
    layout->addWidget(m_chapter, 2);
    layout->addWidget(m_slider, 3);
    layout->addWidget(m_percent);
    connect(m_slider, &QSlider::sliderMoved, this, [this](int value) { showShare(double(value) / kSteps); });
    connect(m_slider, &QSlider::valueChanged, this, [this](int value) {
        if (m_progress)
            emit placeChosen(m_progress->placeAt(double(value) / kSteps));
    });
}

void ReaderProgressBar::setProgress(const BookProgress &progress)
{
    m_progress = progress;
    m_slider->setEnabled(!progress.isEmpty());
    setPlace(m_place, m_chapter->text());
}

void ReaderProgressBar::setPlace(const ReadingPlace &place, const QString &chapterTitle)
{
    m_place = place;
    m_chapter->setText(chapterTitle);
    m_chapter->setToolTip(chapterTitle);
    if (const auto s = share()) {
        if (!m_slider->isSliderDown()) {
            const QSignalBlocker quiet(m_slider);
            m_slider->setValue(int(std::lround(*s * kSteps)));
        }
        showShare(*s);
    } else {
        m_percent->clear();
    }
}

std::optional<double> ReaderProgressBar::share() const
{
    if (!m_progress || m_progress->isEmpty())
        return std::nullopt;
    return m_progress->share(m_place);
}

QString ReaderProgressBar::shareText() const
{
    return m_percent->text();
}

void ReaderProgressBar::showShare(double share)
{
    // Never 100 % before the end: rounded down.
    m_percent->setText(QStringLiteral("%1 %").arg(std::floor(share * 1000.0) / 10.0, 0, 'f', 1));
}
