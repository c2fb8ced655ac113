// The top screen: the publisher's news, the recently read books and the
// information articles, with the toolbar to the store, the acquired list,
// my menu and the shelf.
#pragma once

#include "core/top/TopLogic.h"
#include "ui/app/ScreenVC.h"

#include <QListWidget>

class TopVC : public ScreenVC
{
    Q_OBJECT
public:
    explicit TopVC(Navigation &app);
    void appear() override;
    QToolBar *toolbar() override { return m_toolbar; }

    QListWidget *newsTable() const { return m_news; }
    QListWidget *historyTable() const { return m_history; }
    QListWidget *contentsTable() const { return m_contents; }

private:
    void reloadHistory();
    void reloadNews();
    void reloadContents();
    void openStore(std::function<void()> open);

    TopLogic m_logic;
    QToolBar *m_toolbar;
    QListWidget *m_news;
    QListWidget *m_history;
    QListWidget *m_contents;
    QList<BookMetaData> m_recent;
};
