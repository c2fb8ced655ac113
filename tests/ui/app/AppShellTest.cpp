// The application shell: start-up, screens kept and released, message boxes.
#include "ui/AppShellFixture.h"

#include <QWebEngineProfile>
#include <QWebEngineView>

namespace
{

TEST_F(AppShellTest, FirstLaunchCreatesTheDefaultShelfOnce)
{
    BookMetaData book;
    book.BookID = 1;
    book.identifier = QStringLiteral("urn:pre");
    EXPECT_TRUE(store().insert(book));
    launch();
    const auto shelf = library().books().getLabelByLabelID(1);
    ASSERT_TRUE(shelf.has_value());
    EXPECT_EQ(shelf->labelName, QStringLiteral("マイ本棚"));
    EXPECT_EQ(library().books().getBookListByLabelID(1).size(), 1);
    EXPECT_EQ(m_app->currentVC(), m_app->topVC()) << "the top screen comes first";
    m_app.reset();
    launch();
    EXPECT_EQ(store().count<LabelMaster>(), 1);
    EXPECT_EQ(library().books().getBookListByLabelID(1).size(), 1);
    EXPECT_TRUE(m_answerer.seen.isEmpty()) << "no user record: no warning";
}

// The web engine (its processes and their memory) starts with the first
// screen that shows a web page, not with the program.
TEST_F(AppShellTest, TheTopScreenStartsNoWebEngine)
{
    launch();
    ASSERT_EQ(m_app->currentVC(), m_app->topVC());
    EXPECT_TRUE(m_app->window()->findChildren<QWebEngineView *>().isEmpty());
    EXPECT_TRUE(m_app->findChildren<QWebEngineProfile *>().isEmpty());
}

TEST_F(AppShellTest, LiftedAccountWarnsBeforeTheTopScreen)
{
    library().account().saveUserInfo({ { QStringLiteral("userId"), 1 } });
    UserDefaults::setValue(QString::fromLatin1(UserDefaults::accountLift), QStringLiteral("1"));
    launch();
    ASSERT_EQ(m_answerer.seen.size(), 1);
    EXPECT_EQ(m_answerer.seen.first().title, QStringLiteral("警告"));
    EXPECT_EQ(m_answerer.seen.first().message,
        QStringLiteral(
            "端末の解除かログアウトが行われました。\n取得済み書籍を選択し、再度ログインしてください。"));
    EXPECT_EQ(m_answerer.seen.first().screen, QStringLiteral("none")) << "shown before the top screen";
    EXPECT_EQ(m_app->currentVC(), m_app->topVC());
}

TEST_F(AppShellTest, ScreensAreKeptAndReadersReleased)
{
    launch();
    m_app->changeToShelf();
    ShelfVC *shelf = m_app->shelfVC();
    TopVC *top = m_app->topVC();
    m_app->changeToTop();
    m_app->changeToShelf();
    EXPECT_EQ(m_app->shelfVC(), shelf);
    EXPECT_EQ(m_app->topVC(), top);
    EXPECT_EQ(m_app->currentVC(), shelf);

    library().books().parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> first = m_app->readerVC();
    ASSERT_TRUE(first);
    m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> second = m_app->readerVC();
    EXPECT_NE(first, second);
    EXPECT_TRUE(waitUntil([&] { return first.isNull(); })) << "the first reader is released";
    second->goToPage(1);
    m_app->changeToShelf();
    EXPECT_TRUE(waitUntil([&] { return second.isNull(); }));
    const auto status = store().findFirst<BookStatusData>();
    ASSERT_TRUE(status.has_value()) << "leaving the reader saves the reading state";
    EXPECT_EQ(status->lastOpenPage, 1);

    // A PDF gets its cover when it is opened.
    installSampleBook(QStringLiteral("nursing-notes.pdf"));
    const QString cover = DataFolder::contentsFolder() + QStringLiteral("/nursing-notes.cover");
    QFile::remove(cover);
    m_app->changeToReader(ShelfVC::bookInfo(library(), QStringLiteral("nursing-notes.pdf")));
    EXPECT_TRUE(QImage(cover).width() > 0) << "the first page as JPEG";
}

TEST_F(AppShellTest, MessageBoxes)
{
    launch();
    MsgBox::showMessage(QStringLiteral("100% done, %d %@"), QStringLiteral("タイトル"));
    ASSERT_FALSE(m_answerer.seen.isEmpty());
    EXPECT_EQ(m_answerer.seen.last().message, QStringLiteral("100% done, %d %@")) << "shown as it is";
    EXPECT_EQ(m_answerer.seen.last().title, QStringLiteral("タイトル"));
    MsgBox::errorMessage(QStringLiteral("e"));
    EXPECT_EQ(m_answerer.seen.last().title, QStringLiteral("Error"));

    EXPECT_TRUE(MsgBox::syncedAsk(QStringLiteral("sure?"), QStringLiteral("確認")));
    m_answerer.button = 1;
    EXPECT_FALSE(MsgBox::syncedAsk(QStringLiteral("sure?"), QStringLiteral("確認"))) << "Cancel";

    QMessageBox three(m_app->window());
    three.addButton(QStringLiteral("A"), QMessageBox::AcceptRole);
    three.addButton(QStringLiteral("B"), QMessageBox::RejectRole);
    three.addButton(QStringLiteral("C"), QMessageBox::ActionRole);
    m_answerer.button = 2;
    EXPECT_EQ(MsgBox::runModalSheet(three), 1002);

    std::optional<bool> answer;
    m_answerer.button = 0;
    MsgBox::ask(QStringLiteral("go?"), QStringLiteral("t"), [&](bool ok) { answer = ok; });
    ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }));
    EXPECT_TRUE(*answer);
}

} // namespace

namespace
{

// After a sign-in the top screen is refreshed only when it is the screen
// shown: a shelf whose name contains "TOP" puts it in the window title too,
// and must not get the top screen's title and toolbar laid over it.
TEST_F(AppShellTest, SignInRefreshesTheTopScreenOnlyWhenItIsShown)
{
    LabelMaster shelf; // the first shelf, so the start-up adds none of its own
    shelf.labelID = 1;
    shelf.order = 1;
    shelf.labelName = QStringLiteral("TOPICS");
    ASSERT_TRUE(store().insert(shelf));
    launch();
    AccountSessionUi &session = *m_app;
    m_app->changeToShelf();
    const QString shelfTitle = m_app->window()->windowTitle();
    ASSERT_TRUE(shelfTitle.endsWith(QStringLiteral(" - TOPICS"))) << shelfTitle.toStdString();
    session.refreshTopIfShown();
    EXPECT_EQ(m_app->window()->windowTitle(), shelfTitle);
    EXPECT_EQ(m_app->currentVC(), m_app->shelfVC());
    EXPECT_TRUE(m_app->shelfVC()->toolbar()->isVisible()) << "the shelf keeps its toolbar";

    m_app->changeToTop();
    m_app->window()->setWindowTitle(QStringLiteral("before the refresh"));
    session.refreshTopIfShown();
    EXPECT_TRUE(m_app->window()->windowTitle().endsWith(QStringLiteral(" - TOP")))
        << "the top screen shown is refreshed";
}

} // namespace
