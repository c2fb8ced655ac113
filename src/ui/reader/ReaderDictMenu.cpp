#include "ReaderDictMenu.h"

#include "ReaderDictVC.h"
#include "core/dictionary/DictionaryManager.h"
#include "ui/dictionary/DictionaryWindow.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>

ReaderDictMenu::ReaderDictMenu(DictionaryManager &manager, QWidget *reader)
    : QObject(reader)
    , m_manager(manager)
    , m_reader(reader)
{
}

QKeySequence ReaderDictMenu::shortcut()
{
    return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L);
}

ReaderDictVC *ReaderDictMenu::dictVC() const
{
    return m_dictVC.data();
}

ReaderDictVC *ReaderDictMenu::ensureDictVC()
{
    if (!m_dictVC) {
        m_dictVC = new ReaderDictVC(m_manager, m_reader);
        // The pop-over is a child of the reader, as this object is: the
        // connection goes with either.
        connect(m_dictVC, &ReaderDictVC::openInWindow, this,
            [this](const QString &word) { DictionaryWindow::open(m_reader, m_manager, word); });
    }
    return m_dictVC;
}

QAction *ReaderDictMenu::addTo(QMenu *menu, const QString &selection, const QPoint &globalPos)
{
    if (selection.trimmed().isEmpty())
        return nullptr;
    const auto found = m_manager.lookUp(selection);
    if (!found || !found->found())
        return nullptr;
    auto *item = menu->addAction(QStringLiteral("辞書"));
    item->setObjectName(QStringLiteral("dictItem"));
    QVariantList rows;
    for (const QVariantMap &row : found->rows)
        rows.append(row);
    item->setData(
        QVariantMap { { QStringLiteral("dic"), rows }, { QStringLiteral("count"), int(rows.size()) } });
    // The look-up is kept for the pop-over: choosing the item does not
    // search again.
    connect(item, &QAction::triggered, this, [this, result = *found, globalPos] {
        ReaderDictVC *vc = ensureDictVC();
        vc->setLookup(result);
        vc->reloadDict();
        vc->popUp(globalPos);
    });
    return item;
}

bool ReaderDictMenu::showFor(const QString &selection, const QPoint &globalPos)
{
    if (selection.trimmed().isEmpty())
        return false;
    const auto found = m_manager.lookUp(selection);
    if (!found || !found->found())
        return false;
    ReaderDictVC *vc = ensureDictVC();
    vc->setLookup(*found);
    vc->reloadDict();
    vc->popUp(globalPos);
    return true;
}
