// The local publisher backend, driven over HTTP.
#include "core/util/StringHelpers.h"
#include "support/BackendProcess.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QUrlQuery>
#include <gtest/gtest.h>

namespace
{

class BackendTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        backend = new BackendProcess;
        QElapsedTimer t;
        t.start();
        ASSERT_TRUE(backend->start()) << backend->error().toStdString();
        startMs = t.elapsed();
    }
    static void TearDownTestSuite()
    {
        delete backend;
        backend = nullptr;
    }
    void TearDown() override { backend->resetFaults(); }

    // The header of a signed-in session of `login` (a seeded account).
    static QList<QPair<QByteArray, QByteArray>> signedIn(const QString &login = QStringLiteral("yamada"),
        const QString &password = QStringLiteral("Yamada-2026"))
    {
        return { { "Authorization", "Bearer " + backend->accessToken(login, password).toUtf8() } };
    }

    static QByteArray form(const QList<QPair<QString, QString>> &fields)
    {
        QStringList parts;
        for (const auto &[k, v] : fields)
            parts << encodeURI(k) + u'=' + encodeURI(v);
        return parts.join(u'&').toUtf8();
    }

    static QString accessToken(const QString &login, const QString &password)
    {
        const HttpReply r = backend->post(QStringLiteral("/profile/oauth/token"),
            form({ { "grant_type", "password" }, { "username", login }, { "password", password },
                { "client_id", BackendProcess::clientId() },
                { "client_secret", BackendProcess::clientSecret() } }));
        return r.json().toMap().value(QStringLiteral("access_token")).toString();
    }

    static QVariantMap login(const QString &token, const QString &uid)
    {
        return backend
            ->post(QStringLiteral("/store-api/api/login"), form({ { "token", token }, { "uid", uid } }))
            .json()
            .toMap();
    }

    static QString storeToken(const QString &token, const QString &uid)
    {
        const HttpReply r
            = backend->get(QStringLiteral("/store-api/api/token?token=%1&uid=%2").arg(token, uid));
        return QString::fromLatin1(r.header("token"));
    }

    static inline BackendProcess *backend = nullptr;
    static inline qint64 startMs = 0;
};

TEST_F(BackendTest, StartsQuicklyOnLoopback)
{
    EXPECT_TRUE(backend->baseUrl().startsWith(QStringLiteral("http://127.0.0.1:")));
    RecordProperty("start_ms", int(startMs));
}

TEST_F(BackendTest, PasswordGrantAccountAndSignUp)
{
    const HttpReply badClient = backend->post(QStringLiteral("/profile/oauth/token"),
        form({ { "grant_type", "password" }, { "username", "yamada" }, { "password", "Yamada-2026" },
            { "client_id", "x" }, { "client_secret", "y" } }));
    EXPECT_EQ(badClient.status, 401);
    EXPECT_EQ(
        badClient.json().toMap().value(QStringLiteral("error")).toString(), QStringLiteral("invalid_client"));
    EXPECT_TRUE(accessToken(QStringLiteral("yamada"), QStringLiteral("wrong")).isEmpty());

    const QString token = accessToken(QStringLiteral("yamada"), QStringLiteral("Yamada-2026"));
    ASSERT_FALSE(token.isEmpty());
    const QVariantMap account = backend
                                    ->get(QStringLiteral("/profile/api/account"),
                                        { { "Authorization", "Bearer " + token.toUtf8() } })
                                    .json()
                                    .toMap();
    EXPECT_EQ(
        account.value(QStringLiteral("notice_email")).toString(), QStringLiteral("yamada@tavro.example"));
    EXPECT_EQ(
        account.value(QStringLiteral("user_profiles")).toMap().value(QStringLiteral("last_name")).toString(),
        QStringLiteral("山田"));
    EXPECT_EQ(backend->get(QStringLiteral("/profile/api/account")).status, 401);

    const QString tanaka = accessToken(QStringLiteral("tanaka"), QStringLiteral("Tanaka-2026"));
    const QVariantMap t = backend
                              ->get(QStringLiteral("/profile/api/account"),
                                  { { "Authorization", "Bearer " + tanaka.toUtf8() } })
                              .json()
                              .toMap();
    EXPECT_TRUE(t.contains(QStringLiteral("notice_email")));
    EXPECT_TRUE(t.value(QStringLiteral("notice_email")).isNull()) << "a missing e-mail is JSON null";

    // Sign-up: the page's form posts to /users, which lands on /home/index.
    const HttpReply signUp = backend->get(QStringLiteral("/profile/users/sign_up"));
    EXPECT_TRUE(signUp.body.contains("action=\"/profile/users\""));
    EXPECT_TRUE(signUp.body.contains("user[username]"));
    const HttpReply created = backend->post(QStringLiteral("/profile/users"),
        "user%5Busername%5D=newuser&user%5Bpassword%5D=pass%26word%3D1&"
        "user%5Blast_name%5D=%E6%96%B0&user%5Bfirst_name%5D=&user%5Bemail%5D=");
    EXPECT_EQ(created.status, 302);
    EXPECT_TRUE(created.header("Location").endsWith("/profile/home/index"));
    EXPECT_EQ(backend->get(QStringLiteral("/profile/home/index")).status, 200);
    EXPECT_FALSE(accessToken(QStringLiteral("newuser"), QStringLiteral("pass&word=1")).isEmpty());
    EXPECT_EQ(
        backend
            ->post(QStringLiteral("/profile/users"), "user%5Busername%5D=newuser&user%5Bpassword%5D=another1")
            .status,
        422)
        << "a login id is taken once";
    EXPECT_EQ(backend->get(QStringLiteral("/profile/users/password/new")).status, 200);
}

