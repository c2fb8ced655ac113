// The top screen's logic against the local backend.
#include "core/top/TopLogic.h"
#include "core/library/Library.h"
#include "core/library/LibraryStore.h"
#include "core/platform/ConfigDictionary.h"
#include "core/platform/DataFolder.h"
#include "core/platform/ServerConfig.h"
#include "core/platform/UserDefaults.h"
#include "core/store/ApiRequest.h"
#include "core/store/StoreManager.h"
#include "core/store/VamoManager.h"
#include "core/top/ArticleNavigation.h"
#include "core/top/EntryForm.h"
#include "core/top/ProviderArticleLogic.h"
#include "support/BackendFixture.h"
#include "support/Wait.h"

#include <QFile>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <gtest/gtest.h>

namespace
{

class TopLogicTest : public BackendFixture
{
protected:
    void SetUp() override
    {
        BackendFixture::SetUp();
        UserDefaults::remove(QString::fromLatin1(UserDefaults::latestUpdate));
        UserDefaults::remove(QString::fromLatin1(UserDefaults::accountLift));
        m_servers = std::make_unique<ServerConfig>(backend->baseUrl(), QStringLiteral("/nonexistent.ini"));
    }
    void TearDown() override { BackendFixture::TearDown(); }

    std::unique_ptr<ServerConfig> m_servers;
};

TEST_F(TopLogicTest, ProviderArticlesAreFetchedOnceAndCached)
{
    ProviderArticleLogic articles(library().news(), *m_servers);
    articles.getInfoList();
    ASSERT_EQ(articles.updateInfoLists.size(), 3);
    EXPECT_EQ(articles.mediaInfoUpdateCount, 3);
    EXPECT_EQ(store().count<CacheInfo>(QStringLiteral("\"categoryId\"=2")), 3);
    EXPECT_EQ(UserDefaults::stringForKey(QString::fromLatin1(UserDefaults::latestUpdate)),
        QStringLiteral("2026-12-07 09:00:00"));
    const QVariantMap first = articles.updateInfoLists.first().toMap();
    EXPECT_EQ(first.value(QStringLiteral("info_id")).toString(), QStringLiteral("5001"));
    EXPECT_EQ(first.value(QStringLiteral("infocategory_id")).toString(), QStringLiteral("2"));

    // The same total again in this run: nothing is fetched but the total.
    const int before = articles.calls;
    articles.getInfoList();
    EXPECT_EQ(articles.calls, before + 1);

    // A body is fetched the first time only.
    const QString body = articles.bodyForArticle(first);
    EXPECT_TRUE(body.contains(QStringLiteral("定点")));
    articles.loadDataFromCache();
    QVariantMap cached;
    for (const QVariant &v : articles.updateInfoLists)
        if (v.toMap().value(QStringLiteral("info_id")) == first.value(QStringLiteral("info_id")))
            cached = v.toMap();
    const int calls = articles.calls;
    EXPECT_EQ(articles.bodyForArticle(cached), body);
    EXPECT_EQ(articles.calls, calls) << "the second opening reads the cache";
    EXPECT_TRUE(ProviderArticleLogic::pageHtml(body).endsWith(QStringLiteral("</span></body></html>")));

    // Fewer articles than asked for: only those.
    articles.getArticleList(2);
    EXPECT_EQ(articles.updateInfoLists.size(), 2);
}

// A new run with the provider unreachable lists the cached articles.
TEST_F(TopLogicTest, AnUnreachableProviderListsTheCachedArticles)
{
    {
        ProviderArticleLogic earlierRun(library().news(), *m_servers);
        earlierRun.getInfoList();
        ASSERT_EQ(earlierRun.updateInfoLists.size(), 3);
    }
    ServerConfig offline(QStringLiteral("http://127.0.0.1:1"), QStringLiteral("/nonexistent.ini"));
    ProviderArticleLogic articles(library().news(), offline);
    articles.getInfoList();
    EXPECT_EQ(articles.updateInfoLists.size(), 3);
}

TEST_F(TopLogicTest, ProviderFailuresAndEscapedDocuments)
{
    const QByteArray doc
        = ProviderArticleLogic::articleDocument(5, QStringLiteral("a&b<c>@x"), QStringLiteral("p&w"));
    EXPECT_TRUE(doc.contains("<string>a&#38;b&#60;c&#62;@x</string>")) << doc.toStdString();
    EXPECT_TRUE(doc.startsWith("<?xml version=\"1.0\"?><methodCall><methodName>get_article</methodName>"));
    EXPECT_TRUE(
        ProviderArticleLogic::updateStatusDocument(QStringLiteral("e"), QStringLiteral("p"), QString())
            .contains("<string>(null)</string></value></param>"));

    ServerConfig wrong(backend->baseUrl(), QStringLiteral("/nonexistent.ini"));
    wrong.servicePassword = QStringLiteral("nope");
    ProviderArticleLogic refused(library().news(), wrong);
    EXPECT_EQ(refused.isUpdate(), -1) << "a fault reads as no answer";
    EXPECT_FALSE(refused.getArticle(QStringLiteral("5001")).has_value());

    backend->setFault({ { "path", "/news-rpc" }, { "status", 200 }, { "body", "<methodResponse><params>" },
        { "times", 3 } });
    ProviderArticleLogic broken(library().news(), *m_servers);
    EXPECT_EQ(broken.isUpdate(), -1) << "a malformed answer is no data";
    broken.getArticleList(30);
    EXPECT_TRUE(broken.updateInfoLists.isEmpty());
}

// Answers are parsed on a worker thread; the result comes back to the main
// thread through its event loop, never inside the call.
TEST_F(TopLogicTest, ProviderAnswersAreParsedOnAWorker)
{
    ProviderArticleLogic articles(library().news(), *m_servers);
    QObject receiver;
    std::optional<QVariantMap> got;
    bool answered = false;
    const QThread *deliveredOn = nullptr;
    articles.callAsync(
        ProviderArticleLogic::articleListDocument(30, m_servers->serviceEmail, m_servers->servicePassword),
        &receiver, [&](std::optional<QVariantMap> value) {
            got = std::move(value);
            answered = true;
            deliveredOn = QThread::currentThread();
        });
    EXPECT_FALSE(answered) << "nothing is answered inside the call";
    ASSERT_TRUE(waitUntil([&] { return answered; }));
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->value(QStringLiteral("list")).toList().size(), 3);
    EXPECT_EQ(deliveredOn, QThread::currentThread());
    ASSERT_NE(articles.lastParseThread, nullptr);
    EXPECT_NE(articles.lastParseThread, QThread::currentThread());
    EXPECT_EQ(articles.inFlight(), 0);

