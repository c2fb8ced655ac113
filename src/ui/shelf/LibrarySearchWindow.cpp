#include "LibrarySearchWindow.h"

#include "LibrarySearchHitModel.h"
#include "ui/app/ChoiceListView.h"
#include "ui/app/RichTextRowDelegate.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

LibrarySearchWindow::LibrarySearchWindow(LibrarySearchIndexer *indexer, QWidget *parent)
    : QDialog(parent)
    , m_indexer(indexer)
    , m_field(new QLineEdit(this))
    , m_status(new QLabel(this))
    , m_model(new LibrarySearchHitModel(this))
    , m_list(new ChoiceListView(this))
{
    setObjectName(QStringLiteral("LibrarySearchWindow"));
    setWindowTitle(QStringLiteral("すべての本を検索"));
    auto *layout = new QVBoxLayout(this);
    m_field->setPlaceholderText(QStringLiteral("本文を検索"));
    m_field->setClearButtonEnabled(true);
    layout->addWidget(m_field);
    layout->addWidget(m_status);
    layout->addWidget(m_list);
    m_list->setModel(m_model);
    m_list->setItemDelegate(new RichTextRowDelegate(m_list));
    m_list->setWordWrap(true);
    m_list->setResizeMode(QListView::Adjust); // rows wrap again at a new width
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    resize(560, 520);
    connect(m_field, &QLineEdit::returnPressed, this, &LibrarySearchWindow::searchNow);
    connect(m_list, &ChoiceListView::rowChosen, this, [this](int row) {
        if (row >= 0 && row < m_hits.size())
            emit hitChosen(m_hits.at(row), m_term);
    });
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
    m_model->setHits(m_hits);
    showStatus();
}
