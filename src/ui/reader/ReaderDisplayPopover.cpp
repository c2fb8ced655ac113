#include "ReaderDisplayPopover.h"

#include <QAction>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

namespace
{

QWidget *buttonRow(const QList<QAction *> &actions, const char *name, QWidget *parent)
{
    auto *row = new QWidget(parent);
    row->setObjectName(QLatin1String(name));
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    for (QAction *action : actions) {
        auto *button = new QToolButton(row);
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        layout->addWidget(button);
    }
    layout->addStretch();
    return row;
}

} // namespace

ReaderDisplayPopover::ReaderDisplayPopover(const QList<QAction *> &themes, const QList<QAction *> &sizes,
    const QStringList &installed, QWidget *parent)
    : QFrame(parent, Qt::Popup)
    , m_family(new QComboBox(this))
    , m_lineSpacing(new QComboBox(this))
    , m_margin(new QComboBox(this))
    , m_lineWidth(new QComboBox(this))
    , m_reset(new QPushButton(QStringLiteral("標準に戻す"), this))
{
    setObjectName(QStringLiteral("displayPopover"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    m_family->setObjectName(QStringLiteral("fontFamily"));
    m_lineSpacing->setObjectName(QStringLiteral("lineSpacing"));
    m_margin->setObjectName(QStringLiteral("pageMargin"));
    m_lineWidth->setObjectName(QStringLiteral("lineWidth"));
    m_reset->setObjectName(QStringLiteral("resetTypography"));

    // Each choice names the face it uses, so the reader sees what the
    // desktop has.
    const auto familyText = [&](Typography::Family f, const QString &title) {
        const QString face = Typography::installedFace(f, installed);
        return face.isEmpty() ? title : QStringLiteral("%1 (%2)").arg(title, face);
    };
    m_family->addItem(QStringLiteral("本のまま"), int(Typography::Family::Book));
    m_family->addItem(
        familyText(Typography::Family::Mincho, QStringLiteral("明朝")), int(Typography::Family::Mincho));
    m_family->addItem(
        familyText(Typography::Family::Gothic, QStringLiteral("ゴシック")), int(Typography::Family::Gothic));
    for (const int v : Typography::lineSpacingChoices())
        m_lineSpacing->addItem(Typography::lineSpacingText(v), v);
    for (const int v : Typography::marginChoices())
        m_margin->addItem(Typography::marginText(v), v);
    for (const int v : Typography::lineWidthChoices())
        m_lineWidth->addItem(Typography::lineWidthText(v), v);

    auto *form = new QFormLayout(this);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->addRow(QStringLiteral("テーマ"), buttonRow(themes, "themeButtons", this));
    form->addRow(QStringLiteral("文字サイズ"), buttonRow(sizes, "sizeButtons", this));
    const auto addTypographyRow = [&](const QString &label, QWidget *field) {
        auto *title = new QLabel(label, this);
        title->setBuddy(field);
        form->addRow(title, field);
        m_typographyRows << title << field;
    };
    addTypographyRow(QStringLiteral("書体(&F)"), m_family);
    addTypographyRow(QStringLiteral("行間(&L)"), m_lineSpacing);
    addTypographyRow(QStringLiteral("余白(&M)"), m_margin);
    addTypographyRow(QStringLiteral("行の長さ(&W)"), m_lineWidth);
    form->addRow(QString(), m_reset);
    m_typographyRows << m_reset;

    for (QComboBox *box : { m_family, m_lineSpacing, m_margin, m_lineWidth })
        connect(box, &QComboBox::currentIndexChanged, this, &ReaderDisplayPopover::changed);
    connect(m_reset, &QPushButton::clicked, this, [this] {
        setTypography(Typography());
        emit typographyChanged(typography());
    });
    setTypography(Typography());
}

void ReaderDisplayPopover::select(QComboBox *box, int value, const QString &text)
{
    int i = box->findData(value);
    if (i < 0) {
        box->addItem(text, value);
        i = box->count() - 1;
    }
    box->setCurrentIndex(i);
}

void ReaderDisplayPopover::setTypography(const Typography &t)
{
    m_showing = true;
    select(m_family, int(t.family), Typography::familyKey(t.family));
    select(m_lineSpacing, t.lineSpacing, Typography::lineSpacingText(t.lineSpacing));
    select(m_margin, t.margin, Typography::marginText(t.margin));
    select(m_lineWidth, t.lineWidth, Typography::lineWidthText(t.lineWidth));
    m_showing = false;
}

Typography ReaderDisplayPopover::typography() const
{
    Typography t;
    t.family = Typography::Family(m_family->currentData().toInt());
    t.lineSpacing = m_lineSpacing->currentData().toInt();
    t.margin = m_margin->currentData().toInt();
    t.lineWidth = m_lineWidth->currentData().toInt();
    return t;
}

void ReaderDisplayPopover::changed()
{
    if (!m_showing)
        emit typographyChanged(typography());
}

void ReaderDisplayPopover::setTypographyEnabled(bool enabled)
{
    for (QWidget *w : m_typographyRows)
        w->setVisible(enabled);
    adjustSize();
}

void ReaderDisplayPopover::popup(QWidget *anchor)
{
    adjustSize();
    if (anchor) {
        QPoint at = anchor->mapToGlobal(QPoint(0, anchor->height()));
        if (const QScreen *screen = anchor->screen()) {
            const QRect room = screen->availableGeometry();
            at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - width())));
            at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() - height())));
        }
        move(at);
    }
    show();
    // The first control of the book's text, else the theme choices.
    if (m_family->isVisible())
        m_family->setFocus();
    else
        focusNextChild();
}