    // The waiting calls go the same way.
    articles.lastParseThread = nullptr;
    EXPECT_EQ(articles.isUpdate(), 3);
    ASSERT_NE(articles.lastParseThread, nullptr);
    EXPECT_NE(articles.lastParseThread, QThread::currentThread());

    // Answers that read as no data, a value nested 60,000 deep among them.
    QByteArray deep = "<methodResponse><params><param>";
    for (int i = 0; i < 60000; ++i)
        deep += "<value><array>";
    for (int i = 0; i < 60000; ++i)
        deep += "</array></value>";
    deep += "</param></params></methodResponse>";
    const std::pair<const char *, QByteArray> unreadable[] = {
        { "malformed", "<methodResponse><params>" },
        { "nested too deeply", deep },
        { "not a struct",
            "<methodResponse><params><param><value><int>1</int></value></param></params></methodResponse>" },
    };
    for (const auto &[name, body] : unreadable) {
        SCOPED_TRACE(name);
        backend->setFault(
            { { "path", "/news-rpc" }, { "status", 200 }, { "body", QString::fromUtf8(body) } });
        answered = false;
        got = QVariantMap { { QStringLiteral("stale"), 1 } };
        articles.callAsync(
            ProviderArticleLogic::articleDocument(5001, m_servers->serviceEmail, m_servers->servicePassword),
            &receiver, [&](std::optional<QVariantMap> value) {
                got = std::move(value);
                answered = true;
            });
        ASSERT_TRUE(waitUntil([&] { return answered; }));
        EXPECT_FALSE(got.has_value());
    }
}

