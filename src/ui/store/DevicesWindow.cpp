#include "DevicesWindow.h"

#include "core/store/DevicesWindowLogic.h"

#include <QGridLayout>
#include <QVBoxLayout>

DevicesWindow::DevicesWindow(DevicesWindowLogic &logic, QWidget *parent)
    : QDialog(parent)
    , m_logic(logic)
{
    setObjectName(QStringLiteral("DevicesWindow"));
    setWindowTitle(QStringLiteral("登録端末"));
    setWindowModality(Qt::WindowModal);
    auto *layout = new QVBoxLayout(this);
    auto *intro = new QLabel(
        QStringLiteral("ご利用の端末数が上限に達しています。解除する端末を選んでください。"), this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto *grid = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        m_labels[i] = new QLabel(this);
        m_labels[i]->setObjectName(QStringLiteral("lbl%1").arg(i + 1));
        m_buttons[i] = new QPushButton(QStringLiteral("解除"), this);
        m_buttons[i]->setObjectName(QStringLiteral("release%1").arg(i + 1));
        grid->addWidget(m_labels[i], i, 0);
        grid->addWidget(m_buttons[i], i, 1);
        connect(m_buttons[i], &QPushButton::clicked, this, [this, i] { m_logic.unlock(i); });
    }
    layout->addLayout(grid);
    auto *cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(cancel, &QPushButton::clicked, this, [this] { m_logic.tapCancel(); });
    layout->addWidget(cancel, 0, Qt::AlignRight);
    resize(460, 220);
}

void DevicesWindow::redisp()
{
    const QStringList labels = m_logic.redisp();
    for (int i = 0; i < 3; ++i) {
        m_labels[i]->setText(labels.value(i));
        m_buttons[i]->setEnabled(!labels.value(i).isEmpty());
    }
}
