#include "LibrarySearchWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

namespace
{

QString marked(const QString &text, int start, int length)
{
    if (start < 0 || length <= 0 || start >= text.size())
        return text.toHtmlEscaped();
    return text.left(start).toHtmlEscaped() + QStringLiteral("<b style=\"background-color:#ffef5e\">")
        + text.mid(start, length).toHtmlEscaped() + QStringLiteral("</b>")
        + text.mid(start + length).toHtmlEscaped();
}

} // namespace

LibrarySearchWindow::LibrarySearchWindow(LibrarySearchIndexer *indexer, QWidget *parent)
    : QDialog(parent)
    , m_indexer(indexer)
    , m_field(new QLineEdit(this))
    , m_status(new QLabel(this))
    , m_list(new QListWidget(this))
{
    setObjectName(QStringLiteral("LibrarySearchWindow"));
    setWindowTitle(QStringLiteral("すべての本を検索"));
    auto *layout = new QVBoxLayout(this);
    m_field->setPlaceholderText(QStringLiteral("本文を検索"));
    m_field->setClearButtonEnabled(true);
    layout->addWidget(m_field);
    layout->addWidget(m_status);
    layout->addWidget(m_list);
    resize(560, 520);
    connect(m_field, &QLineEdit::returnPressed, this, &LibrarySearchWindow::searchNow);
    auto choose = [this](QListWidgetItem *item) {
        const int row = m_list->row(item);
        if (row >= 0 && row < m_hits.size())
            emit hitChosen(m_hits.at(row), m_term);
    };
    connect(m_list, &QListWidget::itemActivated, this, choose);
    connect(m_list, &QListWidget::itemClicked, this, choose);
    if (m_indexer) {
        connect(m_indexer, &LibrarySearchIndexer::progress, this, [this](int done, int total) {
            m_status->setText(QStringLiteral("索引を作成しています（%1 / %2 冊）").arg(done).arg(total));
        });
        // Hits listed before the index was complete are looked up again.
        connect(m_indexer, &LibrarySearchIndexer::finished, this, [this](bool ok) {
            if (!ok)
                m_status->setText(QStringLiteral("索引を作成できませんでした"));
            else if (!m_term.isEmpty())
                searchNow();
            else
                showStatus();
        });
    }
    showStatus();
}

void LibrarySearchWindow::showStatus()
{
    if (m_indexer && m_indexer->isUpdating())
        m_status->setText(QStringLiteral("索引を作成しています"));
    else if (m_term.isEmpty())
        m_status->setText(QString());
    else
        m_status->setText(m_hits.isEmpty() ? QStringLiteral("「%1」は見つかりませんでした").arg(m_term)
                                           : QStringLiteral("%1 件").arg(m_hits.size()));
}

void LibrarySearchWindow::searchNow()
{
    m_term = m_field->text().trimmed();
    m_hits = m_indexer && !m_term.isEmpty() ? m_indexer->search(m_term) : QList<LibrarySearchIndex::Hit> {};
    m_list->clear();
    for (const LibrarySearchIndex::Hit &h : m_hits) {
        auto *item = new QListWidgetItem(m_list);
        auto *label = new QLabel;
        label->setTextFormat(Qt::RichText);
        label->setWordWrap(true);
        label->setContentsMargins(4, 2, 4, 2);
        const QString place = h.isPdf
            ? QStringLiteral("%1ページ").arg(h.location)
            : (h.location.isEmpty() ? QStringLiteral("%1").arg(h.page + 1) : h.location);
        label->setText(QStringLiteral("<b>%1</b> — %2<br><span style=\"font-size:small\">%3</span>")
                           .arg(h.title.toHtmlEscaped(), place.toHtmlEscaped(),
                               marked(h.snippet, h.markStart, h.markLength)));
        item->setText(h.title + u' ' + place + u'\n' + h.snippet);
        item->setForeground(Qt::transparent);
        item->setSizeHint(QSize(0, label->sizeHint().height() + 8));
        m_list->setItemWidget(item, label);
    }
    showStatus();
}
