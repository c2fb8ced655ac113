#include "Reader_SearchVC.h"

#include "PageScripts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QVBoxLayout>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>

namespace
{

QString marked(const QString &text, int start, int length)
{
    if (start < 0 || length <= 0 || start >= text.size())
        return text.toHtmlEscaped();
    return text.left(start).toHtmlEscaped() + QStringLiteral("<span style=\"background-color:#ffef5e\">")
        + text.mid(start, length).toHtmlEscaped() + QStringLiteral("</span>")
        + text.mid(start + length).toHtmlEscaped();
}

} // namespace

Reader_SearchVC::Reader_SearchVC(InBookSearch *search, QWidget *parent)
    : QWidget(parent, Qt::Popup)
    , m_search(search)
    , m_field(new QLineEdit(this))
    , m_list(new QListWidget(this))
{
    setObjectName(QStringLiteral("Reader_SearchVC"));
    setAccessibleName(QStringLiteral("検索"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    m_field->setPlaceholderText(QStringLiteral("検索"));
    m_field->setClearButtonEnabled(true);
    m_list->setObjectName(QStringLiteral("searchCell"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setWordWrap(true);
    layout->addWidget(m_field);
    layout->addWidget(m_list);
    resize(300, 420);

    connect(m_field, &QLineEdit::returnPressed, this, &Reader_SearchVC::updateSearch);
    connect(m_list, &QListWidget::itemActivated, this,
        [this](QListWidgetItem *item) { rowChosen(m_list->row(item)); });
    connect(m_list, &QListWidget::itemClicked, this,
        [this](QListWidgetItem *item) { rowChosen(m_list->row(item)); });
    if (m_search)
        connect(m_search, &InBookSearch::resultsChanged, this, &Reader_SearchVC::reloadData);
    m_field->installEventFilter(this);
    if (m_search)
        m_field->setText(m_search->lastSearchStr());
    reloadData();
}

void Reader_SearchVC::popup(QWidget *anchor)
{
    if (anchor) {
        const QPoint below = anchor->mapToGlobal(QPoint(0, anchor->height()));
        move(below);
    }
    show();
    raise();
    activateWindow();
    m_field->setFocus();
    m_field->selectAll();
}

void Reader_SearchVC::updateSearch()
{
    if (m_search)
        m_search->updateSearch(m_field->text());
}

bool Reader_SearchVC::eventFilter(QObject *watched, QEvent *event)
{
    // Down from the field goes into the list.
    if (watched == m_field && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Down && m_list->count() > 0) {
        m_list->setFocus();
        m_list->setCurrentRow(0);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Reader_SearchVC::reloadData()
{
    m_list->clear();
    if (!m_search)
        return;
    for (int i = 0; i < m_search->numberOfRows(); ++i) {
        const InBookSearch::Row row = m_search->row(i);
        auto *item = new QListWidgetItem(m_list);
        QWidget *cell = nullptr;
        if (row.spinner) {
            auto *busy = new QProgressBar;
            busy->setRange(0, 0);
            busy->setTextVisible(false);
            busy->setFixedSize(30, 30);
            busy->setAccessibleName(QStringLiteral("検索中"));
            cell = busy;
        } else {
            auto *label = new QLabel;
            label->setTextFormat(Qt::RichText);
            label->setWordWrap(true);
            label->setContentsMargins(4, 2, 4, 2);
            QString html = QStringLiteral("<b style=\"font-size:14pt\">%1</b>")
                               .arg(row.extra ? row.title.toHtmlEscaped()
                                              : marked(row.title, row.markStart, row.markLength));
            if (!row.extra)
                html += QStringLiteral("<br><span style=\"font-size:11pt\">%1</span>")
                            .arg(marked(row.detail, row.detailMarkStart, row.detailMarkLength));
            label->setText(html);
            cell = label;
        }
        item->setText(row.title + u'\n' + row.detail); // for accessibility and tests
        item->setForeground(Qt::transparent);
        item->setSizeHint(QSize(0, cell->sizeHint().height() + 8));
        m_list->setItemWidget(item, cell);
    }
}

void Reader_SearchVC::rowChosen(int row)
{
    if (!m_search || row < 0)
        return;
    const InBookSearch::Choice choice = m_search->choose(row);
    if (choice.kind == InBookSearch::Choice::EpubHit || choice.kind == InBookSearch::Choice::PdfHit) {
        hide();
        emit hitChosen(choice);
    }
}

void Reader_SearchVC::selectToStr(QWebEnginePage *page, const QString &nowSelectStr,
    const QString &lastSearchStr, std::function<void(bool)> done)
{
    if (!page || nowSelectStr.isEmpty()) {
        if (done)
            done(false);
        return;
    }
    // The term as a JavaScript string literal.
    QString literal
        = QString::fromUtf8(QJsonDocument(QJsonArray { lastSearchStr }).toJson(QJsonDocument::Compact));
    literal = literal.mid(1, literal.size() - 2);
    PageScripts::run(page, QStringLiteral("highlightSearchTerm(%1)").arg(literal));
    QPointer<QWebEnginePage> guard(page);
    auto finish = [done](bool found) {
        if (done)
            done(found);
    };
    page->findText(nowSelectStr, {}, [guard, lastSearchStr, finish](const QWebEngineFindTextResult &r) {
        if (r.numberOfMatches() > 0 || !guard)
            return finish(r.numberOfMatches() > 0);
        guard->findText(
            lastSearchStr, {}, [guard, lastSearchStr, finish](const QWebEngineFindTextResult &r2) {
                if (r2.numberOfMatches() > 0 || !guard)
                    return finish(r2.numberOfMatches() > 0);
                guard->findText(lastSearchStr, QWebEnginePage::FindBackward,
                    [finish](const QWebEngineFindTextResult &r3) { finish(r3.numberOfMatches() > 0); });
            });
    });
}
