#include "DownloadSheetModel.h"

#include "core/dictionary/DictionaryManager.h"

#include <algorithm>

const QString DownloadSheetModel::kAnalyzing = QStringLiteral("辞書解析中");
const QString DownloadSheetModel::kImportCancelled
    = QStringLiteral("辞書の取り込みを中止しました。辞書は取り込み前のままです。");
const QString DownloadSheetModel::kImportFailed
    = QStringLiteral("辞書を取り込めませんでした。辞書は取り込み前のままです。");

void DownloadSheetModel::downloadStarted()
{
    phase = Phase::Downloading;
    text.clear();
    progress = 0.0;
    cancelEnabled = true;
    importCancelRequested = false;
}

void DownloadSheetModel::downloadChanged(int status, qint64 currentSize, qint64 totalSize)
{
    if (phase != Phase::Downloading || status != 1 || totalSize <= 0)
        return;
    text = sizeText(currentSize, totalSize);
    progress = std::clamp(double(currentSize) / double(totalSize), 0.0, 1.0);
}

void DownloadSheetModel::downloadEnded()
{
    if (phase == Phase::Downloading) {
        phase = Phase::Hidden;
        cancelEnabled = false;
    }
}

void DownloadSheetModel::importBegun()
{
    if (phase == Phase::Importing)
        return;
    phase = Phase::Importing;
    text = kAnalyzing;
    progress = 0.0;
    cancelEnabled = !importCancelRequested;
}

QString DownloadSheetModel::importNotified(const QVariantMap &notification)
{
    const int status = notification.value(QStringLiteral("status")).toInt();
    if (status == 0) {
        importBegun();
        return {};
    }
    if (status == 1) {
        if (phase != Phase::Importing)
            return {};
        const QVariant share = notification.value(QStringLiteral("progress"));
        if (share.isValid())
            progress = std::clamp(std::max(progress, share.toDouble()), 0.0, 1.0);
        return {};
    }
    const QString result = notification.value(QStringLiteral("result")).toString();
    const bool requested = importCancelRequested;
    phase = Phase::Hidden;
    cancelEnabled = false;
    importCancelRequested = false;
    if (result == QLatin1String(DictionaryManager::kResultCancelled) || (requested && result.isEmpty()))
        return kImportCancelled;
    if (result == QLatin1String(DictionaryManager::kResultFailed))
        return kImportFailed;
    if (result == QLatin1String(DictionaryManager::kResultUnreadable)) {
        // What is wrong with the file, so the user can mend it.
        const QString why = notification.value(QStringLiteral("message")).toString();
        return why.isEmpty() ? kImportFailed : kImportFailed + QStringLiteral("\n(%1)").arg(why);
    }
    return {};
}

DownloadSheetModel::CancelAction DownloadSheetModel::cancel()
{
    switch (phase) {
    case Phase::Hidden:
        return CancelAction::None;
    case Phase::Downloading:
        phase = Phase::Hidden;
        cancelEnabled = false;
        return CancelAction::StopDownload;
    case Phase::Importing:
        if (importCancelRequested)
            return CancelAction::None;
        importCancelRequested = true;
        cancelEnabled = false;
        return CancelAction::CancelImport;
    }
    return CancelAction::None;
}

QString DownloadSheetModel::sizeText(qint64 currentSize, qint64 totalSize)
{
    return QString::asprintf(
        "%.1fMB / %.1fMB", double(currentSize) / 1048576.0, double(totalSize) / 1048576.0);
}
