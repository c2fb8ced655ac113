// The top screen and the article screen in the window, against the local
// backend: news, information articles, the provider's list, the entry sheet,
// download links, help and coffee-break pages, "gotostore" links, recent
// books, and the screen views each of them reports.
#include "core/app/UpdateCheck.h"
#include "core/store/DownLoader.h"
#include "core/store/StoreManager.h"
#include "core/util/StringHelpers.h"
#include "ui/AppShellFixture.h"
#include "ui/app/UpdateWindows.h"
#include "ui/store/DownloadSheet.h"
#include "ui/top/EntryController.h"
#include "ui/top/TopShowInfoVC.h"
#include "ui/top/TopShowSubVC.h"
#include "ui/top/TopVC.h"

#include <QAction>
#include <QListWidget>
#include <QToolBar>

namespace
{

class TopScreenTest : public AppShellTest
{
protected:
    void SetUp() override
    {
        AppShellTest::SetUp();
        backend->send("DELETE", QStringLiteral("/analytics/hits"));
    }

    // The screen names the collector has recorded, in order.
    static QStringList screenViews()
    {
        QStringList names;
        for (const QVariant &hit : backend->get(QStringLiteral("/analytics/hits")).json().toList())
            names
                << hit.toMap().value(QStringLiteral("fields")).toMap().value(QStringLiteral("cd")).toString();
        return names;
    }
    static bool viewed(const QString &name)
    {
        return waitUntil([&] { return screenViews().contains(name); });
    }

    static QString html(QWebEngineView *view)
    {
        QString text;
        bool done = false;
        view->page()->toHtml([&](const QString &h) {
            text = h;
            done = true;
        });
        waitUntil([&] { return done; });
        return text;
    }
    static QString plainText(QWebEngineView *view)
    {
        QString text;
        bool done = false;
        view->page()->toPlainText([&](const QString &t) {
            text = t;
            done = true;
        });
        waitUntil([&] { return done; });
        return text;
    }
    static bool shows(QWebEngineView *view, const QString &text, int timeoutMs = 30000)
    {
        return waitUntil([&] { return view && html(view).contains(text); }, timeoutMs);
    }

    TopVC *top() { return m_app->topVC(); }
    TopShowInfoVC *article() { return top()->showInfoVC(); }

    TopVC &launchTop()
    {
        launch();
        EXPECT_TRUE(top());
        return *top();
    }

    void signIn()
    {
        std::optional<bool> result;
        ASSERT_TRUE(signInThroughTheSheet(QStringLiteral("tanaka"), QStringLiteral("Tanaka-2026"), &result));
        ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
        ASSERT_TRUE(*result);
    }