TEST_F(BackendTest, DeviceLimitReleaseAndLiftedSessions)
{
    const QString token = accessToken(QStringLiteral("sato"), QStringLiteral("Sato-2026"));
    for (const char *uid : { "UID-1", "UID-2", "UID-3" }) {
        const QVariantMap r = login(token, QString::fromLatin1(uid));
        EXPECT_TRUE(r.value(QStringLiteral("success")).toBool()) << uid;
        EXPECT_FALSE(r.contains(QStringLiteral("unitList"))) << "a signed-in answer has no device list";
        EXPECT_EQ(r.value(QStringLiteral("userId")).toInt(), 2);
    }
    const QVariantMap fourth = login(token, QStringLiteral("UID-4"));
    EXPECT_FALSE(fourth.value(QStringLiteral("success")).toBool());
    const QVariantList units = fourth.value(QStringLiteral("unitList")).toList();
    ASSERT_EQ(units.size(), 3);
    for (const QVariant &u : units) {
        EXPECT_TRUE(u.toMap().contains(QStringLiteral("unit_name")));
        EXPECT_TRUE(u.toMap().contains(QStringLiteral("last_date")));
    }
    EXPECT_FALSE(fourth.value(QStringLiteral("message")).toString().isEmpty());

    // Release UID-1 from UID-4's device list.
    const QString first = units.first().toMap().value(QStringLiteral("id")).toString();
    const QVariantMap wrong
        = backend
              ->send(
                  "DELETE", QStringLiteral("/store-api/api/user/device?token=%1&uid=UID-4&id=999").arg(token))
              .json()
              .toMap();
    EXPECT_FALSE(wrong.value(QStringLiteral("result")).toBool());
    EXPECT_FALSE(wrong.value(QStringLiteral("message")).toString().isEmpty());
    const QVariantMap released
        = backend
              ->send("DELETE",
                  QStringLiteral("/store-api/api/user/device?token=%1&uid=UID-4&id=%2").arg(token, first))
              .json()
              .toMap();
    EXPECT_TRUE(released.value(QStringLiteral("result")).toBool());
    EXPECT_TRUE(login(token, QStringLiteral("UID-4")).value(QStringLiteral("success")).toBool());

    // The released device's session is lifted: its next check names the
    // devices, and it gets no store token until it signs in afresh.
    const QVariantMap lifted = login(token, QStringLiteral("UID-1"));
    EXPECT_TRUE(lifted.contains(QStringLiteral("success")));
    EXPECT_TRUE(lifted.contains(QStringLiteral("unitList")));
    EXPECT_TRUE(storeToken(token, QStringLiteral("UID-1")).isEmpty());

    EXPECT_EQ(
        backend
            ->post(QStringLiteral("/store-api/api/login"), form({ { "token", "nope" }, { "uid", "UID-9" } }))
            .status,
        401);
}

