#include "ShortcutsWindow.h"

#include "core/app/ShortcutCatalog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

ShortcutsWindow::ShortcutsWindow(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ShortcutsWindow"));
    setWindowTitle(QStringLiteral("キーボードショートカット"));
    const QList<ShortcutEntry> entries = ShortcutCatalog::all();
    m_table = new QTableWidget(int(entries.size()), 3, this);
    m_table->setObjectName(QStringLiteral("shortcutTable"));
    m_table->setAccessibleName(QStringLiteral("キーボードショートカット"));
    m_table->setHorizontalHeaderLabels(
        { QStringLiteral("画面"), QStringLiteral("操作"), QStringLiteral("キー") });
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < entries.size(); ++row) {
        const ShortcutEntry &e = entries.at(row);
        m_table->setItem(row, 0, new QTableWidgetItem(e.screen));
        m_table->setItem(row, 1, new QTableWidgetItem(e.action));
        QStringList keys;
        for (const QKeySequence &k : ShortcutCatalog::bindings(e))
            keys << k.toString(QKeySequence::NativeText);
        m_table->setItem(row, 2, new QTableWidgetItem(keys.join(QStringLiteral(", "))));
    }
    m_table->resizeColumnsToContents();
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addWidget(buttons);
    resize(520, 560);
    m_table->setFocus();
}
