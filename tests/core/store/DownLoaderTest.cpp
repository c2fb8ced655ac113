// DownLoader against the local backend, and into the installer.
#include "core/store/DownLoader.h"
#include "core/platform/DataFolder.h"
#include "core/store/PackageInstaller.h"
#include "support/BackendFixture.h"
#include "support/Samples.h"
#include "support/Wait.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace
{

class DownLoaderTest : public BackendFixture, public InstallerUi
{
protected:
    bool askOverwrite() override { return true; }
    void error(const QString &m) override { errors << m; }
    void showShelf() override { ++shelves; }

    struct Run {
        QList<int> statuses;
        QString name;
        qint64 total = 0;
        qint64 current = 0;
        bool tmpExistedAtEnd = false;
        QString tmpFile;
        // Modes of the file and its folder while the book comes in (-1:
        // could not be read).
        int fileMode = -1;
        int folderMode = -1;
    };

    Run fetch(const QUrl &url, PackageInstaller *installer = nullptr, bool stopEarly = false)
    {
        Run run;
        DownLoader down(m_network);
        down.downloadWithRequest(QNetworkRequest(url), [&](DownLoader &d) {
            run.statuses << d.status;
            run.name = d.suggestedFilename;
            run.total = d.totalSize;
            run.current = d.currentSize;
            run.tmpFile = d.tmpFile;
            struct stat st {
            };
            if (::stat(QFile::encodeName(d.tmpFile).constData(), &st) == 0)
                run.fileMode = int(st.st_mode & 07777);
            if (::stat(QFile::encodeName(QFileInfo(d.tmpFile).absolutePath()).constData(), &st) == 0)
                run.folderMode = int(st.st_mode & 07777);
            if (d.status >= DownLoader::Finished) {
                run.tmpExistedAtEnd = QFileInfo::exists(d.tmpFile);
                if (installer)
                    installer->didDownload(d);
            }
        });
        if (stopEarly)
            down.stop();
        waitUntil([&] { return !run.statuses.isEmpty() && run.statuses.last() >= DownLoader::Finished; });
        return run;
    }

    QNetworkAccessManager m_network;
    QStringList errors;
    int shelves = 0;
};

TEST_F(DownLoaderTest, DownloadsReportProgressAndCleanUp)
{
    const Run ok = fetch(backend->url(
        QStringLiteral("/store-api/store/download.php?bookId=pdf-nursing-notes&export=download")));
    ASSERT_FALSE(ok.statuses.isEmpty());
    EXPECT_EQ(ok.statuses.last(), DownLoader::Finished);
    EXPECT_EQ(ok.statuses.first(), DownLoader::Receiving);
    EXPECT_EQ(ok.name, QStringLiteral("nursing-notes.pdf")) << "from Content-Disposition";
    EXPECT_EQ(ok.total, QFileInfo(sampleBookPath(QStringLiteral("nursing-notes.pdf"))).size());
    EXPECT_EQ(ok.current, ok.total);
    EXPECT_TRUE(ok.tmpExistedAtEnd) << "the callback still has the file";
    EXPECT_FALSE(QFileInfo::exists(ok.tmpFile)) << "deleted after the callback";
    // A paid book on its way in is this user's alone, whatever the umask.
    EXPECT_EQ(ok.fileMode, 0600) << ok.tmpFile.toStdString();
    EXPECT_EQ(ok.folderMode, 0700) << ok.tmpFile.toStdString();
    EXPECT_NE(QFileInfo(ok.tmpFile).absolutePath(), QDir::tempPath()) << "not in the shared temporary folder";

    const Run missing = fetch(backend->url(QStringLiteral("/store-api/store/download.php?bookId=nope")));
    EXPECT_EQ(missing.statuses, QList<int> { DownLoader::Failed }) << "an error page is no book";
    EXPECT_FALSE(QFileInfo::exists(missing.tmpFile));

    backend->setFault({ { "path", "/store-api/store/download.php" }, { "drop", true } });
    EXPECT_EQ(fetch(backend->url(QStringLiteral("/store-api/store/download.php?bookId=pdf-nursing-notes")))
                  .statuses.last(),
        DownLoader::Failed)
        << "a cut download fails";

    const Run stopped
        = fetch(backend->url(QStringLiteral("/store-api/store/download.php?bookId=pdf-nursing-notes")),
            nullptr, true);
    EXPECT_EQ(stopped.statuses, QList<int> { DownLoader::Failed });
    EXPECT_FALSE(QFileInfo::exists(stopped.tmpFile)) << "stopping deletes the temporary file";

    const Run local = fetch(QUrl::fromLocalFile(sampleBookPath(QStringLiteral("respiratory-atlas.pdf"))));
    EXPECT_EQ(local.statuses.last(), DownLoader::Finished) << "a file:// request has no status and succeeds";
    EXPECT_EQ(local.name, QStringLiteral("respiratory-atlas.pdf"));
}

TEST_F(DownLoaderTest, FinishedDownloadsAreInstalled)
{
    PackageInstaller installer(library().books(), *this, nullptr);
    fetch(backend->url(
              QStringLiteral("/store-api/store/download.php?bookId=pdf-nursing-notes&export=download")),
        &installer);
    EXPECT_TRUE(QFileInfo::exists(DataFolder::contentsFolder() + QStringLiteral("/nursing-notes.pdf")));
    EXPECT_EQ(shelves, 1);
    fetch(backend->url(QStringLiteral("/store-api/store/download.php?bookId=nope")), &installer);
    EXPECT_EQ(shelves, 1) << "a failed download installs nothing";
    EXPECT_TRUE(errors.isEmpty());
}

} // namespace