    bool covered()
    {
        return m_app->window()->findChild<QToolBar *>(QStringLiteral("topToolbar2"))->isVisible();
    }
};

TEST_F(TopScreenTest, TheTopScreenReportsItsViewAndHasItsToolbar)
{
    launchTop();
    EXPECT_FALSE(covered()) << "the second toolbar only while something covers the screen";
    EXPECT_TRUE(viewed(QStringLiteral("TOP")));
    QStringList names;
    for (QAction *a : top()->mainToolbar()->actions())
        names << a->objectName();
    for (const char *name :
        { "tapStoreBtn", "netStoreBtn", "mymenuBtn", "shelfBtn", "historyBtn", "helpBtn", "coffeeBreakBtn" })
        EXPECT_TRUE(names.contains(QString::fromLatin1(name))) << name;
    EXPECT_TRUE(top()->mainToolbar()->isVisible());
}

TEST_F(TopScreenTest, NewsRowsAreStrippedAndOpenTheirArticle)
{
    launchTop();
    ASSERT_TRUE(waitUntil([&] { return top()->newsTable()->count() > 0; }, 30000));
    for (int i = 0; i < top()->newsTable()->count(); ++i)
        EXPECT_FALSE(top()->newsTable()->item(i)->text().contains(u'<')) << i;
    const QString detail
        = top()->logic().newsLists.value(0).toMap().value(QStringLiteral("info_detail")).toString();
    top()->selectNews(0);
    ASSERT_TRUE(waitUntil([&] { return article()->isVisible() && article()->pos() == QPoint(0, 0); }));
    EXPECT_TRUE(article()->isNews());
    EXPECT_EQ(article()->mainTable()->count(), top()->newsTable()->count());
    const QString shown = stringByStrippingHTML(detail).simplified().left(8);
    EXPECT_TRUE(waitUntil([&] { return plainText(article()->mainWeb()).simplified().contains(shown); }))
        << shown.toStdString();
    EXPECT_TRUE(covered()) << "the second toolbar while an article covers the screen";
    EXPECT_EQ(
        m_app->window()->findChild<QToolBar *>(QStringLiteral("topToolbar2"))->actions().first()->text(),
        QStringLiteral("Tavro TOP"));
    EXPECT_TRUE(viewed(QStringLiteral("Tavroからのお知らせ")));
    m_app->window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/top-news-article.png"));

    top()->tapHome();
    ASSERT_TRUE(waitUntil([&] { return !article()->isVisible(); }));
    EXPECT_TRUE(top()->mainToolbar()->isVisible());
}

TEST_F(TopScreenTest, AnInformationArticleIsAPageWithItsControlsAndTrackingName)
{
    launchTop();
    ASSERT_TRUE(waitUntil([&] { return top()->contentsTable()->count() == 3; }, 30000));
    top()->selectContents(2);
    ASSERT_TRUE(shows(article()->mainWeb(), QStringLiteral("セミナーのご案内")));
    EXPECT_TRUE(viewed(QStringLiteral("Seminar")));
    const QList<QAction *> controls = article()->toolbarActions();
    for (QAction *a : controls)
        EXPECT_TRUE(a->isVisible()) << a->objectName().toStdString();
    // Back and forward go through the page's own history.
    article()->mainWeb()->setUrl(backend->url(QStringLiteral("/files/coffee.html")));
    ASSERT_TRUE(shows(article()->mainWeb(), QStringLiteral("コーヒーブレイク")));
    article()->tapWebControll(0);
    ASSERT_TRUE(shows(article()->mainWeb(), QStringLiteral("セミナーのご案内")));
    article()->tapWebControll(1);
    EXPECT_TRUE(shows(article()->mainWeb(), QStringLiteral("コーヒーブレイク")));
}

TEST_F(TopScreenTest, TheProviderListFetchesEachBodyOnce)
{
    launchTop();
    ASSERT_TRUE(waitUntil([&] { return top()->contentsTable()->count() == 3; }, 30000));
    top()->selectContents(0);
    ASSERT_TRUE(article()->showsArticleList());
    TopShowSubVC *list = article()->showSubVC();
    ASSERT_GT(list->table()->count(), 0);
    EXPECT_TRUE(viewed(QStringLiteral("医療ニュース")));
    const int before = list->logic().calls;
    list->selectRow(0);
    EXPECT_EQ(list->logic().calls, before + 1) << "the body is fetched";
    ASSERT_TRUE(shows(list->web(), QStringLiteral("情報提供元"))) << "with the provider's footer";
    list->selectRow(0);
    EXPECT_EQ(list->logic().calls, before + 1) << "and then read from the cache";
}

TEST_F(TopScreenTest, AnEntryLinkOpensTheEntrySheetAndSendsIt)
{
    launchTop();
    signIn();
    ASSERT_TRUE(waitUntil([&] { return top()->contentsTable()->count() == 3; }, 30000));
    top()->selectContents(2);
    ASSERT_TRUE(shows(article()->mainWeb(), QStringLiteral("entry.html")));
    article()->mainWeb()->page()->runJavaScript(
        QStringLiteral("document.querySelector('a[href*=\"entry/entry.html\"]').click()"));
    ASSERT_TRUE(
        waitUntil([&] { return article()->entryController() && article()->entryController()->isVisible(); }));
    EntryController *entry = article()->entryController();
    EXPECT_EQ(entry->query.value(QStringLiteral("item")).toString(), QStringLiteral("seminar-2027"));
    entry->nameField()->setText(QStringLiteral("田中 一郎"));
    entry->mailField()->setText(QStringLiteral("tanaka@example.jp"));
    const int boxes = m_answerer.seen.size();
    entry->registAction();
    ASSERT_GT(m_answerer.seen.size(), boxes);
    EXPECT_EQ(m_answerer.seen.at(boxes).message, QStringLiteral("エントリーを受け付けました。"));
    EXPECT_TRUE(waitUntil([&] { return !article()->entryController(); })) << "the sheet ended";
}

TEST_F(TopScreenTest, ADownloadLinkClosesTheArticleAndStartsADownload)
{
    launchTop();
    ASSERT_TRUE(waitUntil([&] { return top()->contentsTable()->count() == 3; }, 30000));
    QList<QUrl> started;
    QObject::connect(&m_app->downloadSheet(), &DownloadSheet::changed, [&] {
        if (const DownLoader *d = m_app->downloadSheet().download(); d && !started.contains(d->url))
            started << d->url;
    });
    top()->selectContents(2);
    ASSERT_TRUE(shows(article()->mainWeb(), QStringLiteral("export=download")));
    article()->mainWeb()->page()->runJavaScript(
        QStringLiteral("document.querySelector('a[href*=\"export=download\"]').click()"));
    ASSERT_TRUE(waitUntil([&] { return !started.isEmpty(); }));
    EXPECT_TRUE(started.first().query().contains(QStringLiteral("export=download")));
    EXPECT_TRUE(waitUntil([&] { return !article()->isVisible(); })) << "the article closed";
}

TEST_F(TopScreenTest, HelpAndCoffeeBreakOpenOverTheScreen)
{
    launchTop();
    const struct {
        void (TopVC::*open)();
        const char *view;
        const char *text;
    } pages[] = {
        { &TopVC::tapHelp, "Help", "gotostore" },
        { &TopVC::tapCoffee, "CoffeeBreak", "コーヒーブレイク" },
    };
    for (const auto &p : pages) {
        SCOPED_TRACE(p.view);
        (top()->*p.open)();
        ASSERT_TRUE(top()->overlayWeb());
        EXPECT_TRUE(shows(top()->overlayWeb(), QString::fromUtf8(p.text)));
        EXPECT_TRUE(covered());
        EXPECT_TRUE(viewed(QString::fromUtf8(p.view)));
        QPointer<QWebEngineView> overlay = top()->overlayWeb();
        top()->tapHome();
        EXPECT_TRUE(waitUntil([&] { return !overlay; })) << "the page is taken away";
        EXPECT_FALSE(covered());
    }
}

TEST_F(TopScreenTest, TheAcquiredListOpensOverTheScreenWithAFreshStoreToken)
{
    launchTop();
    signIn();
    m_app->storeManager().setToken(QStringLiteral("revoked-token"));
    top()->tapHistory();
    ASSERT_TRUE(waitUntil([&] { return top()->overlayWeb() != nullptr; }, 30000));
    EXPECT_TRUE(shows(top()->overlayWeb(), QStringLiteral("取得済み書籍")));
    EXPECT_NE(m_app->storeManager().token(), QStringLiteral("revoked-token"));
    EXPECT_TRUE(covered());
    EXPECT_TRUE(article()->toolbarActions().first()->isVisible()) << "back and forward drive the page";
}

TEST_F(TopScreenTest, AGotostoreLinkOpensTheStoreAtThatPage)
{
    launchTop();
    signIn();
    top()->tapCoffee();
    ASSERT_TRUE(shows(top()->overlayWeb(), QStringLiteral("gotostore")));
    top()->overlayWeb()->page()->runJavaScript(
        QStringLiteral("document.querySelector('a[href*=\"gotostore\"]').click()"));
    ASSERT_TRUE(
        waitUntil([&] { return m_app->currentVC() && m_app->currentVC() == m_app->storeVC(); }, 30000));
    EXPECT_TRUE(shows(m_app->storeVC()->web(), QStringLiteral("class=\"focus\"")))
        << "the linked book in the store";
    EXPECT_TRUE(viewed(QStringLiteral("ストア")));
}

TEST_F(TopScreenTest, RecentBooksShowCoversAndTitleAndPublisher)
{
    launchTop();
    // An EPUB's row comes from its package, a PDF's from its record.
    const QString epub = QStringLiteral("anatomy-basics.epub");
    const QString pdf = QStringLiteral("nursing-notes.pdf");
    for (const QString &name : { epub, pdf }) {
        m_app->downloadSheet().doDownload(QNetworkRequest(QUrl::fromLocalFile(sampleBookPath(name))));
        ASSERT_TRUE(waitUntil(
            [&] { return store().count<BookMetaData>(QStringLiteral("\"fileName\"=?"), { name }) == 1; },
            30000));
        top()->logic().readerInfoForRecentBook(name); // marks it opened
    }
    const auto record = store().findFirst<BookMetaData>(QStringLiteral("\"fileName\"=?"), { pdf }).value();
    m_app->changeToTop();
    ASSERT_EQ(top()->historyTable()->count(), 2);
    QStringList texts;
    for (int i = 0; i < top()->historyTable()->count(); ++i)
        texts << top()->historyTable()->item(i)->text();
    const struct {
        QString text;
    } rows[] = {
        { QStringLiteral("Anatomy Basics\r\nTavro Medical Press") },
        { (record.title.value_or(QString()).isEmpty() ? pdf : decodeURI(*record.title).value_or(QString()))
            + QStringLiteral("\r\n") + record.publisher.value_or(QString()) },
    };
    for (const auto &r : rows) {
        const int row = texts.indexOf(r.text);
        ASSERT_GE(row, 0) << r.text.toStdString() << " among " << texts.join(u'|').toStdString();
        EXPECT_FALSE(top()->historyTable()->item(row)->icon().isNull())
            << "a cover for " << r.text.toStdString();
    }
    m_app->window()->grab().save(QStringLiteral(TAVRO_ARTIFACTS_DIR "/top-recent-books.png"));
    top()->selectRecent(texts.indexOf(rows[0].text));
    EXPECT_TRUE(viewed(QStringLiteral("閲覧履歴")));
    EXPECT_EQ(m_app->currentVC(), m_app->readerVC());
}

TEST_F(TopScreenTest, TheShelfAndStoreReportTheirViews)
{
    launchTop();
    m_app->changeToShelf();
    EXPECT_TRUE(viewed(QStringLiteral("マイ本棚")));
    m_app->changeToStore();
    EXPECT_TRUE(viewed(QStringLiteral("ストア")));
}

TEST_F(TopScreenTest, TheShelfStoreButtonFetchesAFreshStoreToken)
{
    launchTop();
    signIn();
    m_app->changeToShelf();
    m_app->storeManager().setToken(QStringLiteral("revoked-token"));
    QAction *store = nullptr;
    for (QAction *a : m_app->shelfVC()->toolbar()->actions())
        if (a->text() == QStringLiteral("ストア"))
            store = a;
    ASSERT_TRUE(store);
    store->trigger();
    ASSERT_TRUE(waitUntil([&] { return m_app->currentVC() == m_app->storeVC(); }, 30000));
    EXPECT_TRUE(m_app->storeManager().token().has_value());
    EXPECT_NE(m_app->storeManager().token(), QStringLiteral("revoked-token"));
}

TEST_F(TopScreenTest, TheNoticeClosedAnyWayCountsAsClosed)
{
    const struct {
        const char *how;
        std::function<void(QDialog &)> close;
    } ways[] = {
        { "title bar", [](QDialog &d) { d.close(); } }, // what its close button sends
        { "Esc", [](QDialog &d) { QTest::keyClick(&d, Qt::Key_Escape); } },
        { "閉じる", [](QDialog &d) { d.findChild<QPushButton *>()->click(); } },
    };
    for (const auto &way : ways) {
        SCOPED_TRACE(way.how);
        m_app.reset();
        UserDefaults::remove(QString::fromLatin1(UserDefaults::macNotification));
        launchTop();
        QPointer<QLBNotificationWindow> notice;
        ASSERT_TRUE(waitUntil(
            [&] {
                notice = m_app->window()->findChild<QLBNotificationWindow *>();
                return notice && notice->isVisible();
            },
            30000));
        const qint64 version = notice->remoteVersion;
        ASSERT_GT(version, 0);
        way.close(*notice);
        EXPECT_TRUE(waitUntil([&] { return !notice || !notice->isVisible(); }));
        EXPECT_EQ(UpdateCheck::storedNoticeVersion(), version);
    }
}

} // namespace