// An answer whose receiver is gone is dropped; an answer for a destroyed
// logic object is never handed back at all.
TEST_F(TopLogicTest, AnswersForReceiversThatAreGoneAreDropped)
{
    const QByteArray document
        = ProviderArticleLogic::articleListDocument(30, m_servers->serviceEmail, m_servers->servicePassword);
    auto articles = std::make_unique<ProviderArticleLogic>(library().news(), *m_servers);
    int handedBack = 0;
    auto receiver = std::make_unique<QObject>();
    articles->callAsync(document, receiver.get(), [&](std::optional<QVariantMap>) { ++handedBack; });
    receiver.reset();
    ASSERT_TRUE(waitUntil([&] { return articles->inFlight() == 0; })) << "the call ends all the same";
    EXPECT_EQ(handedBack, 0);

    // Still usable: a live receiver gets its answer.
    QObject live;
    articles->callAsync(document, &live, [&](std::optional<QVariantMap> v) { handedBack += v ? 10 : 100; });
    ASSERT_TRUE(waitUntil([&] { return articles->inFlight() == 0; }));
    EXPECT_EQ(handedBack, 10);

    // The logic goes while its call is out (and perhaps being parsed).
    articles->callAsync(document, &live, [&](std::optional<QVariantMap>) { ++handedBack; });
    articles.reset();
    ASSERT_TRUE(waitUntil([] { return QThreadPool::globalInstance()->activeThreadCount() == 0; }));
    settle();
    EXPECT_EQ(handedBack, 10);
}

TEST_F(TopLogicTest, EntriesAndArticleNavigation)
{
    EntryForm entry(*m_servers);
    const QVariantMap query { { QStringLiteral("provider"), QStringLiteral("tavro") },
        { QStringLiteral("item"), QStringLiteral("seminar") } };
    EXPECT_EQ(EntryForm::entryBody(QStringLiteral("t"), query, QString(), QString()),
        QByteArray("token=t&provider=tavro&item=seminar"))
        << "empty fields are left out";
    const QString token = accessToken(QStringLiteral("yamada"), QStringLiteral("Yamada-2026"));
    EXPECT_EQ(entry.entry(token, query, QStringLiteral("田中 & 佐藤"), QStringLiteral("a+b@x.jp")),
        QStringLiteral("エントリーを受け付けました。"));
    const QVariantMap recorded = backend->get(QStringLiteral("/_control/state"))
                                     .json()
                                     .toMap()
                                     .value(QStringLiteral("entries"))
                                     .toList()
                                     .last()
                                     .toMap();
    EXPECT_EQ(recorded.value(QStringLiteral("name")).toString(), QStringLiteral("田中 & 佐藤"))
        << "arrives whole";
    EXPECT_EQ(recorded.value(QStringLiteral("email")).toString(), QStringLiteral("a+b@x.jp"));
    EXPECT_EQ(entry.entry(QStringLiteral("bad"), query, QString(), QString()), EntryForm::kFailed);
    backend->setFault({ { "path", "/store-api/api/entry" }, { "status", 500 }, { "body", "x" } });
    EXPECT_EQ(entry.entry(token, query, QString(), QString()), EntryForm::kFailed);

    const std::pair<const char *, ArticleNavigation::Action> cases[] = {
        { "http://x/files/entry/entry.html?provider=p&item=i", ArticleNavigation::OpenEntry },
        { "http://x/store-api/store/download.php?bookId=b&export=download", ArticleNavigation::Download },
        { "http://x/page.html?export=view", ArticleNavigation::Allow },
        { "http://x/export=download/page.html", ArticleNavigation::Allow },
    };
    for (const auto &[url, action] : cases)
        EXPECT_EQ(ArticleNavigation::decide(QUrl(QString::fromLatin1(url))).action, action) << url;
    EXPECT_EQ(ArticleNavigation::decide(QUrl(QStringLiteral("http://x/entry/entry.html?provider=p&item=i")))
                  .entryQuery.value(QStringLiteral("item"))
                  .toString(),
        QStringLiteral("i"));
}