TEST_F(BackendTest, StorePagesDownloadsAndLogout)
{
    const QString token = accessToken(QStringLiteral("yamada"), QStringLiteral("Yamada-2026"));
    ASSERT_TRUE(login(token, QStringLiteral("STORE-UID")).value(QStringLiteral("success")).toBool());
    const QString store = storeToken(token, QStringLiteral("STORE-UID"));
    ASSERT_FALSE(store.isEmpty());
    EXPECT_TRUE(storeToken(QStringLiteral("bad"), QStringLiteral("STORE-UID")).isEmpty());

    const QList<QPair<QByteArray, QByteArray>> headers { { "X-Tavro-Uid", "STORE-UID" },
        { "Authorization", store.toUtf8() }, { "appVersion", "1.0.0" } };
    const QByteArray body = form({ { "vamo_token", token }, { "tavro_token", store }, { "tavro_id", "1" } });
    const HttpReply top = backend->post(QStringLiteral("/store-api/store/index_m.php"), body, headers);
    ASSERT_EQ(top.status, 200) << top.body.toStdString();
    EXPECT_TRUE(top.header("Set-Cookie").startsWith("tavro_store="));
    EXPECT_EQ(backend->post(QStringLiteral("/store-api/store/mypage/index.php"), body, headers).status, 200);
    EXPECT_EQ(backend->post(QStringLiteral("/store-api/store/acquired_list.php"), body, headers).status, 200);

    struct Missing {
        const char *why;
        QList<QPair<QByteArray, QByteArray>> headers;
    };
    const Missing missing[] = {
        { "no headers", {} },
        { "another device",
            { { "X-Tavro-Uid", "OTHER" }, { "Authorization", store.toUtf8() }, { "appVersion", "1.0.0" } } },
        { "no app version", { { "X-Tavro-Uid", "STORE-UID" }, { "Authorization", store.toUtf8() } } },
        { "bad store token",
            { { "X-Tavro-Uid", "STORE-UID" }, { "Authorization", "bad" }, { "appVersion", "1.0.0" } } },
    };
    for (const Missing &m : missing)
        EXPECT_EQ(backend->post(QStringLiteral("/store-api/store/index_m.php"), body, m.headers).status, 401)
            << m.why;

    // Every download link ends in download.php and names the book.
    const QRegularExpression link(QStringLiteral("href=\"([^\"]*download\\.php\\?[^\"]*)\""));
    QStringList links;
    for (auto it = link.globalMatch(QString::fromUtf8(top.body)); it.hasNext();)
        links << it.next().captured(1).replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    ASSERT_GE(links.size(), 8);
    for (const QString &l : links) {
        const QUrlQuery q(QUrl(backend->baseUrl() + l));
        for (const char *key : { "bookId", "bookTitle", "bookAuthor", "bookPublisher" })
            EXPECT_TRUE(q.hasQueryItem(QLatin1String(key))) << key << " in " << l.toStdString();
        if (q.queryItemValue(QStringLiteral("bookId")).startsWith(QStringLiteral("pdf-"))) {
            EXPECT_EQ(q.queryItemValue(QStringLiteral("print")), QStringLiteral("1"));
        }
    }

    // Downloads of each kind come with their suggested file name.
    const std::pair<const char *, const char *> kinds[] = {
        { "bookId=epub-clinical-pharmacology", "books/臨床薬理学ノート.epub" },
        { "bookId=pdf-nursing-notes", "books/nursing-notes.pdf" },
        { "bookId=dict-medical-glossary", "packages/pkg-glossary.zip" },
    };
    for (const auto &[id, file] : kinds) {
        const QString url = links.filter(QString::fromLatin1(id)).value(0);
        ASSERT_FALSE(url.isEmpty()) << id;
        const HttpReply d = backend->get(url);
        ASSERT_EQ(d.status, 200) << id;
        QFile sample(QStringLiteral(TAVRO_SAMPLES_DIR "/") + QString::fromUtf8(file));
        ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
        EXPECT_EQ(d.body, sample.readAll()) << id;
        const QString name = QString::fromUtf8(file).section(u'/', -1);
        EXPECT_TRUE(d.header("Content-Disposition").contains(encodeURI(name).toUtf8())) << id;
    }
    const QString forged
        = links.first().replace(QRegularExpression(QStringLiteral("key=[0-9a-f]+")), QStringLiteral("key=0"));
    EXPECT_EQ(backend->get(forged).status, 403);
    EXPECT_EQ(
        backend->get(QStringLiteral("/store-api/store/download.php?bookId=pdf-nursing-notes&export=download"))
            .status,
        200)
        << "a free sample needs no key";

    // The cookie set by a signed-in page opens pages; logout.php ends it.
    const QByteArray cookie = top.header("Set-Cookie").split(';').first();
    EXPECT_EQ(
        backend
            ->get(QStringLiteral("/store-api/store/index_m.php?bookId=x&gotostore"), { { "Cookie", cookie } })
            .status,
        200);
    EXPECT_TRUE(backend
                    ->get(QStringLiteral("/store-api/store/buy.php?bookId=epub-anatomy-basics"),
                        { { "Cookie", cookie } })
                    .body.contains("bought"));
    EXPECT_TRUE(backend->get(QStringLiteral("/store-api/store/acquired_list.php"), { { "Cookie", cookie } })
                    .body.contains("Anatomy Basics"));
    EXPECT_EQ(
        backend->get(QStringLiteral("/store-api/store/logout.php"), { { "Cookie", cookie } }).status, 200);
    EXPECT_EQ(
        backend->get(QStringLiteral("/store-api/store/index_m.php"), { { "Cookie", cookie } }).status, 401);
}

