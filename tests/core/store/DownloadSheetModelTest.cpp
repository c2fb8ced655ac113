// What the download sheet shows and what its cancel does, event by event.
#include "core/store/DownloadSheetModel.h"
#include "core/dictionary/DictionaryManager.h"

#include <gtest/gtest.h>

namespace
{

TEST(DownloadSheetModel, SizeText)
{
    const struct {
        qint64 current, total;
        const char *text;
    } cases[] = {
        { 0, 1048576, "0.0MB / 1.0MB" },
        { 524288, 1048576, "0.5MB / 1.0MB" },
        { 1153434, 12582912, "1.1MB / 12.0MB" },
        { 1048576LL * 1500, 1048576LL * 3000, "1500.0MB / 3000.0MB" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(DownloadSheetModel::sizeText(c.current, c.total), QString::fromUtf8(c.text))
            << c.current << " of " << c.total;
}

TEST(DownloadSheetModel, DownloadProgress)
{
    // status, received, expected -> text, progress
    const struct {
        int status;
        qint64 current, total;
        const char *text;
        double progress;
    } steps[] = {
        { 0, 0, 0, "", 0.0 }, // waiting: nothing yet
        { 1, 100, 0, "", 0.0 }, // no expected length: no size text, bar stays
        { 1, 262144, 1048576, "0.3MB / 1.0MB", 0.25 },
        { 1, 1048576, 1048576, "1.0MB / 1.0MB", 1.0 },
    };
    DownloadSheetModel m;
    m.downloadStarted();
    EXPECT_TRUE(m.visible());
    EXPECT_TRUE(m.cancelEnabled);
    for (const auto &s : steps) {
        m.downloadChanged(s.status, s.current, s.total);
        EXPECT_EQ(m.text, QString::fromUtf8(s.text)) << "status " << s.status << " at " << s.current;
        EXPECT_DOUBLE_EQ(m.progress, s.progress) << "status " << s.status << " at " << s.current;
    }
    m.downloadEnded();
    EXPECT_FALSE(m.visible());
}

TEST(DownloadSheetModel, CancelStopsTheDownloadAndHides)
{
    DownloadSheetModel m;
    EXPECT_EQ(m.cancel(), DownloadSheetModel::CancelAction::None) << "nothing runs";
    m.downloadStarted();
    m.downloadChanged(1, 10, 100);
    EXPECT_EQ(m.cancel(), DownloadSheetModel::CancelAction::StopDownload);
    EXPECT_FALSE(m.visible());
    m.downloadStarted();
    EXPECT_EQ(m.text, QString()) << "a new download starts from an empty sheet";
    EXPECT_EQ(m.progress, 0.0);
}

QVariantMap note(int status, QVariant progress = {}, const char *result = nullptr)
{
    QVariantMap m { { QStringLiteral("status"), status } };
    if (progress.isValid())
        m.insert(QStringLiteral("progress"), progress);
    if (result)
        m.insert(QStringLiteral("result"), QString::fromLatin1(result));
    return m;
}

TEST(DownloadSheetModel, ImportShowsItsOwnProgress)
{
    DownloadSheetModel m;
    m.downloadStarted();
    m.downloadChanged(1, 50, 100);
    m.downloadEnded();
    m.importBegun();
    EXPECT_TRUE(m.visible());
    EXPECT_EQ(m.text, DownloadSheetModel::kAnalyzing);
    EXPECT_EQ(m.progress, 0.0);
    EXPECT_TRUE(m.cancelEnabled) << "an import can be cancelled";
    const struct {
        QVariantMap notification;
        double progress;
    } steps[] = {
        { note(0), 0.0 },
        { note(1), 0.0 }, // after the header: no share yet
        { note(1, 0.25), 0.25 },
        { note(1, 0.1), 0.25 }, // never goes back
        { note(1, 1.5), 1.0 },
    };
    for (const auto &s : steps) {
        EXPECT_EQ(m.importNotified(s.notification), QString());
        EXPECT_DOUBLE_EQ(m.progress, s.progress) << QVariant(s.notification).toString().toStdString();
        EXPECT_EQ(m.text, DownloadSheetModel::kAnalyzing);
    }
    EXPECT_EQ(m.importNotified(note(2, {}, DictionaryManager::kResultInstalled)), QString())
        << "an installed dictionary needs no message";
    EXPECT_FALSE(m.visible());
}

TEST(DownloadSheetModel, ImportEndings)
{
    // cancel pressed?, result -> message
    const struct {
        bool cancelled;
        const char *result;
        QString message;
    } cases[] = {
        { true, DictionaryManager::kResultCancelled, DownloadSheetModel::kImportCancelled },
        { true, DictionaryManager::kResultInstalled, QString() }, // the import won the race
        { false, DictionaryManager::kResultFailed, DownloadSheetModel::kImportFailed },
        { false, DictionaryManager::kResultUnreadable, DownloadSheetModel::kImportFailed },
        { true, nullptr, DownloadSheetModel::kImportCancelled },
        { false, nullptr, QString() },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.result ? c.result : "(no result)") + (c.cancelled ? ", cancelled" : ""));
        DownloadSheetModel m;
        m.importNotified(note(0));
        if (c.cancelled) {
            EXPECT_EQ(m.cancel(), DownloadSheetModel::CancelAction::CancelImport);
            EXPECT_TRUE(m.visible()) << "the sheet stays until the import has stopped";
            EXPECT_FALSE(m.cancelEnabled);
            EXPECT_EQ(m.cancel(), DownloadSheetModel::CancelAction::None) << "asked once";
        }
        EXPECT_EQ(m.importNotified(note(2, {}, c.result)), c.message);
        EXPECT_FALSE(m.visible());
        EXPECT_FALSE(m.importCancelRequested);
    }
}

} // namespace
