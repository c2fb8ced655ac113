// The application shell in a real window under Xvfb, against the local
// backend.
#include "MainWindow.h"
#include "app/AppDelegate.h"
#include "app/MsgBox.h"
#include "app/ServerConfig.h"
#include "app/UserDefaults.h"
#include "content/BookUrl.h"
#include "library/DataBaseHelper.h"
#include "library/LibraryStore.h"
#include "screens/ShelfVC.h"
#include "sheets/DevicesWindow.h"
#include "store/KeyChainStore.h"
#include "store/PackageInstaller.h"
#include "store/VamoManager.h"
#include "support/BackendProcess.h"
#include "support/Samples.h"
#include "support/Wait.h"
#include "support/ZipWriter.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPdfDocument>
#include <QPrinter>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QLineEdit>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QSplitter>
#include <QTest>
#include <QWheelEvent>
#include "app/ConfigDictionary.h"
#include "screens/ImageViewer.h"
#include "screens/QLBShelfManagerView.h"
#include "screens/QLBTableCellView.h"
#include <gtest/gtest.h>
#include <utility>

namespace {

// Answers every message box with its first button, noting what it said and
// which screen was shown at that moment.
class BoxAnswerer
{
public:
    int button = 0; // the index of the button pressed
    struct Seen
    {
        QString title;
        QString message;
        QString screen;
    };
    QList<Seen> seen;
    std::function<QString()> currentScreen;
    // Runs once while the next box is open, before it is answered.
    std::function<void()> beforeAnswer;

    BoxAnswerer()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(w);
                // Marked on the box itself: a new box may reuse a deleted
                // one's address.
                if (!box || !box->isVisible() || box->property("answered").toBool())
                    continue;
                box->setProperty("answered", true);
                seen.append({box->text(), box->informativeText(), currentScreen ? currentScreen() : QString()});
                if (auto before = std::exchange(beforeAnswer, nullptr))
                    before();
                if (!box->buttons().isEmpty())
                    box->buttons().value(button, box->buttons().first())->click();
            }
        });
        m_timer.start(30);
    }

private:
    QTimer m_timer;
};

// Stands in for the user's browser.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class AppShellTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        backend = new BackendProcess;
        ASSERT_TRUE(backend->start()) << backend->error().toStdString();
        servers = new ServerConfig(backend->baseUrl(), QStringLiteral("/nonexistent.ini"));
    }
    static void TearDownTestSuite()
    {
        delete servers;
        delete backend;
    }
    void SetUp() override
    {
        ASSERT_TRUE(LibraryStore::main().open(m_dir.filePath(QStringLiteral("Tavro.sqlite"))));
        UserDefaults::remove(QString::fromLatin1(UserDefaults::accountLift));
        KeyChainStore().writeToken(std::nullopt);
        m_answerer.currentScreen = [this] {
            return m_app && m_app->currentVC() ? m_app->currentVC()->objectName() : QStringLiteral("none");
        };
    }
    void TearDown() override
    {
        m_app.reset();
        KeyChainStore().writeToken(std::nullopt);
        LibraryStore::cleanUp();
    }

    AppDelegate &launch()
    {
        m_app = std::make_unique<AppDelegate>(*servers);
        m_app->applicationDidFinishLaunching();
        return *m_app;
    }

    bool signInThroughTheSheet(const QString &id, const QString &password, std::optional<bool> *result)
    {
        m_app->takeToken([result](bool ok) { *result = ok; });
        if (!waitUntil([&] { return m_app->loginWindow() && m_app->loginWindow()->isVisible(); }))
            return false;
        LoginWindow *sheet = m_app->loginWindow();
        sheet->findChild<QLineEdit *>(QStringLiteral("txtID"))->setText(id);
        sheet->findChild<QLineEdit *>(QStringLiteral("txtPass"))->setText(password);
        sheet->findChild<QPushButton *>(QStringLiteral("login"))->click();
        return true;
    }

    static inline BackendProcess *backend = nullptr;
    static inline ServerConfig *servers = nullptr;
    QTemporaryDir m_dir;
    BoxAnswerer m_answerer;
    std::unique_ptr<AppDelegate> m_app;
};

TEST_F(AppShellTest, FirstLaunchCreatesTheDefaultShelfOnce)
{
    BookMetaData book;
    book.BookID = 1;
    book.identifier = QStringLiteral("urn:pre");
    LibraryStore::main().insert(book);
    launch();
    const auto shelf = DataBaseHelper::getLabelByLabelID(1);
    ASSERT_TRUE(shelf.has_value());
    EXPECT_EQ(shelf->labelName, QStringLiteral("マイ本棚"));
    EXPECT_EQ(DataBaseHelper::getBookListByLabelID(1).size(), 1);
    EXPECT_EQ(m_app->currentVC(), m_app->topVC()) << "the top screen comes first";
    m_app.reset();
    launch();
    EXPECT_EQ(LibraryStore::main().count<LabelMaster>(), 1);
    EXPECT_EQ(DataBaseHelper::getBookListByLabelID(1).size(), 1);
    EXPECT_TRUE(m_answerer.seen.isEmpty()) << "no user record: no warning";
}

TEST_F(AppShellTest, LiftedAccountWarnsBeforeTheTopScreen)
{
    DataBaseHelper::saveUserInfo({{QStringLiteral("userId"), 1}});
    UserDefaults::setValue(QString::fromLatin1(UserDefaults::accountLift), QStringLiteral("1"));
    launch();
    ASSERT_EQ(m_answerer.seen.size(), 1);
    EXPECT_EQ(m_answerer.seen.first().title, QStringLiteral("警告"));
    EXPECT_EQ(m_answerer.seen.first().message,
              QStringLiteral("端末の解除かログアウトが行われました。\n取得済み書籍を選択し、再度ログインしてください。"));
    EXPECT_EQ(m_answerer.seen.first().screen, QStringLiteral("none")) << "shown before the top screen";
    EXPECT_EQ(m_app->currentVC(), m_app->topVC());
}

TEST_F(AppShellTest, SigningInThroughTheSheet)
{
    launch();
    std::optional<bool> result;
    ASSERT_TRUE(signInThroughTheSheet(QStringLiteral("yamada"), QStringLiteral("Yamada-2026"), &result));
    m_app->loginWindow()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/sign-in-sheet.png"));
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    EXPECT_TRUE(*result);
    EXPECT_TRUE(KeyChainStore().token().has_value()) << "the token is stored";
    EXPECT_FALSE(m_app->loginWindow()->isVisible());
    EXPECT_EQ(DataBaseHelper::currentUserId(), QStringLiteral("1"));
    ASSERT_TRUE(waitUntil([] { return UserDefaults::stringForKey(QString::fromLatin1(UserDefaults::vamoUserName)).has_value(); }));
    EXPECT_EQ(UserDefaults::stringForKey(QString::fromLatin1(UserDefaults::vamoUserName)), QStringLiteral("山田太郎"));
    m_app->window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/main-window.png"));
}