TEST_F(BackendTest, StoreWebNewsAndUnitInfo)
{
    const QString token = accessToken(QStringLiteral("yamada"), QStringLiteral("Yamada-2026"));
    login(token, QStringLiteral("WEB-UID"));
    const QString store = storeToken(token, QStringLiteral("WEB-UID"));
    const HttpReply unit = backend->get(QStringLiteral(
        "/store-web/rest/setUnitInfo.php?Authorization=%1&userId=1&tavroVersion=1.0.0&unitInfo=Debian%20GNU/"
        "Linux%2012")
                                            .arg(store));
    EXPECT_TRUE(unit.json().toMap().value(QStringLiteral("result")).toBool());
    const QVariantList infos = backend->get(QStringLiteral("/_control/state"))
                                   .json()
                                   .toMap()
                                   .value(QStringLiteral("unitInfos"))
                                   .toList();
    ASSERT_FALSE(infos.isEmpty());
    EXPECT_EQ(infos.last().toMap().value(QStringLiteral("unitInfo")).toString(),
        QStringLiteral("Debian GNU/Linux 12"));
    EXPECT_FALSE(backend->get(QStringLiteral("/store-web/rest/setUnitInfo.php?Authorization=bad"))
                     .json()
                     .toMap()
                     .value(QStringLiteral("result"))
                     .toBool());

    EXPECT_FALSE(backend->get(QStringLiteral("/store-web/rest/authentication.php?cid=x&pwd=y"))
                     .json()
                     .toMap()
                     .value(QStringLiteral("result"))
                     .toBool());
    const QVariantMap auth
        = backend->get(QStringLiteral("/store-web/rest/authentication.php?cid=tavro_news&pwd=N3wsPa55"))
              .json()
              .toMap();
    ASSERT_TRUE(auth.value(QStringLiteral("result")).toBool());
    const QVariantMap news = backend
                                 ->get(QStringLiteral("/store-web/rest/getInformationsV2.php?token=%1&exec=G")
                                           .arg(auth.value(QStringLiteral("token")).toString()))
                                 .json()
                                 .toMap();
    EXPECT_TRUE(news.value(QStringLiteral("result")).toBool());
    const QVariantList records = news.value(QStringLiteral("records")).toList();
    ASSERT_GE(records.size(), 3);
    for (const char *key : { "infocategory_id", "info_id", "info_detail" })
        EXPECT_TRUE(records.first().toMap().contains(QLatin1String(key))) << key;
    EXPECT_FALSE(backend->get(QStringLiteral("/store-web/rest/getInformationsV2.php?token=bad&exec=G"))
                     .json()
                     .toMap()
                     .value(QStringLiteral("result"))
                     .toBool());
    EXPECT_TRUE(backend->get(QStringLiteral("/store-web/store/uguide.php")).body.contains("gotostore"));

    const QVariantMap entry = backend
                                  ->post(QStringLiteral("/store-api/api/entry"),
                                      "token=" + token.toUtf8() + "&provider=tavro&item=seminar&name=A%26B")
                                  .json()
                                  .toMap();
    EXPECT_FALSE(entry.value(QStringLiteral("messages")).toString().isEmpty());
    EXPECT_EQ(backend->get(QStringLiteral("/_control/state"))
                  .json()
                  .toMap()
                  .value(QStringLiteral("entries"))
                  .toList()
                  .last()
                  .toMap()
                  .value(QStringLiteral("name"))
                  .toString(),
        QStringLiteral("A&B"));
    EXPECT_TRUE(backend->post(QStringLiteral("/store-api/api/entry"), "token=bad&provider=p&item=i")
                    .json()
                    .toMap()
                    .value(QStringLiteral("messages"))
                    .isNull());
}

