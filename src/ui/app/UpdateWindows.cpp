#include "UpdateWindows.h"

#include "core/app/UpdateCheck.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

UpdateWindow::UpdateWindow(const ServerConfig &servers, QWidget *parent)
    : QDialog(parent)
    , m_check(new UpdateCheck(servers))
{
    setObjectName(QStringLiteral("UpdateWindow"));
    setWindowTitle(QStringLiteral("アップデート"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);
    m_text = new QLabel(QStringLiteral("アップデートチェック中です..."), this);
    m_text->setWordWrap(true);
    layout->addWidget(m_text);
    auto *buttons = new QHBoxLayout;
    auto *web = new QPushButton(QStringLiteral("ダウンロードページへ"), this);
    auto *closeButton = new QPushButton(QStringLiteral("閉じる"), this);
    buttons->addStretch();
    buttons->addWidget(web);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    connect(web, &QPushButton::clicked, this, [this] {
        QDesktopServices::openUrl(QUrl(updateInfo.value(QStringLiteral("url")).toString()));
        this->close();
    });
    m_check->checkUpdate([this](std::optional<QVariantMap> manifest, bool notAnObject) {
        if (notAnObject)
            return; // stays invisible
        const auto update = manifest
            ? UpdateCheck::updateToShow(*manifest, QCoreApplication::applicationVersion())
            : std::nullopt;
        if (!update) {
            this->close();
            return;
        }
        updateInfo = *update;
        m_text->setText(updateInfo.value(QStringLiteral("description")).toString());
        show();
    });
}

UpdateWindow::~UpdateWindow()
{
    delete m_check;
}

QLBNotificationWindow::QLBNotificationWindow(const ServerConfig &servers, QWidget *parent)
    : QDialog(parent)
    , m_check(new UpdateCheck(servers))
{
    setObjectName(QStringLiteral("QLBNotificationWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);
    m_text = new QLabel(QStringLiteral("通知を取得中です..."), this);
    m_text->setWordWrap(true);
    layout->addWidget(m_text);
    auto *close = new QPushButton(QStringLiteral("閉じる"), this);
    layout->addWidget(close, 0, Qt::AlignRight);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    m_check->checkUpdate([this](std::optional<QVariantMap> manifest, bool notAnObject) {
        if (notAnObject)
            return;
        const auto notice
            = manifest ? UpdateCheck::noticeToShow(*manifest, QDateTime::currentDateTime()) : std::nullopt;
        if (!notice) {
            this->close();
            return;
        }
        info = *notice;
        remoteVersion = info.value(QStringLiteral("version")).toLongLong();
        setWindowTitle(info.value(QStringLiteral("title")).toString());
        m_text->setText(info.value(QStringLiteral("body")).toString());
        show();
    });
}

void QLBNotificationWindow::reject()
{
    if (!info.isEmpty())
        UpdateCheck::noticeClosed(remoteVersion);
    QDialog::reject();
}

QLBNotificationWindow::~QLBNotificationWindow()
{
    delete m_check;
}
