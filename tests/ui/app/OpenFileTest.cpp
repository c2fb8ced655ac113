// Book files opened from outside: from the command line at start, and
// handed over by a later start to the running program.
#include "core/app/SingleInstance.h"
#include "ui/AppShellFixture.h"
#include "ui/app/BookFileOpener.h"
#include "ui/reader/ReaderVC.h"

#include <QPdfView>
#include <future>

namespace
{

// Where the desktop description's screenshots come from.
void saveScreenshot(QWidget *window, const QString &name)
{
    QDir().mkpath(QStringLiteral(TAVRO_ARTIFACTS_DIR "/screenshots"));
    window->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/screenshots/") + name);
}

TEST_F(AppShellTest, BookFilesOpenInTheReaderAlsoFromALaterStart)
{
    launch();
    QDir(DataFolder::contentsFolder()).removeRecursively();
    QTemporaryDir downloads;
    const QString epub = downloads.filePath(QStringLiteral("anatomy-basics.epub"));
    const QString pdf = downloads.filePath(QStringLiteral("nursing-notes.pdf"));
    ASSERT_TRUE(QFile::copy(sampleBookPath(QStringLiteral("anatomy-basics.epub")), epub));
    ASSERT_TRUE(QFile::copy(sampleBookPath(QStringLiteral("nursing-notes.pdf")), pdf));

    BookFileOpener opener(*m_app);
    EXPECT_EQ(opener.open({ epub }), QStringList { QStringLiteral("anatomy-basics.epub") });
    ReaderVC *reader = m_app->readerVC();
    ASSERT_TRUE(reader);
    // The book view, wherever the reader keeps it.
    auto bookView = [&] { return reader->findChild<QWebEngineView *>(); };
    ASSERT_TRUE(waitUntil([&] { return bookView() != nullptr; }));
    bool loaded = false;
    QObject::connect(bookView(), &QWebEngineView::loadFinished, reader, [&](bool ok) { loaded = ok; });
    ASSERT_TRUE(waitUntil([&] { return loaded && bookView()->url().scheme() == u"epub"; }));
    EXPECT_TRUE(QFile::exists(DataFolder::contentsFolder() + QStringLiteral("/anatomy-basics.epub")));
    saveScreenshot(m_app->window(), QStringLiteral("reader.png"));

    // A later start hands the PDF over the local socket.
    const QString name = QStringLiteral("tavro-test-open-%1").arg(QCoreApplication::applicationPid());
    SingleInstance running;
    ASSERT_TRUE(running.listen(name));
    QObject::connect(&running, &SingleInstance::filesReceived, &opener, &BookFileOpener::open);
    QString opened;
    QObject::connect(&opener, &BookFileOpener::opened, [&](const QString &f) { opened = f; });
    auto sent = std::async(std::launch::async, [&] { return SingleInstance::sendToRunning(name, { pdf }); });
    ASSERT_TRUE(waitUntil([&] { return !opened.isEmpty(); })) << "the running program opens the handed file";
    EXPECT_TRUE(sent.get());
    EXPECT_EQ(opened, QStringLiteral("nursing-notes.pdf"));
    ASSERT_TRUE(waitUntil([&] { return m_app->readerVC() && m_app->readerVC()->findChild<QPdfView *>(); }));

    m_app->changeToShelf();
    ASSERT_TRUE(waitUntil([&] { return m_app->shelfVC() && m_app->shelfVC()->isVisible(); }));
    const auto *list = m_app->shelfVC()->findChild<QListView *>(QStringLiteral("bookList"));
    ASSERT_TRUE(list);
    EXPECT_TRUE(waitUntil([&] { return list->model()->rowCount() >= 2; })) << "both books are on the shelf";
    saveScreenshot(m_app->window(), QStringLiteral("shelf.png"));
}

} // namespace
