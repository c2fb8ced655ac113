#include "ReaderDictVC.h"

#include "core/dictionary/DictionaryManager.h"

#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
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
    // The list is as wide as its headwords (see listWidth): it never scrolls
    // sideways.
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_table->setTextElideMode(Qt::ElideRight);
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
    resize(kPreferredSize);
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
    m_listWidth = count == 1 ? 0 : listWidth();
    resize(std::max(kPreferredSize.width(), m_listWidth + kEntryWidth), kPreferredSize.height());
    applySplit();
    m_table->setCurrentRow(-1);
    m_text->clear();
    if (m_table->count() > 0) {
        m_table->setCurrentRow(0);
        tableViewSelectionDidChange();
    }
}

int ReaderDictVC::listWidth() const
{
    int widest = 0;
    for (int i = 0; i < m_table->count(); ++i) {
        const QListWidgetItem *item = m_table->item(i);
        widest = std::max(widest, QFontMetrics(item->font()).horizontalAdvance(item->text()));
    }
    // The frame, the item's own margins and a vertical scroll bar that a
    // long list shows.
    const QStyle *style = m_table->style();
    const int chrome = 2 * m_table->frameWidth()
        + 4 * style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_table)
        + style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_table) + 8;
    return std::clamp(widest + chrome, int(kListWidth), kMaxListWidth);
}

void ReaderDictVC::applySplit()
{
    const int whole = std::max(m_split->width(), width());
    // A pop-over shrunk to a small reader keeps room for the entry.
    const int list
        = m_listWidth == 0 ? 0 : std::min(m_listWidth, std::max(int(kListWidth), whole - kEntryWidth));
    m_split->setSizes(QList<int> { list, std::max(0, whole - list) });
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

QRect ReaderDictVC::placement(const QPoint &point, const QSize &size, const QRect &room)
{
    const int w = std::min(size.width(), room.width());
    const int h = std::min(size.height(), room.height());
    // Preferably to the left of the point, else to its right, else wherever
    // it fits; a quarter of it above the point.
    int x = point.x() - w;
    if (x < room.left())
        x = point.x() + 1;
    x = std::clamp(x, room.left(), room.left() + room.width() - w);
    const int y = std::clamp(point.y() - h / 4, room.top(), room.top() + room.height() - h);
    return QRect(x, y, w, h);
}

void ReaderDictVC::popUp(const QPoint &globalPos)
{
    // Within the reader (below the window's toolbar), and within the screen.
    QRect room;
    if (const QWidget *reader = parentWidget())
        room = QRect(reader->mapToGlobal(QPoint(0, 0)), reader->size());
    const QScreen *screen = QGuiApplication::screenAt(globalPos);
    if (!screen && parentWidget())
        screen = parentWidget()->screen();
    if (screen)
        room = room.isValid() ? room.intersected(screen->availableGeometry()) : screen->availableGeometry();
    if (room.isValid()) {
        const QRect at = placement(globalPos, size(), room);
        resize(at.size());
        applySplit();
        move(at.topLeft());
    } else {
        move(globalPos);
    }
    show();
    raise();
    activateWindow();
    m_table->setFocus();
}
