// Downloads from the store: paid books only within a store session, keys
// only from the server's own secret.
#include "core/util/StringHelpers.h"
#include "support/BackendProcess.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrlQuery>
#include <gtest/gtest.h>

namespace
{

const QString kPaid = QStringLiteral("epub-clinical-pharmacology");
const QString kFreeSample = QStringLiteral("pdf-nursing-notes");

struct Shopper {
    QString accessToken;
    QString storeToken;
    qint64 accountId = 0;
    QByteArray cookie;
    QStringList links; // the download links of the store top, unescaped
};

class BackendDownloads : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(backend.start()) << backend.error().toStdString(); }

    static QByteArray form(const QList<QPair<QString, QString>> &fields)
    {
        QStringList parts;
        for (const auto &[k, v] : fields)
            parts << encodeURI(k) + u'=' + encodeURI(v);
        return parts.join(u'&').toUtf8();
    }

    // Signs in as the client does and opens the store top.
    Shopper signIn(const QString &login, const QString &password, const QString &uid)
    {
        Shopper s;
        s.accessToken = backend.accessToken(login, password);
        const QVariantMap signedIn = backend
                                         .post(QStringLiteral("/store-api/api/login"),
                                             form({ { "token", s.accessToken }, { "uid", uid } }))
                                         .json()
                                         .toMap();
        s.accountId = signedIn.value(QStringLiteral("userId")).toLongLong();
        s.storeToken = QString::fromLatin1(
            backend.get(QStringLiteral("/store-api/api/token?token=%1&uid=%2").arg(s.accessToken, uid))
                .header("token"));
        const HttpReply top = backend.post(QStringLiteral("/store-api/store/index_m.php"),
            form({ { "vamo_token", s.accessToken }, { "tavro_token", s.storeToken },
                { "tavro_id", QString::number(s.accountId) } }),
            { { "X-Tavro-Uid", uid.toUtf8() }, { "Authorization", s.storeToken.toUtf8() },
                { "appVersion", "1.0.0" } });
        s.cookie = top.header("Set-Cookie").split(';').first();
        const QRegularExpression link(QStringLiteral("href=\"([^\"]*download\\.php\\?[^\"]*)\""));
        for (auto it = link.globalMatch(QString::fromUtf8(top.body)); it.hasNext();)
            s.links << it.next().captured(1).replace(QStringLiteral("&amp;"), QStringLiteral("&"));
        return s;
    }

    static QString linkFor(const Shopper &s, const QString &bookId)
    {
        return s.links.filter(QStringLiteral("bookId=") + bookId + u'&').value(0);
    }

    static QString withQuery(QString link, const QString &key, const QString &value)
    {
        link.replace(QRegularExpression(key + QStringLiteral("=[^&]*")), key + u'=' + value);
        return link;
    }

    QStringList acquired(const Shopper &s)
    {
        const QString page = QString::fromUtf8(
            backend.get(QStringLiteral("/store-api/store/acquired_list.php"), { { "Cookie", s.cookie } })
                .body);
        QStringList titles;
        const QRegularExpression title(QStringLiteral("<span class=\"title\">([^<]*)</span>"));
        for (auto it = title.globalMatch(page); it.hasNext();)
            titles << it.next().captured(1);
        return titles;
    }

    BackendProcess backend;
};

