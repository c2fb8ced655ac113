#include "ShelfVC.h"

#include "MainWindow.h"
#include "app/AppDelegate.h"
#include "app/Analytics.h"
#include "app/DataFolder.h"
#include "library/DataBaseHelper.h"
#include "library/LibraryStore.h"
#include "shelf/ShelfModel.h"
#include "sync/QMShareHelper.h"
#include "util/NotificationCenter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QVBoxLayout>

ShelfVC::ShelfVC(AppDelegate &app)
    : ScreenVC(app)
{
    setObjectName(QStringLiteral("ShelfVC"));
    m_toolbar = new QToolBar(QStringLiteral("Shelf"), this);
    m_toolbar->setObjectName(QStringLiteral("shelfToolbar"));
    m_toolbar->addAction(QStringLiteral("TOP"), this, [this] { m_app.changeToTop(); });
    m_toolbar->addAction(QStringLiteral("ストア"), this, [this] {
        m_app.takeToken([this](bool ok) {
            if (ok)
                m_app.changeToStore();
        });
    });
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("bookList"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    connect(m_list, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
        const QString fileName = item->data(Qt::UserRole).toString();
        m_app.changeToReader(ShelfModel::readerInfo(entryFor(fileName), &m_app.shareHelper()));
    });
    NotificationCenter::defaultCenter().observe(QStringLiteral("reloadshelf"), this, [this](const QVariant &) { reload(); });
    appear();
}

ShelfEntry ShelfVC::entryFor(const QString &fileName)
{
    const QFileInfo file(DataFolder::contentsFolder() + u'/' + fileName);
    return {file.absoluteFilePath(), fileName, file.suffix().compare(QStringLiteral("pdf"), Qt::CaseInsensitive) == 0,
            file.lastModified()};
}

QVariantMap ShelfVC::bookInfo(const QString &fileName)
{
    return ShelfModel::readerInfo(entryFor(fileName), nullptr);
}

void ShelfVC::appear()
{
    m_app.window()->installToolbar(m_toolbar);
    const auto label = DataBaseHelper::getLabelByLabelID(1);
    const QString name = label ? label->labelName.value_or(QStringLiteral("本棚")) : QStringLiteral("本棚");
    m_app.window()->setWindowTitle(QStringLiteral("%1 - %2").arg(QCoreApplication::applicationName(), name));
    Analytics::shared().sendGoogleAnalyticsWithScreenName(name);
    reload();
}

void ShelfVC::reload()
{
    m_list->clear();
    for (const ShelfEntry &e : ShelfModel::items(1, std::nullopt)) {
        const auto b = LibraryStore::main().findFirst<BookMetaData>(QStringLiteral("\"fileName\"=?"), {e.fileName});
        const QString title = b ? b->title.value_or(e.fileName) : e.fileName;
        const QString creator = b ? b->creator.value_or(QString()) : QString();
        auto *item = new QListWidgetItem(creator.isEmpty() ? title : QStringLiteral("%1 — %2").arg(title, creator));
        item->setData(Qt::UserRole, e.fileName);
        m_list->addItem(item);
    }
}
