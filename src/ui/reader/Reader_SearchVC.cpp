#include "Reader_SearchVC.h"

#include "PageScripts.h"
#include "SearchHitListModel.h"
#include "ui/app/ChoiceListView.h"
#include "ui/app/RichTextRowDelegate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>

Reader_SearchVC::Reader_SearchVC(InBookSearch *search, QWidget *parent)
    : QWidget(parent, Qt::Popup)
    , m_search(search)
    , m_field(new QLineEdit(this))
    , m_model(new SearchHitListModel(search, this))
    , m_list(new ChoiceListView(this))
{
    setObjectName(QStringLiteral("Reader_SearchVC"));
    setAccessibleName(QStringLiteral("検索"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    m_field->setPlaceholderText(QStringLiteral("検索"));
    m_field->setClearButtonEnabled(true);
    m_list->setObjectName(QStringLiteral("searchCell"));
    m_list->setModel(m_model);
    m_list->setItemDelegate(new RichTextRowDelegate(m_list));
    m_list->setWordWrap(true);
    m_list->setResizeMode(QListView::Adjust); // rows wrap again at a new width
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    layout->addWidget(m_field);
    layout->addWidget(m_list);
    resize(300, 420);

    connect(m_field, &QLineEdit::returnPressed, this, &Reader_SearchVC::updateSearch);
    connect(m_list, &ChoiceListView::rowChosen, this, &Reader_SearchVC::rowChosen);
    m_field->installEventFilter(this);
    if (m_search)
        m_field->setText(m_search->lastSearchStr());
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
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Down && m_model->rowCount() > 0) {
        m_list->setFocus();
        m_list->setCurrentIndex(m_model->index(0));
        return true;
    }
    return QWidget::eventFilter(watched, event);
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