TEST_F(TopLogicTest, NewsLoginListAndCache)
{
    ConfigDictionary config(QDir::homePath() + QStringLiteral("/top-config.plist"));
    VamoManager vamo(*m_servers);
    StoreManager storeManager(*m_servers, config, vamo);
    TopLogic top(library(), *m_servers, storeManager, nullptr);
    EXPECT_EQ(top.createParam(), QStringLiteral("?cid=tavro_news&pwd=N3wsPa55"));
    int reloads = 0;
    top.newsReloaded = [&] { ++reloads; };
    ASSERT_TRUE(top.reconnectForToken());
    ASSERT_TRUE(waitUntil([&] { return reloads == 1; }));
    ASSERT_EQ(top.newsLists.size(), 2) << "category 1 only";
    EXPECT_EQ(store().count<CacheInfo>(), 4) << "every record is cached, even one without a category";

    // The list refused: the cache, category 1 only.
    backend->setFault(
        { { "path", "/store-web/rest/getInformationsV2.php" }, { "status", 500 }, { "body", "x" } });
    top.newsLists.clear();
    ASSERT_TRUE(top.reconnectForToken());
    ASSERT_TRUE(waitUntil([&] { return reloads == 2; }));
    EXPECT_EQ(top.newsLists.size(), 2);

    ServerConfig wrong(backend->baseUrl(), QStringLiteral("/nonexistent.ini"));
    wrong.newsPwd = QStringLiteral("nope");
    TopLogic refused(library(), wrong, storeManager, nullptr);
    EXPECT_FALSE(refused.reconnectForToken());
    EXPECT_EQ(refused.newsLists.size(), 2) << "from the cache";
}

// The news list answers after the top screen's logic is gone: the answer
// goes nowhere (the store's requests outlive the screens that make them).
TEST_F(TopLogicTest, NewsAnswerAfterTheLogicIsGoneIsDropped)
{
    ConfigDictionary config(QDir::homePath() + QStringLiteral("/top-config.plist"));
    VamoManager vamo(*m_servers);
    StoreManager storeManager(*m_servers, config, vamo);
    int answered = 0;
    QObject::connect(&storeManager.network(), &QNetworkAccessManager::finished, [&] { ++answered; });
    backend->setFault({ { "path", "/store-web/rest/getInformationsV2.php" }, { "delayMs", 300 } });
    auto top = std::make_unique<TopLogic>(library(), *m_servers, storeManager, nullptr);
    int reloads = 0;
    top->newsReloaded = [&] { ++reloads; };
    ASSERT_TRUE(top->reconnectForToken());
    const int before = answered;
    top.reset();
    ASSERT_TRUE(waitUntil([&] { return answered > before; }));
    settle(50);
    EXPECT_EQ(reloads, 0);
    EXPECT_EQ(store().count<CacheInfo>(), 0) << "nothing written for a logic that is gone";
}

TEST_F(TopLogicTest, InformationFileIsReplacedOnlyByAGoodOne)
{
    ConfigDictionary config(QDir::homePath() + QStringLiteral("/top-config2.plist"));
    VamoManager vamo(*m_servers);
    StoreManager storeManager(*m_servers, config, vamo);
    TopLogic top(library(), *m_servers, storeManager, nullptr);
    QFile::remove(TopLogic::informationFilePath());
    bool done = false;
    top.loadJsonFile([&] { done = true; });
    ASSERT_TRUE(waitUntil([&] { return done; }));
    top.processTheData();
    ASSERT_EQ(top.contentsArray.size(), 3);
    EXPECT_EQ(
        top.contentsArray.first().toMap().value(QStringLiteral("content")).toString(), QStringLiteral("wic"));

    for (const char *bad : { "{\"other\":1}", "not json" }) {
        backend->setFault(
            { { "path", "/files/medicalInformation.json" }, { "status", 200 }, { "body", bad } });
        done = false;
        top.loadJsonFile([&] { done = true; });
        ASSERT_TRUE(waitUntil([&] { return done; }));
        top.processTheData();
        EXPECT_EQ(top.contentsArray.size(), 3) << "kept after: " << bad;
    }
    backend->setFault({ { "path", "/files/medicalInformation.json" }, { "drop", true } });
    done = false;
    top.loadJsonFile([&] { done = true; });
    ASSERT_TRUE(waitUntil([&] { return done; }));
    top.processTheData();
    EXPECT_EQ(top.contentsArray.size(), 3) << "kept after a cut download";
}

