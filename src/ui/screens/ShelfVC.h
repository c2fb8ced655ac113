// The shelf: the books of the library, opened in the reader. (The full
// shelf with its shelves, covers and sorting builds on this screen.)
#pragma once

#include "ScreenVC.h"
#include "shelf/ShelfModel.h"

#include <QListWidget>

class ShelfVC : public ScreenVC
{
    Q_OBJECT
public:
    explicit ShelfVC(AppDelegate &app);
    void appear() override;
    QToolBar *toolbar() override { return m_toolbar; }
    QListWidget *list() const { return m_list; }

    // The book info dictionary the reader opens a book of the contents
    // folder with (no annotation download).
    static QVariantMap bookInfo(const QString &fileName);
    static ShelfEntry entryFor(const QString &fileName);
    void reload();

private:
    QToolBar *m_toolbar;
    QListWidget *m_list;
};