TEST_F(BackendDownloads, PaidBooksNeedTheAccountsSession)
{
    const Shopper yamada
        = signIn(QStringLiteral("yamada"), QStringLiteral("Yamada-2026"), QStringLiteral("DL-1"));
    const Shopper tanaka
        = signIn(QStringLiteral("tanaka"), QStringLiteral("Tanaka-2026"), QStringLiteral("DL-2"));
    const QString link = linkFor(yamada, kPaid);
    ASSERT_FALSE(link.isEmpty());
    ASSERT_NE(yamada.accountId, tanaka.accountId);

    // A key anyone with the client could make: from the client secret that
    // ships with it.
    const QString shippedKey = QString::fromLatin1(QCryptographicHash::hash(
        (BackendProcess::clientSecret() + u'|' + QString::number(tanaka.accountId) + u'|' + kPaid).toUtf8(),
        QCryptographicHash::Sha256)
                                                       .toHex()
                                                       .left(24));
    const QString tanakaId = QString::number(tanaka.accountId);
    struct Case {
        const char *name;
        QString url;
        QList<QPair<QByteArray, QByteArray>> headers;
    };
    const Case refused[] = {
        { "a key made from the shipped client secret",
            withQuery(withQuery(link, "account", tanakaId), "key", shippedKey), {} },
        { "no key", QStringLiteral("/store-api/store/download.php?bookId=%1&account=%2").arg(kPaid, tanakaId),
            {} },
        { "no account and no key", QStringLiteral("/store-api/store/download.php?bookId=%1").arg(kPaid), {} },
        { "another account's valid key", withQuery(link, "account", tanakaId), {} },
        { "a valid key for another book", withQuery(link, "bookId", QStringLiteral("epub-anatomy-basics")),
            {} },
        { "a session cookie of another account", withQuery(link, "account", tanakaId),
            { { "Cookie", yamada.cookie } } },
    };
    for (const Case &c : refused)
        EXPECT_EQ(backend.get(c.url, c.headers).status, 403) << c.name;
    EXPECT_TRUE(acquired(tanaka).isEmpty()) << "no purchase was added to the account named in the links";

    // The page's link works as the client uses it: no cookie, no headers.
    const HttpReply d = backend.get(link);
    ASSERT_EQ(d.status, 200);
    EXPECT_EQ(d.body.left(2), QByteArray("PK"));
    EXPECT_TRUE(acquired(yamada).contains(QStringLiteral("臨床薬理学ノート")));
    // So does the session cookie alone.
    EXPECT_EQ(backend
                  .get(QStringLiteral("/store-api/store/download.php?bookId=%1").arg(kPaid),
                      { { "Cookie", tanaka.cookie } })
                  .status,
        200);
    EXPECT_FALSE(acquired(tanaka).isEmpty());

    // A free sample downloads for anyone, and counts for nobody unproven.
    const Shopper sato = signIn(QStringLiteral("sato"), QStringLiteral("Sato-2026"), QStringLiteral("DL-3"));
    EXPECT_EQ(backend
                  .get(QStringLiteral("/store-api/store/download.php?bookId=%1&account=%2")
                           .arg(kFreeSample)
                           .arg(sato.accountId))
                  .status,
        200);
    EXPECT_TRUE(acquired(sato).isEmpty());

    // Logging out ends the session, and with it the page's links.
    EXPECT_EQ(
        backend.get(QStringLiteral("/store-api/store/logout.php"), { { "Cookie", yamada.cookie } }).status,
        200);
    EXPECT_EQ(backend.get(link).status, 403);
    EXPECT_TRUE(backend.errorOutput().contains("refused GET /store-api/store/download.php (403)"));
}

TEST_F(BackendDownloads, SecretIsTheServersOwnAndOutlivesARestart)
{
    const Shopper yamada
        = signIn(QStringLiteral("yamada"), QStringLiteral("Yamada-2026"), QStringLiteral("DL-R"));
    const QString link = linkFor(yamada, kPaid);
    ASSERT_FALSE(link.isEmpty());

    const QString secretPath = backend.dataPath() + QStringLiteral("/server-secret");
    QFile secretFile(secretPath);
    ASSERT_TRUE(secretFile.open(QIODevice::ReadOnly));
    const QByteArray secret = secretFile.readAll().trimmed();
    EXPECT_GE(secret.size(), 32);
    EXPECT_EQ(QFileInfo(secretPath).permissions()
            & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
        QFile::Permissions())
        << "readable by its owner only";
    QFile seed(QStringLiteral(TAVRO_BACKEND_SEED_FILE));
    ASSERT_TRUE(seed.open(QIODevice::ReadOnly));
    EXPECT_FALSE(seed.readAll().contains(secret)) << "the secret is not what ships with the client";

    backend.stop();
    ASSERT_TRUE(backend.start()) << backend.error().toStdString();
    EXPECT_EQ(backend.get(link).status, 200) << "a page's link works after a restart on the same data";

    // A configured secret is used instead (and none is made); another
    // secret makes the old links useless.
    QFile::remove(secretPath);
    const QString configured = backend.dataPath() + QStringLiteral("/configured-secret");
    QFile other(configured);
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("another secret of the operator's\n");
    other.close();
    backend.stop();
    ASSERT_TRUE(backend.start({ QStringLiteral("--secret-file"), configured }))
        << backend.error().toStdString();
    EXPECT_FALSE(QFile::exists(secretPath));
    EXPECT_EQ(backend.get(link).status, 403);

    // A configured secret that is missing stops the start.
    backend.stop();
    EXPECT_FALSE(
        backend.start({ QStringLiteral("--secret-file"), backend.dataPath() + QStringLiteral("/none") }));
    EXPECT_TRUE(backend.error().contains(QStringLiteral("cannot read the secret")))
        << backend.error().toStdString();
}

} // namespace
