#include "DictionaryWindow.h"

#include "core/dictionary/DictionaryManager.h"

#include <QComboBox>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtConcurrent>

DictionaryWindow::DictionaryWindow(DictionaryManager &manager, QWidget *parent)
    : QDialog(parent, Qt::Window)
    , m_browser(manager)
    , m_field(new QLineEdit(this))
    , m_mode(new QComboBox(this))
    , m_back(new QToolButton(this))
    , m_forward(new QToolButton(this))
    , m_clear(new QToolButton(this))
    , m_list(new QListWidget(this))
    , m_entry(new QTextBrowser(this))
    , m_status(new QLabel(this))
    , m_databasePath(manager.databasePath())
    , m_manager(manager)
{
    // Indexing a large dictionary takes seconds: never on this thread.
    m_browser.setIndexesItself(false);
    setObjectName(QStringLiteral("dictionaryWindow"));
    setWindowTitle(QStringLiteral("辞書"));
    m_field->setObjectName(QStringLiteral("dictionarySearch"));
    m_field->setPlaceholderText(QStringLiteral("辞書を検索"));
    m_field->setClearButtonEnabled(true);
    m_mode->setObjectName(QStringLiteral("dictionaryMode"));
    m_mode->addItem(QStringLiteral("見出し語"));
    m_mode->addItem(QStringLiteral("本文に含む"));
    m_mode->setToolTip(QStringLiteral("見出し語の前方一致か、説明文にその語を含む項目か"));
    m_back->setObjectName(QStringLiteral("dictionaryBack"));
    m_back->setArrowType(Qt::LeftArrow);
    m_back->setToolTip(QStringLiteral("前に引いた語 (Alt+←)"));
    m_back->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    m_forward->setObjectName(QStringLiteral("dictionaryForward"));
    m_forward->setArrowType(Qt::RightArrow);
    m_forward->setToolTip(QStringLiteral("次に引いた語 (Alt+→)"));
    m_forward->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
    m_clear->setObjectName(QStringLiteral("dictionaryClearHistory"));
    m_clear->setText(QStringLiteral("履歴を消去"));
    m_list->setObjectName(QStringLiteral("dictionaryHeadwords"));
    m_entry->setObjectName(QStringLiteral("dictionaryEntry"));
    m_entry->setOpenLinks(false);
    m_status->setObjectName(QStringLiteral("dictionaryStatus"));

    auto *bar = new QHBoxLayout;
    bar->addWidget(m_back);
    bar->addWidget(m_forward);
    bar->addWidget(m_field, 1);
    bar->addWidget(m_mode);
    bar->addWidget(m_clear);
    auto *split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(m_list);
    split->addWidget(m_entry);
    split->setStretchFactor(1, 1);
    split->setSizes({ 200, 440 });
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(split, 1);
    layout->addWidget(m_status);
    resize(680, 460);

    connect(m_field, &QLineEdit::textChanged, this, &DictionaryWindow::search);
    connect(m_mode, &QComboBox::currentIndexChanged, this, &DictionaryWindow::search);
    // Enter keeps the word looked up; typing alone does not fill the history.
    connect(m_field, &QLineEdit::returnPressed, this, [this] {
        const QListWidgetItem *item = m_list->currentItem();
        noteVisit(item ? item->text() : m_field->text());
    });
    connect(m_list, &QListWidget::currentRowChanged, this, &DictionaryWindow::showEntry);
    connect(m_list, &QListWidget::itemActivated, this,
        [this](QListWidgetItem *item) { noteVisit(item->text()); });
    connect(m_back, &QToolButton::clicked, this, [this] { go(m_browser.back()); });
    connect(m_forward, &QToolButton::clicked, this, [this] { go(m_browser.forward()); });
    connect(m_clear, &QToolButton::clicked, this, [this] {
        m_browser.clearHistory();
        updateButtons();
    });
    setFocusProxy(m_field);
    updateButtons();
    {
        // Where the window was last left, in this run or an earlier one.
        const QSignalBlocker quietMode(m_mode);
        const QSignalBlocker quietField(m_field);
        m_mode->setCurrentIndex(int(m_browser.keptMode()));
        m_field->setText(m_browser.keptWord());
    }
    search();
}

