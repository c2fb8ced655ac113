#include "DownloadSheet.h"

#include "core/content/BookFormat.h"
#include "core/dictionary/DictionaryManager.h"
#include "core/library/Library.h"
#include "core/store/DownLoader.h"
#include "core/util/Logging.h"
#include "core/util/StringHelpers.h"
#include "ui/app/MainWindow.h"
#include "ui/app/MsgBox.h"
#include "ui/app/Navigation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

DownloadSheet::DownloadSheet(Navigation &app, QWidget *parent)
    : QDialog(parent)
    , m_app(app)
    , m_installer(app.library().books(), *this, &app.dictionaryManager())
{
    setObjectName(QStringLiteral("downloadWin"));
    setWindowTitle(QStringLiteral("ダウンロード"));
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(360);
    m_lblProgress = new QLabel(this);
    m_lblProgress->setObjectName(QStringLiteral("lblProgress"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(false);
    m_dlCancelBtn = new QPushButton(QStringLiteral("キャンセル"), this);
    m_dlCancelBtn->setObjectName(QStringLiteral("dlCancelBtn"));
    m_dlCancelBtn->setAutoDefault(false);
    connect(m_dlCancelBtn, &QPushButton::clicked, this, &DownloadSheet::tapCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_lblProgress);
    layout->addWidget(m_progress);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_dlCancelBtn);
    layout->addLayout(buttons);
}

DownloadSheet::~DownloadSheet()
{
    // The download's callback must not run into a half-destroyed sheet.
    m_down.reset();
}

void DownloadSheet::refresh()
{
    m_lblProgress->setText(m_model.text);
    m_progress->setValue(int(m_model.progress * 1000.0 + 0.5));
    m_dlCancelBtn->setEnabled(m_model.cancelEnabled);
    if (m_model.visible() && !isVisible())
        show();
    else if (!m_model.visible() && isVisible())
        putAway();
    emit changed();
}

void DownloadSheet::putAway()
{
    hide();
    // The window under the sheet is not made active again by every window
    // manager (nor without one): it would take no keys until clicked.
    if (auto *main = qobject_cast<MainWindow *>(parentWidget()))
        main->focusShownScreen();
}

void DownloadSheet::doDownload(const QNetworkRequest &request, bool fromStore)
{
    m_model.downloadStarted();
    refresh();
    auto down = std::make_shared<DownLoader>(m_network);
    m_down = down;
    const std::weak_ptr<DownLoader> weak = down;
    QPointer<DownloadSheet> self(this);
    down->downloadWithRequest(request, [this, self, weak, fromStore](DownLoader &d) {
        const std::shared_ptr<DownLoader> keep = weak.lock();
        if (!self || !keep)
            return;
        const bool current = m_down == keep;
        if (formatOfName(d.suggestedFilename) == BookFormat::Pdf)
            d.info = query2dic(d.url.query(QUrl::FullyEncoded));
        if (d.status == DownLoader::Finished || d.status == DownLoader::Failed) {
            // The sheet closes before the installation asks anything.
            if (current) {
                m_model.downloadEnded();
                refresh();
            }
            m_installer.fromStore = fromStore;
            m_installer.didDownload(d);
            if (!self)
                return;
            if (m_down == keep && m_installer.analyzing()) {
                m_model.importBegun();
                refresh();
            }
            // Released once its own callback has returned, and only if no
            // newer download has taken its place meanwhile.
            QTimer::singleShot(0, this, [this, keep] {
                if (m_down == keep)
                    m_down.reset();
            });
            return;
        }
        if (current) {
            m_model.downloadChanged(d.status, d.currentSize, d.totalSize);
            refresh();
        }
    });
}

void DownloadSheet::importDictionaryFile(const QString &path)
{
    m_model.importBegun();
    refresh();
    m_installer.installDictionaryFile(path);
}

void DownloadSheet::tapCancel()
{
    switch (m_model.cancel()) {
    case DownloadSheetModel::CancelAction::None:
        break;
    case DownloadSheetModel::CancelAction::StopDownload:
        if (const std::shared_ptr<DownLoader> down = std::exchange(m_down, nullptr)) {
            qCInfo(lcStore) << "download cancelled:" << down->url;
            down->stop();
        }
        break;
    case DownloadSheetModel::CancelAction::CancelImport:
        qCInfo(lcStore) << "dictionary import cancelled";
        m_app.dictionaryManager().cancel();
        break;
    }
    refresh();
}

bool DownloadSheet::askOverwrite()
{
    return MsgBox::syncedAsk(PackageInstaller::kOverwrite, QString());
}

void DownloadSheet::error(const QString &message)
{
    MsgBox::errorMessage(message);
}

void DownloadSheet::showShelf()
{
    m_app.changeToShelf();
}

void DownloadSheet::importProgress(const QVariantMap &notification)
{
    const QString message = m_model.importNotified(notification);
    refresh();
    if (!message.isEmpty())
        MsgBox::showMessage(message, QStringLiteral("確認"));
}