TEST_F(BackendTest, SyncRoundTripAcceptsBothBodyForms)
{
    const QVariantMap bookmark { { "bookId", "urn:sync" }, { "udId", "DEV-A" }, { "updateUdId", "My mark" },
        { "memoText", "(null)" }, { "pageIdx", "5" }, { "manifestId", "ch5" }, { "endNodeOffset", "0" },
        { "startNodeOffset", "0" }, { "updateDate", "20261201T101500.250" }, { "highlightNo", "0" },
        { "startNodeNo", "0" }, { "endNodeNo", "0" }, { "gpsInfo", "" }, { "twitterFlg", "0" },
        { "facebookFlg", "0" }, { "contentTitle", "(null)" }, { "user", "1" }, { "naviId", "6" } };
    const auto session = signedIn();
    QVariantMap memo = bookmark;
    memo.insert(QStringLiteral("highlightNo"), QStringLiteral("1"));
    memo.insert(QStringLiteral("memoText"), QStringLiteral("50% dose & retest = +1 day"));
    memo.insert(QStringLiteral("udId"), QStringLiteral("DEV-A"));
    const QByteArray rawJson = QJsonDocument::fromVariant(
        QVariantMap { { "deleteList", QVariantList() }, { "insertList", QVariantList { bookmark } } })
                                   .toJson(QJsonDocument::Compact);
    const QByteArray memoJson = QJsonDocument::fromVariant(
        QVariantMap { { "deleteList", QVariantList() }, { "insertList", QVariantList { memo } } })
                                    .toJson(QJsonDocument::Compact);
    // The literal form, and the percent-encoded form.
    EXPECT_EQ(backend->post(QStringLiteral("/sync/shareapi/insertBookAll"), "json=" + rawJson, session)
                  .json()
                  .toMap()
                  .value(QStringLiteral("result"))
                  .toString(),
        QStringLiteral("1"));
    EXPECT_EQ(backend
                  ->post(QStringLiteral("/sync/shareapi/insertBookAll"),
                      "json=" + encodeURI(QString::fromUtf8(memoJson)).toUtf8(), session)
                  .json()
                  .toMap()
                  .value(QStringLiteral("result"))
                  .toString(),
        QStringLiteral("1"));

    const QVariantMap down
        = backend->post(QStringLiteral("/sync/shareapi/getMyBookAll"), "bookId=urn%3Async&user=1", session)
              .json()
              .toMap();
    const QVariantList shiori = down.value(QStringLiteral("shiori")).toList();
    ASSERT_EQ(shiori.size(), 1);
    const QVariantMap mark = shiori.first().toMap();
    EXPECT_EQ(mark.value(QStringLiteral("pageIdx")).toInt(), 5);
    EXPECT_EQ(mark.value(QStringLiteral("highlightNo")).toInt(), 0);
    EXPECT_EQ(mark.value(QStringLiteral("naviId")).toString(), QStringLiteral("6"));
    EXPECT_EQ(mark.value(QStringLiteral("updateDate")).toLongLong(), 1796120100250LL)
        << "wall-clock milliseconds";
    const QVariantList memos = down.value(QStringLiteral("memo")).toList();
    ASSERT_EQ(memos.size(), 1);
    EXPECT_EQ(memos.first().toMap().value(QStringLiteral("memoText")).toString(),
        QStringLiteral("50% dose & retest = +1 day"));
    EXPECT_TRUE(down.value(QStringLiteral("highlight")).toList().isEmpty());
    EXPECT_TRUE(backend->post(QStringLiteral("/sync/shareapi/getMyPdfAll"), "bookId=urn:sync&user=1", session)
                    .json()
                    .toMap()
                    .value(QStringLiteral("shiori"))
                    .toList()
                    .isEmpty())
        << "PDF annotations are kept apart";

    // A deletion removes it.
    const QVariantMap identity { { "bookId", "urn:sync" }, { "udId", "DEV-A" }, { "updateUdId", "My mark" },
        { "pageIdx", "5" }, { "manifestId", "ch5" }, { "highlightNo", "0" }, { "user", "1" },
        { "naviId", "6" } };
    const QVariantMap del { { "ID", 42 }, { "updateDate", "20261202T000000.000" },
        { "TableName", "BooksShiori" },
        { "JsonString",
            QString::fromUtf8(QJsonDocument::fromVariant(identity).toJson(QJsonDocument::Compact)) } };
    backend->post(QStringLiteral("/sync/shareapi/insertBookAll"),
        "json="
            + QJsonDocument::fromVariant(
                QVariantMap { { "deleteList", QVariantList { del } }, { "insertList", QVariantList() } })
                  .toJson(QJsonDocument::Compact),
        session);
    EXPECT_TRUE(
        backend->post(QStringLiteral("/sync/shareapi/getMyBookAll"), "bookId=urn:sync&user=1", session)
            .json()
            .toMap()
            .value(QStringLiteral("shiori"))
            .toList()
            .isEmpty());
    EXPECT_EQ(
        backend->post(QStringLiteral("/sync/shareapi/insertBookAll"), "json=not json", session).status, 400);
}

QVariantMap syncRecord(const QString &book, const QString &user, int page, const QString &memo = {})
{
    return { { "bookId", book }, { "udId", "DEV-A" }, { "updateUdId", "DEV-A" },
        { "memoText", memo.isEmpty() ? QStringLiteral("(null)") : memo },
        { "pageIdx", QString::number(page) }, { "manifestId", "ch5" },
        { "updateDate", "20261201T101500.250" }, { "highlightNo", memo.isEmpty() ? "0" : "1" },
        { "user", user }, { "naviId", "6" } };
}

QByteArray syncUploadBody(const QVariantList &inserts, const QVariantList &deletions = {})
{
    return "json="
        + QJsonDocument::fromVariant(QVariantMap { { "deleteList", deletions }, { "insertList", inserts } })
              .toJson(QJsonDocument::Compact);
}

QVariantMap syncDeletion(const QVariantMap &record)
{
    return { { "ID", 1 }, { "updateDate", "20261202T000000.000" }, { "TableName", "BooksShiori" },
        { "JsonString",
            QString::fromUtf8(QJsonDocument::fromVariant(record).toJson(QJsonDocument::Compact)) } };
}

