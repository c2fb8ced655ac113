#include "TopShowSubVC.h"

#include "core/util/StringHelpers.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QSplitter>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

TopShowSubVC::TopShowSubVC(NewsCacheRepository news, const ServerConfig &servers, QWidget *parent)
    : QWidget(parent)
    , m_logic(news, servers)
{
    setObjectName(QStringLiteral("TopShowSubVC"));
    m_split = new QSplitter(Qt::Horizontal, this);
    m_table = new QListWidget(m_split);
    m_table->setObjectName(QStringLiteral("subTable"));
    m_split->addWidget(m_table);
    m_split->setChildrenCollapsible(false);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_split);
    connect(m_table, &QListWidget::itemClicked, this,
        [this](QListWidgetItem *item) { selectRow(m_table->row(item)); });
    connect(m_table, &QListWidget::itemActivated, this,
        [this](QListWidgetItem *item) { selectRow(m_table->row(item)); });
}

QWebEngineView *TopShowSubVC::web()
{
    if (!m_web) {
        m_web = new QWebEngineView(m_split);
        m_web->setObjectName(QStringLiteral("subWeb"));
        m_web->page()->settings()->setFontSize(QWebEngineSettings::DefaultFontSize, 16);
        m_split->addWidget(m_web);
        m_split->handle(1)->setEnabled(false);
        const int width = std::max(m_split->width(), 100);
        m_split->setSizes({ width * 35 / 100, width - width * 35 / 100 });
    }
    return m_web;
}

void TopShowSubVC::appear()
{
    web();
    const int width = std::max(m_split->width(), 100);
    m_split->setSizes({ width * 35 / 100, width - width * 35 / 100 });
    m_logic.getInfoList();
    reloadTable();
}

void TopShowSubVC::reloadTable()
{
    m_table->clear();
    for (const QVariant &v : m_logic.updateInfoLists)
        m_table->addItem(stringByStrippingHTML(v.toMap().value(QStringLiteral("info_detail")).toString()));
}

void TopShowSubVC::selectRow(int row)
{
    if (row < 0 || row >= m_logic.updateInfoLists.size())
        return;
    const QVariantMap article = m_logic.updateInfoLists.at(row).toMap();
    const QString body = m_logic.bodyForArticle(article);
    // A fetched body reloads the list from the cache: the same article stays
    // selected.
    reloadTable();
    const QVariant id = article.value(QStringLiteral("info_id"));
    for (int i = 0; i < m_logic.updateInfoLists.size(); ++i)
        if (m_logic.updateInfoLists.at(i).toMap().value(QStringLiteral("info_id")).toString()
            == id.toString())
            row = i;
    m_table->setCurrentRow(row);
    web()->setHtml(ProviderArticleLogic::pageHtml(body));
}
