#include "ImageViewer.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{
constexpr double kStep = 1.25;
constexpr double kMinScale = 1.0 / 16;
constexpr double kMaxScale = 16.0;
}

ImageViewer::ImageViewer(const QImage &image, QWidget *over)
    : QWidget(over)
    , m_image(image)
{
    setObjectName(QStringLiteral("imageViewer"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    auto *bar = new QHBoxLayout;
    auto button = [&](const QString &text, const QString &tip, auto slot) {
        auto *b = new QToolButton(this);
        b->setText(text);
        b->setToolTip(tip);
        connect(b, &QToolButton::clicked, this, slot);
        bar->addWidget(b);
        return b;
    };
    button(QStringLiteral("−"), QStringLiteral("縮小"), [this] { tapZoom(0); });
    button(QStringLiteral("+"), QStringLiteral("拡大"), [this] { tapZoom(1); });
    bar->addStretch();
    button(QStringLiteral("閉じる"), QStringLiteral("閉じる (Esc)"), [this] { closeImageShow(); });

    m_label = new QLabel;
    m_label->setAlignment(Qt::AlignCenter);
    m_area = new QScrollArea(this);
    m_area->setFrameShape(QFrame::NoFrame);
    m_area->setAlignment(Qt::AlignCenter);
    m_area->setWidget(m_label);
    m_area->setPalette(white);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(bar);
    layout->addWidget(m_area, 1);

    over->installEventFilter(this);
    setGeometry(over->rect());
    setFocusPolicy(Qt::StrongFocus);
    show();
    raise();
    setFocus();
    layout->activate();
    fit();
}

void ImageViewer::fit()
{
    const QSize room
        = m_area->viewport()->size().isEmpty() ? size() - QSize(12, 48) : m_area->viewport()->size();
    if (m_image.width() <= 0 || m_image.height() <= 0 || room.isEmpty()) {
        m_scale = 1.0;
    } else {
        m_scale = std::min(double(room.width()) / m_image.width(), double(room.height()) / m_image.height());
        m_scale = std::clamp(m_scale, kMinScale, kMaxScale);
    }
    showScaled();
}

void ImageViewer::showScaled()
{
    const QSize size = (QSizeF(m_image.size()) * m_scale).toSize().expandedTo(QSize(1, 1));
    m_label->setPixmap(
        QPixmap::fromImage(m_image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    m_label->resize(size);
}

void ImageViewer::tapZoom(int segment)
{
    m_scale = std::clamp(segment == 0 ? m_scale / kStep : m_scale * kStep, kMinScale, kMaxScale);
    showScaled();
}

void ImageViewer::closeImageShow()
{
    close();
}

bool ImageViewer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void ImageViewer::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        closeImageShow();
    else if (event->matches(QKeySequence::ZoomIn) || event->key() == Qt::Key_Plus)
        tapZoom(1);
    else if (event->matches(QKeySequence::ZoomOut) || event->key() == Qt::Key_Minus)
        tapZoom(0);
    else
        QWidget::keyPressEvent(event);
}
