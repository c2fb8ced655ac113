#include "MemoPopover.h"

#include "core/reader/ReaderAnnotations.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

MemoPopover::MemoPopover(QWidget *parent)
    : QFrame(parent, Qt::Popup)
    , m_date(new QLabel(this))
    , m_text(new QPlainTextEdit(this))
    , m_save(new QPushButton(QStringLiteral("保存"), this))
    , m_delete(new QPushButton(QStringLiteral("削除"), this))
{
    setObjectName(QStringLiteral("memoPopover"));
    setFrameShape(QFrame::StyledPanel);
    m_date->setObjectName(QStringLiteral("memoDate"));
    m_text->setObjectName(QStringLiteral("memoText"));
    m_text->setPlaceholderText(QStringLiteral("メモを入力"));
    m_text->setTabChangesFocus(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_date);
    layout->addWidget(m_text);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_delete);
    buttons->addStretch();
    buttons->addWidget(m_save);
    layout->addLayout(buttons);
    resize(320, 220);
    m_save->setDefault(true);
    m_save->setToolTip(QStringLiteral("保存 (Ctrl+Enter)"));
    auto *saveKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), this);
    connect(saveKey, &QShortcut::activated, m_save, &QPushButton::click);
    connect(m_save, &QPushButton::clicked, this, [this] {
        if (m_record)
            emit saveRequested(*m_record, m_text->toPlainText());
        dismiss();
    });
    connect(m_delete, &QPushButton::clicked, this, [this] {
        if (m_record)
            emit deleteRequested(*m_record);
        dismiss();
    });
}

void MemoPopover::showFor(const BookHighlightMemo &record, const QString &sel, const QPoint &globalPos)
{
    m_record = record;
    m_sel = sel;
    m_date->setText(ReaderAnnotations::timeText(record.updateTime));
    m_text->setPlainText(record.memotext.value_or(QString()));
    move(globalPos);
    show();
    m_text->setFocus();
}

void MemoPopover::dismiss()
{
    m_record.reset();
    m_sel.clear();
    hide();
}
