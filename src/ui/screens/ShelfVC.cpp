#include "ShelfVC.h"

#include "MainWindow.h"
#include "app/AppDelegate.h"
#include "app/Analytics.h"
#include "app/DataFolder.h"
#include "content/BookUrl.h"
#include "library/DataBaseHelper.h"
#include "library/LibraryStore.h"
#include "sync/QMShareHelper.h"
#include "util/NotificationCenter.h"

#include <QCoreApplication>
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
        const QVariantMap info = bookInfo(fileName);
        if (auto book = LibraryStore::main().findFirst<BookMetaData>(QStringLiteral("\"fileName\"=?"), {fileName})) {
            book->lastOpenDate = QDateTime::currentDateTimeUtc();
            LibraryStore::main().save(*book);
            const QString id = book->identifier.value_or(QString());
            if (!id.isEmpty() && id != u"9999999999")
                m_app.shareHelper().getMyBookAll(id, DataBaseHelper::currentUserId().value_or(QString()),
                                                 fileName.endsWith(QStringLiteral(".pdf")));
        }
        m_app.changeToReader(info);
    });
    NotificationCenter::defaultCenter().observe(QStringLiteral("reloadshelf"), this, [this](const QVariant &) { reload(); });
    appear();
}

QVariantMap ShelfVC::bookInfo(const QString &fileName)
{
    const auto book = LibraryStore::main().findFirst<BookMetaData>(QStringLiteral("\"fileName\"=?"), {fileName});
    const auto status = book ? LibraryStore::main().findFirst<BookStatusData>(QStringLiteral("\"BookID\"=?"), {book->BookID.value_or(-1)})
                             : std::nullopt;
    QVariantMap info{{QStringLiteral("BookID"), book ? book->BookID.value_or(-1) : -1},
                     {QStringLiteral("lastPage"), status ? status->lastOpenPage.value_or(-1) : -1},
                     {QStringLiteral("fontSize"), status ? status->fontSetting.value_or(16) : 16},
                     {QStringLiteral("print"), book ? book->printable.value_or(0) : 0},
                     {QStringLiteral("Title"), book ? book->title.value_or(fileName) : fileName},
                     {QStringLiteral("metaBookId"), book ? book->identifier.value_or(QString()) : QString()},
                     {QStringLiteral("creator"), book ? book->creator.value_or(QString()) : QString()}};
    if (fileName.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        info.insert(QStringLiteral("pdfurl"), DataFolder::contentsFolder() + u'/' + fileName);
    else
        info.insert(QStringLiteral("url"), BookUrl::rootUrl(fileName));
    return info;
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
    for (const BookMetaData &b : LibraryStore::main().findAll<BookMetaData>({}, {}, QStringLiteral("\"BookID\""))) {
        auto *item = new QListWidgetItem(QStringLiteral("%1 — %2").arg(b.title.value_or(b.fileName.value_or(QString())),
                                                                        b.creator.value_or(QString())));
        item->setData(Qt::UserRole, b.fileName.value_or(QString()));
        m_list->addItem(item);
    }
}