TEST_F(BackendTest, SyncNeedsTheSignedInSessionAndTouchesOnlyItsOwnAnnotations)
{
    const QString book = QStringLiteral("urn:session");
    const auto yamada = signedIn(); // account 1
    const auto sato = signedIn(QStringLiteral("sato"), QStringLiteral("Sato-2026")); // account 2
    const QVariantMap mark = syncRecord(book, QStringLiteral("1"), 3);
    ASSERT_EQ(backend->post(QStringLiteral("/sync/shareapi/insertBookAll"), syncUploadBody({ mark }), yamada)
                  .status,
        200);

    const QList<QPair<QByteArray, QByteArray>> none;
    const QList<QPair<QByteArray, QByteArray>> madeUp { { "Authorization", "Bearer 0123456789abcdef" } };
    struct Case {
        const char *name;
        const char *path;
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        int status;
    };
    const Case cases[] = {
        { "an upload without a session", "/sync/shareapi/insertBookAll",
            syncUploadBody({ syncRecord(book, QStringLiteral("1"), 3, QStringLiteral("forged")) }), none,
            401 },
        { "a PDF upload without a session", "/sync/shareapi/insertPdfAll",
            syncUploadBody({ syncRecord(book, QStringLiteral("1"), 3) }), none, 401 },
        { "an upload with a token never issued", "/sync/shareapi/insertBookAll",
            syncUploadBody({ syncRecord(book, QStringLiteral("1"), 4) }), madeUp, 401 },
        { "an upload naming another user", "/sync/shareapi/insertBookAll",
            syncUploadBody(
                { syncRecord(book, QStringLiteral("2"), 5), syncRecord(book, QStringLiteral("1"), 6) }),
            sato, 403 },
        { "a deletion naming another user", "/sync/shareapi/insertBookAll",
            syncUploadBody({}, { syncDeletion(mark) }), sato, 403 },
        { "a deletion without a session", "/sync/shareapi/insertBookAll",
            syncUploadBody({}, { syncDeletion(mark) }), none, 401 },
        { "a download without a session", "/sync/shareapi/getMyBookAll", "bookId=urn:session&user=1", none,
            401 },
        { "a download of another user's annotations", "/sync/shareapi/getMyBookAll",
            "bookId=urn:session&user=1", sato, 403 },
    };
    for (const Case &c : cases) {
        const HttpReply reply = backend->post(QString::fromLatin1(c.path), c.body, c.headers);
        EXPECT_EQ(reply.status, c.status) << c.name;
        EXPECT_NE(reply.json().toMap().value(QStringLiteral("result")).toString(), QStringLiteral("1"))
            << c.name;
    }

    // Nothing refused was written or removed: the owner's one bookmark is
    // there as it was uploaded.
    const QVariantMap down
        = backend->post(QStringLiteral("/sync/shareapi/getMyBookAll"), "bookId=urn:session&user=1", yamada)
              .json()
              .toMap();
    const QVariantList shiori = down.value(QStringLiteral("shiori")).toList();
    ASSERT_EQ(shiori.size(), 1);
    EXPECT_EQ(shiori.first().toMap().value(QStringLiteral("pageIdx")).toInt(), 3);
    EXPECT_TRUE(down.value(QStringLiteral("memo")).toList().isEmpty());

    // A record made before signing in (no user yet) becomes the session's.
    ASSERT_EQ(backend
                  ->post(QStringLiteral("/sync/shareapi/insertBookAll"),
                      syncUploadBody({ syncRecord(book, QString(), 8) }), sato)
                  .status,
        200);
    const QVariantList satos
        = backend->post(QStringLiteral("/sync/shareapi/getMyBookAll"), "bookId=urn:session", sato)
              .json()
              .toMap()
              .value(QStringLiteral("shiori"))
              .toList();
    ASSERT_EQ(satos.size(), 1);
    EXPECT_EQ(satos.first().toMap().value(QStringLiteral("user")).toString(), QStringLiteral("2"));
}

