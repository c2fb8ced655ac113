#include "ReaderDictVC.h"

#include "core/dictionary/DictionaryManager.h"

#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBrowser>
#include <QVBoxLayout>

ReaderDictVC::ReaderDictVC(const DictionaryManager &dictionaries, QWidget *parent)
    : QWidget(parent, Qt::Popup)
    , m_dictionaries(dictionaries)
    , m_form(new QLabel(this))
    , m_split(new QSplitter(Qt::Horizontal, this))
    , m_table(new QListWidget(m_split))
    , m_text(new QTextBrowser(m_split))
{
    setObjectName(QStringLiteral("readerDict"));
    m_table->setObjectName(QStringLiteral("dictCell"));
    m_text->setObjectName(QStringLiteral("dictText"));
    m_form->setObjectName(QStringLiteral("dictForm"));
    m_form->setWordWrap(true);
    m_split->setChildrenCollapsible(true);
    m_split->setStretchFactor(1, 1);
    m_text->setOpenLinks(false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_form);
    layout->addWidget(m_split, 1);
    resize(480, 320);
    connect(m_table, &QListWidget::currentRowChanged, this, &ReaderDictVC::tableViewSelectionDidChange);
    setFocusProxy(m_table);
}

void ReaderDictVC::setLookup(const DictionaryLookup &found)
{
    QVariantList rows;
    for (const QVariantMap &row : found.rows)
        rows.append(row);
    dic = { { QStringLiteral("dic"), rows }, { QStringLiteral("count"), int(rows.size()) } };
    m_form->setText(found.form.rule == LookupForm::Rule::Selection
            ? QStringLiteral("「%1」").arg(found.form.text)
            : QStringLiteral("「%1」として検索しました").arg(found.form.text));
}

void ReaderDictVC::reloadDict()
{
    words = dic.value(QStringLiteral("dic")).toList();
    const int count = dic.value(QStringLiteral("count")).toInt();
    const QSignalBlocker quiet(m_table);
    m_table->clear();
    QFont bold = font();
    bold.setBold(true);
    bold.setPointSize(14);
    for (int i = 0; i < count && i < words.size(); ++i) {
        auto *item
            = new QListWidgetItem(words.at(i).toMap().value(QStringLiteral("word")).toString(), m_table);
        item->setFont(bold);
    }
    const int whole = std::max(m_split->width(), width());
    m_split->setSizes(count == 1 ? QList<int> { 0, whole } : QList<int> { kListWidth, whole - kListWidth });
    m_table->setCurrentRow(-1);
    m_text->clear();
    if (m_table->count() > 0) {
        m_table->setCurrentRow(0);
        tableViewSelectionDidChange();
    }
}

void ReaderDictVC::tableViewSelectionDidChange()
{
    const int row = m_table->currentRow();
    if (row < 0 || row >= words.size())
        return;
    // Each block is "title:" over its value; the entry keeps its own lines.
    QString entry = m_dictionaries.entryText(words.at(row).toMap());
    entry.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_text->setPlainText(entry);
    m_text->verticalScrollBar()->setValue(m_text->verticalScrollBar()->maximum());
    m_text->verticalScrollBar()->setValue(0);
}

void ReaderDictVC::popUp(const QPoint &globalPos)
{
    // Preferably to the left of the point, within its screen.
    QPoint at(globalPos.x() - width(), globalPos.y() - height() / 4);
    if (const QScreen *screen = QGuiApplication::screenAt(globalPos)) {
        const QRect room = screen->availableGeometry();
        if (at.x() < room.left())
            at.setX(std::min(globalPos.x(), room.right() - width()));
        at.setX(std::max(at.x(), room.left()));
        at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() - height())));
    }
    move(at);
    show();
    raise();
    activateWindow();
    m_table->setFocus();
}
