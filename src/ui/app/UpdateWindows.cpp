#include "UpdateWindows.h"

#include "core/app/UpdateCheck.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

namespace
{

// Room the window manager takes beside the title (icon, buttons).
constexpr int kTitleChrome = 160;

// Sizes `window` to its text, one line a paragraph up to half the screen,
// and wide enough for its title.
void fitToContent(QDialog &window, QLabel &text)
{
    const QScreen *screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    const int limit = screen ? std::max(320, screen->availableGeometry().width() / 2) : 640;
    int widest = 0;
    for (const QString &line : text.text().split(u'\n'))
        widest = std::max(widest, text.fontMetrics().horizontalAdvance(line) + 2);
    text.setMinimumWidth(std::min(widest, limit));
    const QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
    const int title = QFontMetrics(titleFont).horizontalAdvance(window.windowTitle()) + kTitleChrome;
    window.setMinimumWidth(std::min(title, limit));
    window.adjustSize();
}

}

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
        fitToContent(*this, *m_text);
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
        fitToContent(*this, *m_text);
        m_ready = true;
        showWhenFree();
    });
}

void QLBNotificationWindow::showAfter(QWidget *earlier)
{
    m_earlier = earlier;
    showWhenFree();
}

void QLBNotificationWindow::showWhenFree()
{
    if (!m_ready || isVisible())
        return;
    if (!m_earlier) {
        show();
        return;
    }
    // Shown where the earlier window is would hide it: wait until it has
    // gone (closed silently or by the user; both delete it).
    // A widget tells it is destroyed before a QPointer to it turns null.
    connect(m_earlier, &QObject::destroyed, this, [this] {
        m_earlier = nullptr;
        showWhenFree();
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