TEST_F(AppShellTest, DeviceLimitPathReleasesADevice)
{
    const QString other = backend->post(QStringLiteral("/profile/oauth/token"),
                                        QStringLiteral("grant_type=password&username=sato&password=Sato-2026&client_id=%1&client_secret=%2")
                                            .arg(BackendProcess::clientId(), BackendProcess::clientSecret()).toUtf8())
                              .json().toMap().value(QStringLiteral("access_token")).toString();
    for (int i = 0; i < 3; ++i)
        backend->post(QStringLiteral("/store-api/api/login"), QStringLiteral("token=%1&uid=SHELL-%2").arg(other).arg(i).toUtf8());
    launch();
    std::optional<bool> result;
    ASSERT_TRUE(signInThroughTheSheet(QStringLiteral("sato"), QStringLiteral("Sato-2026"), &result));
    ASSERT_TRUE(waitUntil([&] {
        return m_app->loginWindow()->devicesWindow() && m_app->loginWindow()->devicesWindow()->isVisible();
    }));
    EXPECT_EQ(m_answerer.seen.last().title, QStringLiteral("台数制限エラー"));
    DevicesWindow *devices = m_app->loginWindow()->devicesWindow();
    EXPECT_TRUE(devices->findChild<QLabel *>(QStringLiteral("lbl1"))->text().contains(QStringLiteral("SHELL-0")));
    devices->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/devices-sheet.png"));
    devices->findChild<QPushButton *>(QStringLiteral("release1"))->click();
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    EXPECT_TRUE(*result);
    EXPECT_EQ(DataBaseHelper::currentUserId(), QStringLiteral("2"));
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

    DataBaseHelper::parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    m_app->changeToReader(ShelfVC::bookInfo(QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> first = m_app->readerVC();
    ASSERT_TRUE(first);
    m_app->changeToReader(ShelfVC::bookInfo(QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> second = m_app->readerVC();
    EXPECT_NE(first, second);
    EXPECT_TRUE(waitUntil([&] { return first.isNull(); })) << "the first reader is released";
    second->goToPage(1);
    m_app->changeToShelf();
    EXPECT_TRUE(waitUntil([&] { return second.isNull(); }));
    const auto status = LibraryStore::main().findFirst<BookStatusData>();
    ASSERT_TRUE(status.has_value()) << "leaving the reader saves the reading state";
    EXPECT_EQ(status->lastOpenPage, 1);

    // A PDF gets its cover when it is opened.
    installSampleBook(QStringLiteral("nursing-notes.pdf"));
    const QString cover = DataFolder::contentsFolder() + QStringLiteral("/nursing-notes.cover");
    QFile::remove(cover);
    m_app->changeToReader(ShelfVC::bookInfo(QStringLiteral("nursing-notes.pdf")));
    EXPECT_TRUE(QImage(cover).width() > 0) << "the first page as JPEG";
}

TEST_F(AppShellTest, StorePagesAndADownloadIntoTheShelf)
{
    launch();
    std::optional<bool> result;
    ASSERT_TRUE(signInThroughTheSheet(QStringLiteral("tanaka"), QStringLiteral("Tanaka-2026"), &result));
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    ASSERT_TRUE(*result);

    m_app->changeToStore();
    StoreVC *store = m_app->storeVC();
    ASSERT_TRUE(store);
    auto pageText = [&] {
        QString text;
        bool done = false;
        store->web()->page()->toHtml([&](const QString &html) {
            text = html;
            done = true;
        });
        waitUntil([&] { return done; });
        return text;
    };
    ASSERT_TRUE(waitUntil([&] { return pageText().contains(QStringLiteral("catalogue")); }, 30000))
        << "the store top, opened with the signed-in tokens";
    store->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/store.png"));

    // A click on a download link downloads and installs the book.
    store->web()->page()->runJavaScript(QStringLiteral(
        "Array.from(document.querySelectorAll('a.download')).find(a => a.href.includes('pdf-nursing-notes')).click()"));
    ASSERT_TRUE(waitUntil([&] { return m_app->currentVC() == m_app->shelfVC(); }, 30000)) << "the shelf is shown";
    EXPECT_TRUE(QFileInfo::exists(DataFolder::contentsFolder() + QStringLiteral("/nursing-notes.pdf")));
    const auto book = LibraryStore::main().findFirst<BookMetaData>(QStringLiteral("\"identifier\"='pdf-nursing-notes'"));
    ASSERT_TRUE(book.has_value());
    EXPECT_EQ(book->title, QStringLiteral("Nursing Notes")) << "the link's query is the PDF's info";
    EXPECT_EQ(book->printable, 1);
    EXPECT_GE(m_app->shelfVC()->list()->count(), 1);
}

// A download that ends while the previous one's installation waits for an
// answer (a nested event loop): the waiting one finishes with its own file,
// and the newer one is neither destroyed early nor released by the older
// one's clean-up.
TEST_F(AppShellTest, ADownloadStartedWhileAnInstallationAsksFinishesToo)
{
    launch();
    m_app->changeToStore();
    StoreVC *store = m_app->storeVC();
    ASSERT_TRUE(store);
    const QString epub = sampleBookPath(QStringLiteral("anatomy-basics.epub"));
    const QString installed = DataFolder::contentsFolder() + QStringLiteral("/anatomy-basics.epub");
    auto registered = [](const char *fileName) {
        return LibraryStore::main().count<BookMetaData>(QStringLiteral("\"fileName\"=?"), {QString::fromUtf8(fileName)});
    };
    store->doDownload(QNetworkRequest(QUrl::fromLocalFile(epub)));
    ASSERT_TRUE(waitUntil([&] { return registered("anatomy-basics.epub") == 1; }, 30000));

    // The same book again asks whether to replace it; while the question is
    // open, a slow download of another book starts.
    ASSERT_TRUE(backend->setFault({{"path", "/files/late-arrival.pdf"},
                                   {"status", 200},
                                   {"body", "%PDF-1.4\n1 0 obj << >> endobj\ntrailer << >>\n%%EOF\n"},
                                   {"contentType", "application/pdf"},
                                   {"delayMs", 1500}}));
    const int boxesBefore = m_answerer.seen.size();
    m_answerer.beforeAnswer = [&] {
        store->doDownload(QNetworkRequest(QUrl(backend->baseUrl() + QStringLiteral("/files/late-arrival.pdf"))));
    };
    const QDateTime before = QFileInfo(installed).lastModified();
    store->doDownload(QNetworkRequest(QUrl::fromLocalFile(epub)));
    ASSERT_TRUE(waitUntil([&] { return m_answerer.seen.size() > boxesBefore; }, 30000));
    EXPECT_TRUE(m_answerer.seen.at(boxesBefore).title.contains(PackageInstaller::kOverwrite)
                || m_answerer.seen.at(boxesBefore).message.contains(PackageInstaller::kOverwrite));

    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(DataFolder::contentsFolder() + QStringLiteral("/late-arrival.pdf")); }, 30000))
        << "the newer download was installed";
    ASSERT_TRUE(waitUntil([&] { return registered("late-arrival.pdf") == 1; }, 30000));
    EXPECT_EQ(registered("anatomy-basics.epub"), 1);
    EXPECT_TRUE(QFileInfo(installed).isFile());
    EXPECT_EQ(QFileInfo(installed).size(), QFileInfo(epub).size()) << "the replaced book is whole";
    EXPECT_GE(QFileInfo(installed).lastModified(), before);
    backend->resetFaults();
}

// Waits for the book view's result of `script` (in the page's own world).
QVariant pageValue(QWebEngineView *view, const QString &script)
{
    std::optional<QVariant> result;
    view->page()->runJavaScript(script, [&](const QVariant &v) { result = v; });
    waitUntil([&] { return result.has_value(); });
    return result.value_or(QVariant());
}

TEST_F(AppShellTest, ReaderPagesOutlineAndFontSize)
{
    launch();
    UserDefaults::remove(QString::fromLatin1(UserDefaults::bookFontSize));
    DataBaseHelper::parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    BookStatusData saved;
    saved.BookID = 1;
    saved.lastOpenPage = 1;
    saved.fontSetting = 20;
    LibraryStore::main().insert(saved);

    m_app->changeToReader(ShelfVC::bookInfo(QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> reader = m_app->readerVC();
    ASSERT_TRUE(reader && reader->web());
    EXPECT_EQ(reader->page(), 1) << "opens at the saved page";
    EXPECT_EQ(reader->fontSize(), 20) << "no size chosen yet: the book's own";
    const auto opened = LibraryStore::main().findFirst<AccessBookLog>();
    ASSERT_TRUE(opened.has_value()) << "opening records an access log entry";
    EXPECT_EQ(opened->bookId, QStringLiteral("urn:tavro:anatomy-basics"));
    EXPECT_EQ(opened->bookTitle, QStringLiteral("Anatomy Basics"));
    auto label = [&] { return reader->pageLabel()->text(); };
    ASSERT_TRUE(waitUntil([&] { return reader->web()->url().scheme() == u"epub"; }));

    // Paging stops at both ends.
    const int pages = label().section(u'/', 1).toInt();
    ASSERT_GT(pages, 1);
    for (int i = 0; i < pages + 2; ++i)
        reader->goToPage(reader->page() + 1);
    EXPECT_EQ(reader->page(), pages - 1);
    EXPECT_TRUE(waitUntil([&] { return label() == QStringLiteral("%1/%1").arg(pages); })) << label().toStdString();
    for (int i = 0; i < pages + 2; ++i)
        reader->goToPage(reader->page() - 1);
    EXPECT_EQ(reader->page(), 0);

    ASSERT_TRUE(waitUntil([&] { return reader->web()->url().path().endsWith(QStringLiteral("chapter01.xhtml")); }));

    // An outline row loads its document; the page and label follow it.
    QTreeWidgetItem *cardiac = nullptr;
    for (QTreeWidgetItemIterator it(reader->outline()); *it; ++it)
        if ((*it)->text(0).startsWith(QStringLiteral("Cardiac Cycle")))
            cardiac = *it;
    ASSERT_TRUE(cardiac);
    // Rows grow when the pane is too narrow for their text on one line.
    QSplitter *split = reader->splitter();
    split->setSizes({400, split->width() - 400});
    ASSERT_TRUE(waitUntil([&] { return reader->outline()->width() >= 390 && !reader->outlineRelayoutPending(); }));
    const int wide = reader->outline()->visualItemRect(cardiac).height();
    EXPECT_GE(wide, 20);
    split->setSizes({90, split->width() - 90});
    EXPECT_TRUE(waitUntil([&] { return reader->outline()->visualItemRect(cardiac).height() > wide; }))
        << wide << " at 400 wide, " << reader->outline()->visualItemRect(cardiac).height() << " at 90";
    split->setSizes({240, split->width() - 240});
    const QString content = cardiac->data(0, Qt::UserRole).toString().section(u'#', 0, 0);
    bool loaded = false;
    QObject::connect(reader->web(), &QWebEngineView::loadFinished, reader, [&](bool ok) { loaded = ok; });
    reader->openOutlineItem(cardiac);
    ASSERT_TRUE(waitUntil([&] { return loaded && reader->web()->url().path().endsWith(content); }));
    EXPECT_EQ(label(), QStringLiteral("%1/%2").arg(reader->page() + 1).arg(pages));
    EXPECT_GT(reader->page(), 0);
    EXPECT_EQ(reader->outline()->currentItem()->data(0, Qt::UserRole).toString().section(u'#', 0, 0), content);

    // The context menu is empty until text is selected.
    QMenu menu;
    reader->fillContextMenu(&menu);
    EXPECT_TRUE(menu.isEmpty());
    reader->web()->page()->runJavaScript(QStringLiteral("window.getSelection().selectAllChildren(document.querySelector('h1'))"));
    ASSERT_TRUE(waitUntil([&] { return reader->web()->hasSelection(); }));
    reader->fillContextMenu(&menu);
    ASSERT_EQ(menu.actions().size(), 1);
    EXPECT_EQ(menu.actions().first()->text(), QStringLiteral("コピー"));

    // Font sizes run from 11 to 27.
    for (int i = 0; i < 20; ++i)
        reader->fontSizeUp();
    EXPECT_EQ(reader->fontSize(), 27);
    EXPECT_FALSE(reader->fontUpAction()->isEnabled());
    for (int i = 0; i < 30; ++i)
        reader->fontSizeDown();
    EXPECT_EQ(reader->fontSize(), 11);
    EXPECT_FALSE(reader->fontDownAction()->isEnabled());
    reader->fontSizeDefault();
    reader->fontSizeUp();
    EXPECT_TRUE(reader->fontDownAction()->isEnabled() && reader->fontUpAction()->isEnabled());
    EXPECT_EQ(pageValue(reader->web(), QStringLiteral("document.querySelector('h1').textContent")).toString(),
              QStringLiteral("Cardiac Cycle"));
    QTest::qWait(300); // the page's last frame
    m_app->window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/reader.png"));
    const int page = reader->page();

    m_app->changeToShelf();
    ASSERT_TRUE(waitUntil([&] { return reader.isNull(); }));
    const auto status = LibraryStore::main().findFirst<BookStatusData>(QStringLiteral("\"BookID\"=1"));
    EXPECT_EQ(status->lastOpenPage, page);
    EXPECT_EQ(status->fontSetting, 17);
    EXPECT_EQ(UserDefaults::value(QString::fromLatin1(UserDefaults::bookFontSize)).toInt(), 17);
    m_app->changeToReader(ShelfVC::bookInfo(QStringLiteral("anatomy-basics.epub")));
    EXPECT_EQ(m_app->readerVC()->page(), page) << "reopened where it was left";
    EXPECT_EQ(m_app->readerVC()->fontSize(), 17);
}

TEST_F(AppShellTest, ReaderLinksToAnotherBookAndTheWeb)
{
    launch();
    DataBaseHelper::parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    DataBaseHelper::parseBook(installSampleBook(QStringLiteral("臨床薬理学ノート.epub")));
    m_app->changeToReader(ShelfVC::bookInfo(QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> first = m_app->readerVC();
    bool loaded = false;
    QObject::connect(first->web(), &QWebEngineView::loadFinished, first, [&](bool ok) { loaded = ok; });
    ASSERT_TRUE(waitUntil([&] { return loaded; }));
    auto click = [](ReaderVC *reader, const QString &href) {
        reader->web()->page()->runJavaScript(
            QStringLiteral("var a = document.createElement('a'); a.href = '%1'; document.body.appendChild(a); a.click();").arg(href));
    };

    // A web link goes to the browser; the book view stays on the book.
    UrlRecorder browser;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "open");
    click(first, QStringLiteral("http://example.invalid/page"));
    EXPECT_TRUE(waitUntil([&] { return !browser.urls.isEmpty(); }));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    EXPECT_EQ(first->web()->url().scheme(), QStringLiteral("epub"));

    // A link to a book that is not in the library only warns.
    click(first, QStringLiteral("tavro://open?paramBookId=urn%3Anone&paramManifestId=ch2"));
    ASSERT_TRUE(waitUntil([&] { return !m_answerer.seen.isEmpty(); }));
    EXPECT_EQ(m_answerer.seen.last().message, QStringLiteral("指定された本が存在しません"));
    EXPECT_EQ(m_answerer.seen.last().title, QStringLiteral("Warning"));
    EXPECT_EQ(m_app->readerVC(), first);

    // After "OK" the other book opens at the linked document, and going back
    // returns to the first book.
    click(first, QStringLiteral("tavro://open?paramBookId=urn%3Atavro%3Aclinical-pharmacology&paramManifestId=ch2"));
    ASSERT_TRUE(waitUntil([&] { return m_app->readerVC() != first.data(); }));
    EXPECT_EQ(m_answerer.seen.last().title, QStringLiteral("遷移しますか？"));
    ReaderVC *second = m_app->readerVC();
    EXPECT_TRUE(second->openedFromLink());
    ASSERT_TRUE(waitUntil([&] { return second->web()->url().path().endsWith(QStringLiteral("chapter02.xhtml")); }));
    EXPECT_EQ(BookUrl::parse(second->web()->url())->fileName, QStringLiteral("臨床薬理学ノート.epub"));
    second->tapBackBtn();
    ASSERT_TRUE(waitUntil([&] { return m_app->readerVC() != second; }));
    EXPECT_EQ(m_answerer.seen.last().title, QStringLiteral("戻りますか？"));
    ReaderVC *back = m_app->readerVC();
    ASSERT_TRUE(waitUntil([&] { return back->web()->url().path().endsWith(QStringLiteral("chapter01.xhtml")); }));
    EXPECT_EQ(BookUrl::parse(back->web()->url())->fileName, QStringLiteral("anatomy-basics.epub"));
    EXPECT_FALSE(back->openedFromLink()) << "back where the reader started: nothing further back";
}

TEST_F(AppShellTest, ReaderGoesBackAfterJumpsAndOpensImages)
{
    launch();
    DataBaseHelper::parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    m_app->changeToReader(ShelfVC::bookInfo(QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> reader = m_app->readerVC();
    ASSERT_TRUE(reader && reader->web());
    QWebEngineView *view = reader->web();
    int loads = 0;
    QObject::connect(view, &QWebEngineView::loadFinished, reader, [&](bool ok) { loads += ok; });
    ASSERT_TRUE(waitUntil([&] { return loads == 1; }));
    EXPECT_FALSE(reader->backAction()->isEnabled()) << "nothing to go back to on opening";
    auto scrollY = [&] { return int(view->page()->scrollPosition().y()); };

    // An in-page "#" jump keeps where the page was; going back scrolls there
    // without loading the page again.
    pageValue(view, QStringLiteral("var tall = document.createElement('div'); tall.style.height = '4000px';"
                                   "document.body.insertBefore(tall, document.getElementById('summary'));"
                                   "var a = document.createElement('a'); a.id = 'jump'; a.href = '#summary'; a.textContent = 'jump';"
                                   "document.body.insertBefore(a, document.body.firstChild); window.scrollTo(0, 120); true"));
    ASSERT_TRUE(waitUntil([&] { return scrollY() == 120; }));
    pageValue(view, QStringLiteral("document.getElementById('jump').click(); true"));
    ASSERT_TRUE(waitUntil([&] { return scrollY() > 1000 && reader->backAction()->isEnabled(); }))
        << scrollY() << " " << reader->backAction()->isEnabled();
    EXPECT_EQ(reader->page(), 0);
    reader->tapBackBtn();
    EXPECT_TRUE(waitUntil([&] { return scrollY() == 120; })) << scrollY();
    EXPECT_EQ(loads, 1) << "the same page is not loaded again";
    EXPECT_FALSE(reader->backAction()->isEnabled());

    // Next page, then back to the page before.
    reader->tapDir(1);
    ASSERT_TRUE(waitUntil([&] { return loads == 2 && reader->backAction()->isEnabled(); }));
    EXPECT_EQ(reader->page(), 1);
    EXPECT_EQ(reader->lastPage(), 0);
    reader->tapBackBtn();
    ASSERT_TRUE(waitUntil([&] { return loads == 3; }));
    EXPECT_EQ(reader->page(), 0);
    EXPECT_TRUE(view->url().path().endsWith(QStringLiteral("chapter01.xhtml")));

    // A "#" link into the next document: back returns to this one.
    pageValue(view, QStringLiteral("document.querySelector('a[href^=\"chapter02\"]').click(); true"));
    ASSERT_TRUE(waitUntil([&] { return loads == 4; }));
    EXPECT_EQ(reader->page(), 1);
    reader->tapBackBtn();
    ASSERT_TRUE(waitUntil([&] { return loads == 5; }));
    EXPECT_EQ(reader->page(), 0);

    // A double click on the figure opens it in the viewer; text does not.
    const QVariantList box = pageValue(view, QStringLiteral(
        "var img = document.querySelector('img.figure'); img.scrollIntoView(); var r = img.getBoundingClientRect();"
        "[r.left + r.width / 2, r.top + r.height / 2]")).toList();
    ASSERT_EQ(box.size(), 2);
    const QPoint figure(box.at(0).toInt(), box.at(1).toInt());
    QWidget *input = view->focusProxy();
    ASSERT_TRUE(input);
    // The events of a real double click: press, release, press, double
    // click, release.
    QTest::mouseClick(input, Qt::LeftButton, {}, figure);
    QTest::mousePress(input, Qt::LeftButton, {}, figure);
    QTest::mouseDClick(input, Qt::LeftButton, {}, figure);
    QTest::mouseRelease(input, Qt::LeftButton, {}, figure);
    ASSERT_TRUE(waitUntil([&] { return reader->imageViewer() != nullptr; })) << "double click at " << figure.x() << "," << figure.y();
    ImageViewer *viewer = reader->imageViewer();
    EXPECT_TRUE(viewer->isVisible());
    m_app->window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/image-viewer.png"));
    const double fitted = viewer->scale();
    EXPECT_GT(fitted, 1.5) << "the small figure is zoomed to fit the view";
    viewer->tapZoom(1);
    EXPECT_GT(viewer->scale(), fitted);
    viewer->tapZoom(0);
    viewer->tapZoom(0);
    EXPECT_LT(viewer->scale(), fitted);
    QTest::keyClick(viewer, Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return reader->imageViewer() == nullptr; }));
    std::optional<bool> opened;
    reader->openImageAt(QPoint(2, 2), [&](bool ok) { opened = ok; });
    ASSERT_TRUE(waitUntil([&] { return opened.has_value(); }));
    EXPECT_FALSE(*opened) << "no image there";

    // A picture from another book is not this book's to show.
    installSampleBook(QStringLiteral("臨床薬理学ノート.epub"));
    const QString foreign =
        BookUrl::entryUrl(QStringLiteral("臨床薬理学ノート.epub"), QStringLiteral("OEBPS/images/figure 1.png")).toString(QUrl::FullyEncoded);
    pageValue(view, QStringLiteral("var f = document.createElement('img'); f.src = '%1';"
                                   "f.style = 'position:fixed;left:0;top:0;width:60px;height:60px';"
                                   "document.body.appendChild(f); true").arg(foreign));
    opened.reset();
    reader->openImageAt(QPoint(20, 20), [&](bool ok) { opened = ok; });
    ASSERT_TRUE(waitUntil([&] { return opened.has_value(); }));
    EXPECT_FALSE(*opened) << "another book's picture";
}

TEST_F(AppShellTest, ReaderKeepsPagesThatAreDrawingsOpen)
{
    // A drawing shown as a page is read like any other page: the check for
    // the page scripts must not send the reader back to the shelf.
    launch();
    const QByteArray opf =
        "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" version=\"2.0\">"
        "<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title>Drawn</dc:title><dc:identifier>urn:drawn</dc:identifier></metadata>"
        "<manifest><item id=\"p\" href=\"p.xhtml\" media-type=\"application/xhtml+xml\"/>"
        "<item id=\"d\" href=\"d.svg\" media-type=\"image/svg+xml\"/></manifest>"
        "<spine><itemref idref=\"p\"/><itemref idref=\"d\"/></spine></package>";
    const QByteArray page = "<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>p</title></head>"
                            "<body><p>Text</p></body></html>";
    const QByteArray drawing = "<?xml version=\"1.0\"?><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"200\" height=\"100\">"
                               "<circle cx=\"50\" cy=\"50\" r=\"40\" fill=\"red\"/></svg>";
    DataFolder::createContentsFolder();
    const QString path = DataFolder::contentsFolder() + QStringLiteral("/drawn.epub");
    ASSERT_TRUE(writeEpub(path, QStringLiteral("OEBPS/content.opf"),
                          {{"OEBPS/content.opf", opf}, {"OEBPS/p.xhtml", page}, {"OEBPS/d.svg", drawing}}));
    DataBaseHelper::parseBook(path);
    m_app->changeToReader(ShelfVC::bookInfo(QStringLiteral("drawn.epub")));
    QPointer<ReaderVC> reader = m_app->readerVC();
    ASSERT_TRUE(reader && reader->web());
    int loads = 0;
    QObject::connect(reader->web(), &QWebEngineView::loadFinished, reader, [&](bool ok) { loads += ok; });
    ASSERT_TRUE(waitUntil([&] { return loads == 1; }));
    reader->tapDir(1);
    ASSERT_TRUE(waitUntil([&] { return loads == 2; }));
    QTest::qWait(300);
    EXPECT_EQ(m_app->readerVC(), reader.data()) << "still reading";
    EXPECT_EQ(reader->page(), 1);

    // A file that is no book says so and goes back to the shelf.
    QFile broken(DataFolder::contentsFolder() + QStringLiteral("/broken.epub"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("PK\x03\x04 not really a zip");
    broken.close();
    m_app->changeToReader(ShelfVC::bookInfo(QStringLiteral("broken.epub")));
    ASSERT_TRUE(waitUntil([&] { return m_app->currentVC() == m_app->shelfVC(); }));
    EXPECT_EQ(m_answerer.seen.last().message, QStringLiteral("この本を開けません"));
}

TEST(ReaderSplit, StoredFractionCountsOnlyFromFivePercentToNinetyFive)
{
    const struct
    {
        QVariant stored;
        std::optional<double> expected;
    } cases[] = {
        {0.97, std::nullopt}, {0.05, 0.05},         {0.95, 0.95},         {0.3, 0.3},
        {0.049, std::nullopt}, {-0.5, std::nullopt}, {QStringLiteral("0.4"), 0.4}, {QStringLiteral("wide"), std::nullopt},
        {QVariant(), std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ReaderVC::storedSplit(c.stored), c.expected) << c.stored.toString().toStdString();
}

TEST(ShelfListRow, SubTitleJoinsCreatorAndPublisher)
{
    const struct
    {
        std::optional<QString> creator, publisher;
        const char *expected;
    } cases[] = {
        {QStringLiteral("山田太郎"), QStringLiteral("医学書院"), "山田太郎,医学書院"},
        {QStringLiteral("山田太郎"), std::nullopt, "山田太郎"},
        {QStringLiteral("山田太郎"), QString(), "山田太郎"},
        {std::nullopt, QStringLiteral("医学書院"), ",医学書院"},
        {QString(), QStringLiteral("医学書院"), ",医学書院"},
        {std::nullopt, std::nullopt, ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(QLBTableCellView::subTitle(c.creator, c.publisher), QString::fromUtf8(c.expected)) << c.expected;
    EXPECT_EQ(QLBTableCellView::timeText(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7))), QStringLiteral("ダウンロード日時：2026/03/04 05:06"));
    EXPECT_EQ(QLBTableCellView::timeText(QDateTime()), QString());
}

TEST_F(AppShellTest, ReaderSplashAndOutlineWidth)
{
    launch();
    DataBaseHelper::parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    DataBaseHelper::parseBook(installSampleBook(QStringLiteral("Emergency Medicine Handbook.epub")));
    ConfigDictionary::shared().setValue(QStringLiteral("r_split"), 0.5);
    m_app->changeToReader(ShelfVC::bookInfo(QStringLiteral("anatomy-basics.epub")));
    QPointer<ReaderVC> reader = m_app->readerVC();
    EXPECT_FALSE(reader->splashShown()) << "no splash image in this book";
    auto outlineShare = [&](ReaderVC *r) {
        const QList<int> sizes = r->splitter()->sizes();
        return double(sizes.value(0)) / (sizes.value(0) + sizes.value(1));
    };
    ASSERT_TRUE(waitUntil([&] { return reader->splitter()->isVisible(); }));
    EXPECT_NEAR(outlineShare(reader), 0.5, 0.02);

    // Leaving keeps the width the reader left it at.
    const int total = reader->splitter()->width();
    reader->splitter()->setSizes({total / 4, total - total / 4});
    m_app->changeToShelf();
    ASSERT_TRUE(waitUntil([&] { return reader.isNull(); }));
    EXPECT_NEAR(ConfigDictionary::shared().value(QStringLiteral("r_split")).toDouble(), 0.25, 0.02);

    // The splash covers the reader with the outline closed, then goes by
    // itself (two seconds: the book's "dc:splash" is not a number).
    m_app->changeToReader(ShelfVC::bookInfo(QStringLiteral("Emergency Medicine Handbook.epub")));
    reader = m_app->readerVC();
    ASSERT_TRUE(reader->splashShown());
    auto *splash = reader->findChild<QLabel *>(QStringLiteral("splash"));
    ASSERT_TRUE(splash);
    EXPECT_FALSE(splash->pixmap().isNull());
    EXPECT_EQ(reader->splitter()->sizes().value(0), 0);
    m_app->changeToShelf();
    EXPECT_NEAR(ConfigDictionary::shared().value(QStringLiteral("r_split")).toDouble(), 0.25, 0.02)
        << "leaving during the splash keeps the stored width";
    m_app->changeToReader(ShelfVC::bookInfo(QStringLiteral("Emergency Medicine Handbook.epub")));
    reader = m_app->readerVC();
    ASSERT_TRUE(reader->splashShown());
    ASSERT_TRUE(waitUntil([&] { return !reader->splashShown(); }, 6000));
    EXPECT_NEAR(outlineShare(reader), 0.25, 0.02);
    // A click ends the splash early.
    m_app->changeToReader(ShelfVC::bookInfo(QStringLiteral("Emergency Medicine Handbook.epub")));
    reader = m_app->readerVC();
    ASSERT_TRUE(reader->splashShown());
    ASSERT_TRUE(waitUntil([&] { return reader->splitter()->width() > 500; })) << "laid out, as when a person clicks";
    QTest::mouseClick(reader->findChild<QLabel *>(QStringLiteral("splash")), Qt::LeftButton);
    EXPECT_FALSE(reader->splashShown());
    EXPECT_NEAR(outlineShare(reader), 0.25, 0.02);

    // A stored width out of range gives the default outline.
    ConfigDictionary::shared().setValue(QStringLiteral("r_split"), 0.97);
    m_app->changeToReader(ShelfVC::bookInfo(QStringLiteral("anatomy-basics.epub")));
    reader = m_app->readerVC();
    ASSERT_TRUE(waitUntil([&] { return reader->splitter()->isVisible(); }));
    EXPECT_NEAR(reader->splitter()->sizes().value(0), 240, 10);
}

TEST_F(AppShellTest, ReaderPrintsOnlyAllowedBooks)
{
    launch();
    DataBaseHelper::parseBook(installSampleBook(QStringLiteral("anatomy-basics.epub")));
    DataBaseHelper::parseBook(installSampleBook(QStringLiteral("Emergency Medicine Handbook.epub")));
    DataBaseHelper::parsePDFBook(installSampleBook(QStringLiteral("nursing-notes.pdf")),
                                 {{QStringLiteral("bookId"), QStringLiteral("pdf-nursing-notes")},
                                  {QStringLiteral("bookTitle"), QStringLiteral("Nursing Notes")},
                                  {QStringLiteral("print"), QStringLiteral("1")}});

    m_app->changeToReader(ShelfVC::bookInfo(QStringLiteral("Emergency Medicine Handbook.epub")));
    EXPECT_FALSE(m_app->readerVC()->printAction()->isVisible()) << "no print permission";

    auto printed = [&](const QString &fileName) {
        m_app->changeToReader(ShelfVC::bookInfo(fileName));
        ReaderVC *reader = m_app->readerVC();
        EXPECT_TRUE(reader->printAction()->isVisible()) << fileName.toStdString();
        if (reader->web()) {
            bool loaded = false;
            QObject::connect(reader->web(), &QWebEngineView::loadFinished, reader, [&](bool ok) { loaded = ok; });
            EXPECT_TRUE(waitUntil([&] { return loaded; }));
        }
        const QString out = m_dir.filePath(fileName + QStringLiteral(".printed.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(out);
        std::optional<bool> ok;
        reader->printTo(&printer, [&](bool result) { ok = result; });
        EXPECT_TRUE(waitUntil([&] { return ok.has_value(); }, 20000));
        EXPECT_TRUE(ok.value_or(false));
        QPdfDocument pdf;
        EXPECT_EQ(pdf.load(out), QPdfDocument::Error::None);
        return pdf.pageCount();
    };
    EXPECT_GE(printed(QStringLiteral("anatomy-basics.epub")), 1);
    EXPECT_EQ(printed(QStringLiteral("nursing-notes.pdf")), 1) << "only the page on screen";
}

TEST_F(AppShellTest, ShelfScreenSortsSearchesMovesDeletesAndImports)
{
    QDir(DataFolder::contentsFolder()).removeRecursively();
    UserDefaults::remove(QString::fromLatin1(UserDefaults::hasBuildBookInfo));
    UserDefaults::remove(QString::fromLatin1(UserDefaults::sort));
    installSampleBook(QStringLiteral("anatomy-basics.epub"));
    installSampleBook(QStringLiteral("臨床薬理学ノート.epub"));
    launch();
    m_app->changeToShelf();
    ShelfVC *shelf = m_app->shelfVC();
    auto shown = [shelf] {
        QStringList names;
        for (int i = 0; i < shelf->list()->count(); ++i)
            names << shelf->list()->item(i)->data(Qt::UserRole).toString();
        return names;
    };
    EXPECT_EQ(shown(), (QStringList{QStringLiteral("anatomy-basics.epub"), QStringLiteral("臨床薬理学ノート.epub")}))
        << "loose books registered on first showing, in registration order";
    EXPECT_TRUE(m_app->window()->windowTitle().endsWith(QStringLiteral(" - マイ本棚")));
    ASSERT_TRUE(shelf->gridMode()) << "covers first";
    // No covers are made while another screen has the window.
    m_app->changeToTop();
    QTest::qWait(200);
    for (int i = 0; i < shelf->list()->count(); ++i)
        EXPECT_FALSE(shelf->list()->item(i)->data(Qt::UserRole + 4).toBool()) << i;
    m_app->changeToShelf();
    EXPECT_TRUE(waitUntil([&] {
        for (int i = 0; i < shelf->list()->count(); ++i)
            if (!shelf->list()->item(i)->data(Qt::UserRole + 4).toBool())
                return false;
        return true;
    })) << "every cover is made after the shelf shows";
    m_app->window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/shelf-grid.png"));
    shelf->setGridMode(false);
    EXPECT_EQ(shown().size(), 2) << "the list mode shows the same books";
    QListWidgetItem *row = shelf->list()->item(0);
    EXPECT_EQ(shelf->list()->visualItemRect(row).height(), QLBTableCellView::kRowHeight);
    EXPECT_EQ(row->data(QLBTableCellView::kTitleRole).toString(), QStringLiteral("Anatomy Basics"));
    EXPECT_EQ(row->data(QLBTableCellView::kSubTitleRole).toString(), QStringLiteral("Hanako Sato,Tavro Medical Press"));
    EXPECT_TRUE(row->data(QLBTableCellView::kTimeRole).toString().startsWith(QStringLiteral("ダウンロード日時：20")));
    EXPECT_TRUE(waitUntil([&] { return row->data(Qt::UserRole + 4).toBool(); })) << "list rows get their covers too";

    shelf->chooseSort(ShelfModel::sortList().at(3));
    EXPECT_EQ(shown().first(), QStringLiteral("臨床薬理学ノート.epub")) << "title descending";
    EXPECT_EQ(shelf->sortBox()->currentIndex(), 3);
    shelf->searchBook(QStringLiteral("Cardiac"));
    EXPECT_TRUE(shelf->searching());
    ASSERT_TRUE(waitUntil([&] { return !shelf->searching(); }));
    EXPECT_EQ(shown(), QStringList{QStringLiteral("anatomy-basics.epub")}) << "found in the table of contents";
    // A newer search wins over one still scanning.
    shelf->searchBook(QStringLiteral("Cardiac"));
    shelf->searchBook(QStringLiteral("臨床"));
    ASSERT_TRUE(waitUntil([&] { return !shelf->searching(); }));
    QTest::qWait(100);
    EXPECT_EQ(shown(), QStringList{QStringLiteral("臨床薬理学ノート.epub")}) << "the title match only";
    shelf->searchBook(QString());
    EXPECT_EQ(shown().size(), 2);

    ASSERT_TRUE(shelf->newShelf(QStringLiteral("Cardiology")));
    EXPECT_EQ(shelf->shelfTable()->count(), 2);
    shelf->moveBook(QStringLiteral("anatomy-basics.epub"), 1);
    EXPECT_EQ(shown(), QStringList{QStringLiteral("臨床薬理学ノート.epub")});
    shelf->showShelf(2);
    EXPECT_EQ(shown(), QStringList{QStringLiteral("anatomy-basics.epub")});
    ASSERT_TRUE(shelf->renameShelf(1, QStringLiteral("Heart")));
    EXPECT_TRUE(m_app->window()->windowTitle().endsWith(QStringLiteral(" - Heart")));
    EXPECT_FALSE(shelf->renameShelf(0, QStringLiteral("x")));
    m_app->window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/shelf-list.png"));

    // A shelf holding books goes, with its books, once the user says "OK".
    shelf->deleteShelf(1);
    ASSERT_TRUE(waitUntil([&] { return shelf->shelfTable()->count() == 1; }));
    EXPECT_EQ(m_answerer.seen.last().title, QStringLiteral("確認"));
    EXPECT_EQ(shelf->pageID(), 1);
    EXPECT_FALSE(QFileInfo::exists(DataFolder::contentsFolder() + QStringLiteral("/anatomy-basics.epub")));

    shelf->deleteBook(QStringLiteral("臨床薬理学ノート.epub"));
    EXPECT_TRUE(shown().isEmpty());

    // A PDF from disk is installed like a download, without a store account.
    shelf->importPdf(sampleBookPath(QStringLiteral("nursing-notes.pdf")));
    ASSERT_TRUE(waitUntil([&] { return shown().contains(QStringLiteral("nursing-notes.pdf")); }, 20000));
    const auto pdf = LibraryStore::main().findFirst<BookMetaData>(QStringLiteral("\"fileName\"='nursing-notes.pdf'"));
    ASSERT_TRUE(pdf.has_value());
    EXPECT_EQ(pdf->identifier, QStringLiteral("9999999999"));
    EXPECT_EQ(pdf->creator, QStringLiteral("未知"));

    // The dictionary menu switches a dictionary out of look-ups.
    DictionaryMaster dict;
    dict.dicId = 1;
    dict.dicName = QStringLiteral("医学辞典");
    dict.useFlg = 1;
    ASSERT_TRUE(LibraryStore::main().insert(dict));
    auto *menu = shelf->findChild<QMenu *>(QStringLiteral("dictionaryMenu"));
    ASSERT_TRUE(menu);
    emit menu->aboutToShow();
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().first()->text(), QStringLiteral("医学辞典"));
    EXPECT_TRUE(menu->actions().first()->isChecked());
    menu->actions().first()->toggle();
    EXPECT_EQ(LibraryStore::main().findFirst<DictionaryMaster>()->useFlg, 0);
}

TEST_F(AppShellTest, ShelfTableReordersRenamesAndSwipes)
{
    UserDefaults::setValue(QString::fromLatin1(UserDefaults::hasBuildBookInfo), 1);
    launch();
    m_app->changeToShelf();
    ShelfVC *shelf = m_app->shelfVC();
    for (const char *name : {"A", "B", "C"})
        ASSERT_TRUE(shelf->newShelf(QString::fromLatin1(name)));
    ShelfTableView *table = shelf->shelfTable();
    auto rows = [table] {
        QStringList names;
        for (int i = 0; i < table->count(); ++i)
            names << table->item(i)->text();
        return names.join(u',');
    };
    ASSERT_EQ(rows(), QStringLiteral("マイ本棚,A,B,C"));

    // The first row has no menu and can neither be dragged nor renamed.
    auto *rowViews = qobject_cast<QLBShelfManagerView *>(table->itemDelegate());
    ASSERT_TRUE(rowViews);
    EXPECT_EQ(rowViews->menuForRow(0, table), nullptr);
    std::unique_ptr<QMenu> menu(rowViews->menuForRow(2, table));
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions().at(0)->text(), QStringLiteral("名前を変更"));
    EXPECT_EQ(menu->actions().at(1)->text(), QStringLiteral("削除"));
    EXPECT_FALSE(table->item(0)->flags() & (Qt::ItemIsDragEnabled | Qt::ItemIsEditable));
    EXPECT_TRUE(table->item(1)->flags() & Qt::ItemIsDragEnabled);

    // Dropping swaps two shelves; the one shown stays shown.
    shelf->showShelf(2);
    const struct
    {
        int from, to;
        bool taken;
        const char *rows;
        int pageID;
    } drops[] = {
        {1, 3, true, "マイ本棚,C,B,A", 4}, {0, 2, false, "マイ本棚,C,B,A", 4}, {2, 0, false, "マイ本棚,C,B,A", 4},
        {2, 2, false, "マイ本棚,C,B,A", 4}, {3, 9, false, "マイ本棚,C,B,A", 4}, {1, 3, true, "マイ本棚,A,B,C", 2},
        {2, 3, true, "マイ本棚,A,C,B", 2},
    };
    for (const auto &d : drops) {
        EXPECT_EQ(shelf->dropShelf(d.from, d.to), d.taken) << d.from << "→" << d.to;
        EXPECT_EQ(rows(), QString::fromUtf8(d.rows)) << d.from << "→" << d.to;
        EXPECT_EQ(shelf->pageID(), d.pageID) << d.from << "→" << d.to;
    }
    EXPECT_TRUE(m_app->window()->windowTitle().endsWith(QStringLiteral(" - A")));

    // Renaming in place; an empty name keeps the old one.
    table->item(2)->setText(QStringLiteral("Cardiology"));
    EXPECT_EQ(ShelfModel::labels().at(2).labelName, QStringLiteral("Cardiology"));
    table->item(2)->setText(QString());
    EXPECT_EQ(rows(), QStringLiteral("マイ本棚,A,Cardiology,B"));

    // Choosing a row shows its shelf.
    table->setCurrentRow(3);
    EXPECT_TRUE(waitUntil([&] { return shelf->pageID() == 4; }));

    // Sideways swipes over the books move one shelf at most.
    QWidget *books = shelf->list()->viewport();
    auto wheel = [&](QPoint pixels, QPoint angle, Qt::ScrollPhase phase) {
        QWheelEvent event(QPointF(10, 10), books->mapToGlobal(QPointF(10, 10)), pixels, angle, Qt::NoButton, Qt::NoModifier,
                          phase, false);
        QApplication::sendEvent(books, &event);
    };
    const int w = shelf->list()->width();
    const struct
    {
        int startPage;
        QList<int> pixelSteps; // a touchpad gesture, towards the next shelf when negative
        int notches;           // else wheel notches, next when negative
        int expected;
    } swipes[] = {
        {2, {}, -1, 3},                      // a tilt-wheel notch: the next shelf
        {2, {}, 1, 1},                       // and back
        {1, {}, 1, 1},                       // nothing before the first shelf
        {4, {}, -1, 4},                      // nor after the last
        {2, {-w / 10, -w / 10}, 0, 2},       // a fifth of a page springs back
        {2, {-w / 4, -w / 4, -w / 4}, 0, 3}, // three quarters: one shelf on
        {2, {-w / 2, -w / 2, -w / 2}, 0, 3}, // past a whole page: still one shelf
        {3, {w / 3, w / 3}, 0, 2},
    };
    for (const auto &sw : swipes) {
        shelf->showShelf(sw.startPage);
        if (sw.notches != 0) {
            wheel({}, QPoint(sw.notches * 120, 0), Qt::NoScrollPhase);
        } else {
            wheel({}, {}, Qt::ScrollBegin);
            for (int step : sw.pixelSteps)
                wheel(QPoint(step, 0), QPoint(step, 0), Qt::ScrollUpdate);
            wheel({}, {}, Qt::ScrollEnd);
        }
        EXPECT_EQ(shelf->pageID(), sw.expected) << "from shelf " << sw.startPage << ", notches " << sw.notches << ", steps "
                                                << sw.pixelSteps.size();
    }
    // Up and down still scroll the books.
    shelf->showShelf(2);
    wheel({}, QPoint(0, -120), Qt::NoScrollPhase);
    EXPECT_EQ(shelf->pageID(), 2);
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

#include "AppShellTest.moc"
