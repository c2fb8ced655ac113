#include "PdfDirectionPopover.h"

#include "core/reader/ReadingDirection.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

PdfDirectionPopover::PdfDirectionPopover(ReadingDirection &direction, QWidget *parent)
    : QWidget(parent, Qt::Popup)
    , m_direction(direction)
    , m_segments(new QButtonGroup(this))
{
    setObjectName(QStringLiteral("pdfDirectionPopover"));
    auto *column = new QVBoxLayout(this);
    column->addWidget(new QLabel(QStringLiteral("ページをめくる方向"), this));
    auto *row = new QHBoxLayout;
    column->addLayout(row);
    const struct {
        int id;
        const char *text;
    } segments[] = { { ReadingDirection::kRightOpeningSegment, "右開き" },
        { ReadingDirection::kLeftOpeningSegment, "左開き" } };
    for (const auto &s : segments) {
        auto *b = new QToolButton(this);
        b->setText(QString::fromUtf8(s.text));
        b->setCheckable(true);
        b->setObjectName(QStringLiteral("directionSegment%1").arg(s.id));
        m_segments->addButton(b, s.id);
        row->addWidget(b);
    }
    m_segments->setExclusive(true);
    connect(m_segments, &QButtonGroup::idClicked, this, [this](int id) {
        m_direction.choose(id);
        emit segmentChosen(id);
        close();
    });
}

void PdfDirectionPopover::showBelow(QWidget *anchor)
{
    if (QAbstractButton *b = m_segments->button(m_direction.segment()))
        b->setChecked(true);
    adjustSize();
    if (anchor)
        move(anchor->mapToGlobal(QPoint(0, anchor->height())));
    show();
    if (QAbstractButton *b = m_segments->checkedButton())
        b->setFocus();
}