QKeySequence DictionaryWindow::shortcut()
{
    return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K);
}

DictionaryWindow *DictionaryWindow::open(QWidget *over, DictionaryManager &manager, const QString &word)
{
    QWidget *top = over ? over->window() : nullptr;
    auto *shown = top ? top->findChild<DictionaryWindow *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!shown)
        shown = new DictionaryWindow(manager, top);
    if (!word.trimmed().isEmpty())
        shown->showWord(word);
    shown->show();
    shown->raise();
    shown->activateWindow();
    shown->m_field->setFocus();
    if (word.trimmed().isEmpty())
        shown->m_field->selectAll();
    return shown;
}

void DictionaryWindow::setMode(Mode mode)
{
    m_mode->setCurrentIndex(int(mode));
}

DictionaryWindow::Mode DictionaryWindow::mode() const
{
    return Mode(m_mode->currentIndex());
}

void DictionaryWindow::showWord(const QString &word)
{
    setMode(Mode::Headword);
    m_field->setText(word.trimmed());
    noteVisit(word);
}

void DictionaryWindow::noteVisit(const QString &word)
{
    m_browser.visit(word);
    updateButtons();
}

void DictionaryWindow::go(const std::optional<QString> &word)
{
    if (word) {
        const QSignalBlocker quiet(m_mode);
        m_mode->setCurrentIndex(int(Mode::Headword));
        m_field->setText(*word);
        search();
    }
    updateButtons();
}

void DictionaryWindow::updateButtons()
{
    m_back->setEnabled(m_browser.canGoBack());
    m_forward->setEnabled(m_browser.canGoForward());
    m_clear->setEnabled(!m_browser.history().isEmpty());
}

void DictionaryWindow::search()
{
    const QString text = m_field->text();
    m_browser.keep(mode(), text);
    const auto rows = mode() == Mode::Headword ? m_browser.headwords(text) : m_browser.mentions(text);
    m_rows = rows.value_or(QList<QVariantMap>());
    {
        const QSignalBlocker quiet(m_list);
        m_list->clear();
        for (const QVariantMap &row : m_rows)
            m_list->addItem(row.value(QStringLiteral("word")).toString());
    }
    if (!rows)
        m_status->setText(QStringLiteral("使える辞書がありません (本棚の「辞書」で選びます)"));
    else if (text.trimmed().isEmpty())
        m_status->setText(QString());
    else if (m_rows.isEmpty())
        m_status->setText(QStringLiteral("見つかりませんでした"));
    else if (m_rows.size() >= DictionaryBrowser::kLimit)
        m_status->setText(QStringLiteral("先頭の %1 件").arg(m_rows.size()));
    else
        m_status->setText(QStringLiteral("%1 件").arg(m_rows.size()));
    indexInBackground();
    if (m_indexing)
        m_status->setText(m_status->text() + QStringLiteral(" (見出し語の索引を作成中…)"));
    m_entry->clear();
    if (!m_rows.isEmpty()) {
        const QSignalBlocker quiet(m_list);
        m_list->setCurrentRow(0);
    }
    showEntry();
}

void DictionaryWindow::showEntry()
{
    const int row = m_list->currentRow();
    if (row < 0 || row >= m_rows.size()) {
        m_entry->clear();
        return;
    }
    QString text = m_manager.entryText(m_rows.at(row));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_entry->setPlainText(text);
    m_entry->verticalScrollBar()->setValue(0);
}

void DictionaryWindow::indexInBackground()
{
    if (m_indexing || m_indexFailed)
        return;
    const QStringList missing = m_browser.unindexed();
    if (missing.isEmpty())
        return;
    m_indexing = true;
    // A child of the window: its answer goes with the window. The work
    // itself holds only copies and its own connection.
    auto *watcher = new QFutureWatcher<bool>(this);
    connect(watcher, &QFutureWatcher<bool>::finished, this, [this, watcher] {
        m_indexing = false;
        // Not tried again in this window: the full-text table answers.
        m_indexFailed = !watcher->result();
        watcher->deleteLater();
        m_browser.recheck();
        search();
    });
    watcher->setFuture(QtConcurrent::run(
        [path = m_databasePath, missing] { return DictionaryBrowser::indexHeadwords(path, missing); }));
}
