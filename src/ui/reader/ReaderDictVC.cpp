#include "ReaderDictVC.h"

#include "core/dictionary/DictionaryManager.h"

#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
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
    , m_openInWindow(new QPushButton(QStringLiteral("辞書ウィンドウで開く"), this))
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
    m_openInWindow->setObjectName(QStringLiteral("openInDictionaryWindow"));
    m_openInWindow->setAutoDefault(false);
    layout->addWidget(m_openInWindow, 0, Qt::AlignRight);
    connect(m_openInWindow, &QPushButton::clicked, this, [this] {
        const QString word = currentWord();
        close();
        emit openInWindow(word);
    });
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
    m_found = found.form;
    // A dictionary form that the selection does not show as written
    // (腫れていた: 腫れる) is named as one.
    if (found.form.rule == LookupForm::Rule::Selection)
        m_form->setText(QStringLiteral("「%1」").arg(found.form.text));
    else if (found.form.rule == LookupForm::Rule::Lemma
        && !LookupForms::folded(found.selection).contains(found.form.text))
        m_form->setText(QStringLiteral("辞書形「%1」として検索しました").arg(found.form.text));
    else
        m_form->setText(QStringLiteral("「%1」として検索しました").arg(found.form.text));
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

QString ReaderDictVC::currentWord() const
{
    const int row = m_table->currentRow();
    return row >= 0 && row < words.size() ? words.at(row).toMap().value(QStringLiteral("word")).toString()
                                          : QString();
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