// What an upload keeps when copies of one annotation arrive out of order
// (devices upload what they downloaded earlier): the newest copy, and no
// copy older than its deletion.
TEST_F(BackendTest, SyncUploadsKeepTheNewestCopyAndDeletionsHold)
{
    const auto session = signedIn();
    auto copy = [](const char *updateDate, const char *memo) {
        QVariantMap r
            = syncRecord(QStringLiteral("urn:order"), QStringLiteral("1"), 7, QString::fromLatin1(memo));
        r.insert(QStringLiteral("updateDate"), QString::fromLatin1(updateDate));
        return r;
    };
    auto stored = [&] {
        const QVariantList memos
            = backend->post(QStringLiteral("/sync/shareapi/getMyBookAll"), "bookId=urn:order&user=1", session)
                  .json()
                  .toMap()
                  .value(QStringLiteral("memo"))
                  .toList();
        return memos.isEmpty() ? QStringLiteral("(none)")
                               : memos.first().toMap().value(QStringLiteral("memoText")).toString();
    };
    struct Step {
        const char *name;
        QVariantList inserts;
        QVariantList deletions;
        const char *expected;
    };
    const Step steps[] = {
        { "the first copy", { copy("20261201T100000.000", "first") }, {}, "first" },
        { "a newer copy replaces it", { copy("20261201T110000.000", "newer") }, {}, "newer" },
        { "an older copy does not", { copy("20261201T105959.999", "older") }, {}, "newer" },
        // Deleted at 2026-12-02 00:00.
        { "a deletion removes it", {}, { syncDeletion(copy("20261201T110000.000", "newer")) }, "(none)" },
        { "a copy from before the deletion stays out", { copy("20261201T235959.000", "stale") }, {},
            "(none)" },
        { "a copy changed after the deletion comes back", { copy("20261202T010000.000", "again") }, {},
            "again" },
    };
    for (const Step &step : steps) {
        ASSERT_EQ(backend
                      ->post(QStringLiteral("/sync/shareapi/insertBookAll"),
                          syncUploadBody(step.inserts, step.deletions), session)
                      .status,
            200)
            << step.name;
        EXPECT_EQ(stored(), QString::fromLatin1(step.expected)) << step.name;
    }
}

// A book with 20,000 annotations comes back whole in one download (its
// speed is for bench_backend_sync).
TEST_F(BackendTest, SyncDownloadOfTwentyThousandAnnotations)
{
    const QString book = QStringLiteral("urn:many");
    const auto session = signedIn();
    for (int part = 0; part < 2; ++part) {
        QVariantList records;
        for (int i = part * 10000; i < (part + 1) * 10000; ++i)
            records.append(syncRecord(
                book, QStringLiteral("1"), i, i % 4 == 0 ? QStringLiteral("note %1").arg(i) : QString()));
        const HttpReply reply
            = backend->post(QStringLiteral("/sync/shareapi/insertBookAll"), syncUploadBody(records), session);
        ASSERT_EQ(reply.status, 200) << "part " << part << " (network error " << reply.networkError << ")";
    }
    const HttpReply reply
        = backend->post(QStringLiteral("/sync/shareapi/getMyBookAll"), "bookId=urn:many&user=1", session);
    ASSERT_EQ(reply.status, 200) << "network error " << reply.networkError;
    const QVariantMap down = reply.json().toMap();
    const QVariantList shiori = down.value(QStringLiteral("shiori")).toList();
    const QVariantList memo = down.value(QStringLiteral("memo")).toList();
    EXPECT_EQ(shiori.size(), 15000);
    EXPECT_EQ(memo.size(), 5000);
    ASSERT_FALSE(memo.isEmpty());
    EXPECT_EQ(memo.last().toMap().value(QStringLiteral("memoText")).toString(), QStringLiteral("note 19996"))
        << "in upload order";
    EXPECT_EQ(shiori.first().toMap().value(QStringLiteral("pageIdx")).toInt(), 1);
}

// Answers checked by Python's xmlrpc.client, a peer we did not write.
TEST_F(BackendTest, XmlRpcAnswersParseWithPython)
{
    auto call = [](const QByteArray &method, const QByteArray &params) {
        return backend
            ->post(QStringLiteral("/news-rpc"),
                "<?xml version=\"1.0\"?><methodCall><methodName>" + method + "</methodName><params>" + params
                    + "</params></methodCall>",
                { { "Content-Type", "text/xml" } })
            .body;
    };
    auto param = [](const QByteArray &type, const QByteArray &v) {
        return "<param><value><" + type + ">" + v + "</" + type + "></value></param>";
    };
    const QByteArray creds = param("string", "articles@tavro.example") + param("string", "wicread26");
    auto python = [](const QByteArray &xml) {
        QProcess p;
        p.start(QStringLiteral("python3"),
            { QStringLiteral("-c"),
                QStringLiteral("import sys, json, xmlrpc.client\n"
                               "try:\n  v = xmlrpc.client.loads(sys.stdin.buffer.read())[0][0]\n"
                               "  print(json.dumps({'value': v}, ensure_ascii=False))\n"
                               "except xmlrpc.client.Fault as f:\n"
                               "  print(json.dumps({'fault': f.faultCode}))\n") });
        p.write(xml);
        p.closeWriteChannel();
        p.waitForFinished(20000);
        return QJsonDocument::fromJson(p.readAllStandardOutput()).toVariant().toMap();
    };
    const QVariantMap status
        = python(call("get_article_update_status",
                     param("int", "1") + param("int", "1") + creds + param("string", "(null)")
                         + param("string", "2020-03-31 14:00:00")))
              .value(QStringLiteral("value"))
              .toMap();
    EXPECT_EQ(status.value(QStringLiteral("total")).toInt(), 3);
    EXPECT_EQ(status.value(QStringLiteral("list"))
                  .toList()
                  .first()
                  .toMap()
                  .value(QStringLiteral("date"))
                  .toString(),
        QStringLiteral("2026-12-07 09:00:00"));
    const QVariantList list = python(call("get_article_list", param("int", "1") + param("int", "2") + creds))
                                  .value(QStringLiteral("value"))
                                  .toMap()
                                  .value(QStringLiteral("list"))
                                  .toList();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list.first().toMap().value(QStringLiteral("id")).toInt(), 5001);
    EXPECT_EQ(list.at(1).toMap().value(QStringLiteral("title")).toString(),
        QStringLiteral("新しい高血圧治療ガイドライン"));
    EXPECT_TRUE(python(call("get_article", param("int", "5003") + creds))
                    .value(QStringLiteral("value"))
                    .toMap()
                    .value(QStringLiteral("body"))
                    .toString()
                    .contains(QStringLiteral("早期離床")));
    EXPECT_EQ(python(call("get_article_list",
                         param("int", "1") + param("int", "2") + param("string", "x") + param("string", "y")))
                  .value(QStringLiteral("fault"))
                  .toInt(),
        401);
    EXPECT_EQ(
        python(call("get_article", param("int", "1") + creds)).value(QStringLiteral("fault")).toInt(), 404);
}

