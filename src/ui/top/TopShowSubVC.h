// The provider's article list inside the article screen: the list on the
// left (35 %), the article with the provider's footer on the right. The
// list follows the provider's article total; bodies are fetched once and
// then read from the cache. Owned by the article screen. Main thread only.
#pragma once

#include "core/top/ProviderArticleLogic.h"

#include <QWidget>

class QListWidget;
class QSplitter;
class QWebEngineView;

class TopShowSubVC : public QWidget
{
    Q_OBJECT
public:
    // The articles are cached in `news`, whose store must outlive the view.
    TopShowSubVC(NewsCacheRepository news, const ServerConfig &servers, QWidget *parent);

    // Refreshes the list (provider calls as the cache rules say) and shows it.
    void appear();
    // Shows the article of a row.
    void selectRow(int row);

    ProviderArticleLogic &logic() { return m_logic; }
    QListWidget *table() const { return m_table; }
    // The article view, made on first use.
    QWebEngineView *web();

private:
    void reloadTable();

    ProviderArticleLogic m_logic;
    QSplitter *m_split;
    QListWidget *m_table;
    QWebEngineView *m_web = nullptr;
};