TEST_F(TopLogicTest, RecentBooksReaderInfoAndGotostore)
{
    for (int i = 1; i <= 32; ++i) {
        BookMetaData b;
        b.BookID = i;
        b.identifier = QStringLiteral("id-%1").arg(i);
        b.fileName
            = QStringLiteral("b%1.%2").arg(i).arg(i % 2 ? QStringLiteral("epub") : QStringLiteral("pdf"));
        b.lastOpenDate = QDateTime::fromSecsSinceEpoch(1700000000 + i, Qt::UTC);
        b.printable = 1;
        EXPECT_TRUE(store().insert(b));
    }
    BookMetaData never;
    never.BookID = 99;
    EXPECT_TRUE(store().insert(never));
    const auto recent = TopLogic::recentItems(library().books());
    ASSERT_EQ(recent.size(), 30);
    EXPECT_EQ(recent.first().BookID, 32) << "newest first";
    UserDefaults::setValue(QString::fromLatin1(UserDefaults::accountLift), QStringLiteral("1"));
    EXPECT_TRUE(TopLogic::recentItems(library().books()).isEmpty());
    UserDefaults::setValue(QString::fromLatin1(UserDefaults::accountLift), QStringLiteral("0"));

    BookStatusData status;
    status.BookID = 3;
    status.lastOpenPage = 7;
    status.fontSetting = 20;
    EXPECT_TRUE(store().insert(status));
    ConfigDictionary config(QDir::homePath() + QStringLiteral("/top-config3.plist"));
    VamoManager vamo(*m_servers);
    StoreManager storeManager(*m_servers, config, vamo);
    TopLogic top(library(), *m_servers, storeManager, nullptr);
    const BookInfo epub = top.readerInfoForRecentBook(QStringLiteral("b3.epub"));
    EXPECT_EQ(epub.lastPage, 7);
    EXPECT_EQ(epub.fontSize, 20);
    EXPECT_EQ(epub.bookID, 3);
    EXPECT_TRUE(epub.url.scheme() == u"epub");
    const BookInfo pdf = top.readerInfoForRecentBook(QStringLiteral("b4.pdf"));
    EXPECT_TRUE(pdf.isPdf());
    EXPECT_EQ(pdf.metaBookId, QStringLiteral("id-4"));
    EXPECT_EQ(pdf.lastPage, -1);
    EXPECT_EQ(top.readerInfoForRecentBook(QStringLiteral("loose.pdf")).toMap().size(), 1) << "only its path";
    const auto reopened = TopLogic::recentItems(library().books());
    EXPECT_EQ((QSet<qint64> { reopened.at(0).BookID.value(), reopened.at(1).BookID.value() }),
        (QSet<qint64> { 3, 4 }))
        << "opening marks the book";

    const auto go = TopLogic::gotostoreRequest(
        QUrl(QStringLiteral("http://h/store-api/store/index_m.php?bookId=b&gotostore")));
    ASSERT_TRUE(go.has_value());
    EXPECT_EQ(go->body, QByteArray("bookId=b&gotostore"));
    EXPECT_FALSE(TopLogic::gotostoreRequest(QUrl(QStringLiteral("http://h/page?gotostore=1&x"))).has_value());
}

} // namespace