TEST_F(BackendTest, FilesAndAnalytics)
{
    const QVariantMap manifest
        = backend->get(QStringLiteral("/files/tavro/update/mac/update.json")).json().toMap();
    EXPECT_TRUE(manifest.contains(QStringLiteral("update")));
    EXPECT_TRUE(manifest.value(QStringLiteral("notification")).toMap().contains(QStringLiteral("startDate")));
    EXPECT_TRUE(manifest.value(QStringLiteral("update"))
                    .toMap()
                    .value(QStringLiteral("url"))
                    .toString()
                    .startsWith(backend->baseUrl()))
        << "links point at this server";
    const QVariantList contents = backend->get(QStringLiteral("/files/medicalInformation.json"))
                                      .json()
                                      .toMap()
                                      .value(QStringLiteral("contents"))
                                      .toList();
    ASSERT_FALSE(contents.isEmpty());
    EXPECT_EQ(contents.first().toMap().value(QStringLiteral("content")).toString(), QStringLiteral("wic"));
    EXPECT_TRUE(backend->get(QStringLiteral("/files/coffee.html")).body.contains("gotostore"));
    EXPECT_EQ(backend->get(QStringLiteral("/files/../seed.json")).status, 404);
    EXPECT_EQ(backend->get(QStringLiteral("/files/nothing.json")).status, 404);

    backend->send("DELETE", QStringLiteral("/analytics/hits"));
    backend->post(QStringLiteral("/analytics/collect"),
        "v=1&tid=UA-000000-1&cid=ABC&t=screenview&cd=ストア&av=1.0.0&an=Tavro_mac&qt=0");
    const QVariantList hits = backend->get(QStringLiteral("/analytics/hits")).json().toList();
    ASSERT_EQ(hits.size(), 1);
    EXPECT_EQ(
        hits.first().toMap().value(QStringLiteral("fields")).toMap().value(QStringLiteral("cd")).toString(),
        QStringLiteral("ストア"));
}

TEST_F(BackendTest, FaultsOnDemand)
{
    ASSERT_TRUE(backend->setFault(
        { { "path", "/files/coffee.html" }, { "status", 500 }, { "body", "broken" }, { "times", 2 } }));
    EXPECT_EQ(backend->get(QStringLiteral("/files/coffee.html")).status, 500);
    EXPECT_EQ(backend->get(QStringLiteral("/files/coffee.html")).body, QByteArray("broken"));
    EXPECT_EQ(backend->get(QStringLiteral("/files/coffee.html")).status, 200) << "two times only";

    backend->setFault({ { "path", "/files/coffee.html" }, { "status", 200 }, { "body", "<not json" },
        { "contentType", "application/json" } });
    EXPECT_EQ(backend->get(QStringLiteral("/files/coffee.html")).body, QByteArray("<not json"));

    backend->setFault({ { "path", "/files/coffee.html" }, { "drop", true } });
    const HttpReply dropped = backend->get(QStringLiteral("/files/coffee.html"));
    EXPECT_LT(dropped.body.size(), dropped.header("Content-Length").toLongLong())
        << "the connection closed mid-answer";

    backend->setFault({ { "path", "/files/coffee.html" }, { "delayMs", 600 } });
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(backend->get(QStringLiteral("/files/coffee.html")).status, 200);
    EXPECT_GE(t.elapsed(), 550) << "the answer was held back";
    EXPECT_FALSE(backend->setFault({ { "path", "/_control/reset" }, { "status", 500 } }));
}

} // namespace
