#include "BackendStore.h"

#include "BackendConfig.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QUuid>
#include <vector>

namespace
{

const char *kSchema = R"(
CREATE TABLE IF NOT EXISTS accounts (id INTEGER PRIMARY KEY, login TEXT UNIQUE, password TEXT,
  last_name TEXT, first_name TEXT, email TEXT);
CREATE TABLE IF NOT EXISTS access_tokens (token TEXT PRIMARY KEY, account_id INTEGER, created INTEGER);
CREATE TABLE IF NOT EXISTS devices (id INTEGER PRIMARY KEY, account_id INTEGER, uid TEXT, unit_name TEXT,
  last_date TEXT);
CREATE TABLE IF NOT EXISTS token_devices (token TEXT, uid TEXT, released INTEGER DEFAULT 0,
  PRIMARY KEY (token, uid));
CREATE TABLE IF NOT EXISTS store_tokens (token TEXT PRIMARY KEY, account_id INTEGER, uid TEXT, revoked INTEGER DEFAULT 0);
CREATE TABLE IF NOT EXISTS purchases (account_id INTEGER, book_id TEXT, PRIMARY KEY (account_id, book_id));
CREATE TABLE IF NOT EXISTS unit_infos (id INTEGER PRIMARY KEY, store_token TEXT, user_id TEXT, version TEXT,
  unit_info TEXT, received INTEGER);
CREATE TABLE IF NOT EXISTS entries (id INTEGER PRIMARY KEY, fields TEXT);
CREATE TABLE IF NOT EXISTS news_tokens (token TEXT PRIMARY KEY);
CREATE TABLE IF NOT EXISTS annotations (user TEXT, book_id TEXT, is_pdf INTEGER, kind TEXT, ud_id TEXT,
  highlight_no TEXT, page_idx TEXT, record TEXT, update_ms INTEGER,
  PRIMARY KEY (user, book_id, is_pdf, ud_id, highlight_no, page_idx));
CREATE TABLE IF NOT EXISTS annotation_tombstones (user TEXT, book_id TEXT, is_pdf INTEGER, ud_id TEXT,
  highlight_no TEXT, page_idx TEXT, update_ms INTEGER,
  PRIMARY KEY (user, book_id, is_pdf, ud_id, highlight_no, page_idx));
CREATE TABLE IF NOT EXISTS hits (id INTEGER PRIMARY KEY, body TEXT, received INTEGER);
)";

QVariant nullable(const QVariant &v)
{
    return v.isValid() ? v : QVariant::fromValue(nullptr);
}

QString text(const QVariantMap &m, const char *key)
{
    const QVariant v = m.value(QString::fromLatin1(key));
    return v.isValid() && v.metaType().id() != QMetaType::Nullptr ? v.toString() : QString();
}

// "yyyyMMdd'T'HHmmss.SSS" read as wall-clock time, as milliseconds since
// 1970 in the same convention (the client subtracts its own offset).
qint64 wallClockMs(const QString &updateDate)
{
    // Read as date and time apart: a date-time read in local time looks up
    // the time zone each time, which an upload of thousands of records feels.
    if (updateDate.size() != 19 || updateDate.at(8) != u'T')
        return 0;
    const QDate date = QDate::fromString(updateDate.left(8), QStringLiteral("yyyyMMdd"));
    const QTime time = QTime::fromString(updateDate.mid(9), QStringLiteral("HHmmss.zzz"));
    if (!date.isValid() || !time.isValid())
        return 0;
    return QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch();
}

QString nowText()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm"));
}

} // namespace

bool BackendStore::open(const QString &folder, const BackendConfig &config)
{
    QMutexLocker lock(&m_mutex);
    QDir().mkpath(folder);
    if (!m_db.open(folder + QStringLiteral("/backend.sqlite")))
        return false;
    m_db.scalar(QStringLiteral("PRAGMA journal_mode=WAL"));
    if (!m_db.exec(QString::fromLatin1(kSchema)))
        return false;
    for (const SeedAccount &a : config.accounts) {
        SqliteStatement st = m_db.prepare(QStringLiteral("INSERT OR IGNORE INTO accounts (login, password, "
                                                         "last_name, first_name, email) VALUES (?,?,?,?,?)"));
        st.bindAll({ a.login, a.password, a.lastName, a.firstName, a.email });
        st.step();
    }
    return true;
}

QString BackendStore::randomToken() const
{
    QByteArray bytes(24, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    return QString::fromLatin1(bytes.toHex());
}

std::optional<Account> BackendStore::accountWhere(const QString &where, const QVariantList &args)
{
    SqliteStatement st = m_db.prepare(
        QStringLiteral("SELECT id, login, last_name, first_name, email FROM accounts WHERE ") + where);
    st.bindAll(args);
    if (st.step() != SqliteStatement::Step::Row)
        return std::nullopt;
    return Account { st.columnInt64(0), st.columnText(1), st.columnValue(2), st.columnValue(3),
        st.columnValue(4) };
}

std::optional<Account> BackendStore::accountByPassword(const QString &login, const QString &password)
{
    QMutexLocker lock(&m_mutex);
    return accountWhere(QStringLiteral("login = ? AND password = ?"), { login, password });
}

std::optional<Account> BackendStore::accountByAccessToken(const QString &token)
{
    QMutexLocker lock(&m_mutex);
    return accountWhere(
        QStringLiteral("id = (SELECT account_id FROM access_tokens WHERE token = ?)"), { token });
}

bool BackendStore::createAccount(const QString &login, const QString &password, const QVariant &lastName,
    const QVariant &firstName, const QVariant &email)
{
    QMutexLocker lock(&m_mutex);
    SqliteStatement st = m_db.prepare(QStringLiteral(
        "INSERT OR IGNORE INTO accounts (login, password, last_name, first_name, email) VALUES (?,?,?,?,?)"));
    st.bindAll({ login, password, nullable(lastName), nullable(firstName), nullable(email) });
    return st.step() == SqliteStatement::Step::Done && m_db.changes() == 1;
}

QString BackendStore::issueAccessToken(qint64 accountId)
{
    QMutexLocker lock(&m_mutex);
    const QString token = randomToken();
    SqliteStatement st = m_db.prepare(QStringLiteral("INSERT INTO access_tokens VALUES (?,?,?)"));
    st.bindAll({ token, accountId, QDateTime::currentSecsSinceEpoch() });
    st.step();
    return token;
}

QVariantList BackendStore::devices(qint64 accountId)
{
    QVariantList list;
    SqliteStatement st = m_db.prepare(
        QStringLiteral("SELECT id, unit_name, last_date FROM devices WHERE account_id = ? ORDER BY id"));
    st.bind(1, accountId);
    while (st.step() == SqliteStatement::Step::Row)
        list.append(QVariantMap { { QStringLiteral("id"), st.columnInt64(0) },
            { QStringLiteral("unit_name"), st.columnText(1) },
            { QStringLiteral("last_date"), st.columnText(2) } });
    return list;
}

BackendStore::LoginAnswer BackendStore::login(const QString &accessToken, const QString &uid, int deviceLimit)
{
    QMutexLocker lock(&m_mutex);
    const auto account = accountWhere(
        QStringLiteral("id = (SELECT account_id FROM access_tokens WHERE token = ?)"), { accessToken });
    if (!account || uid.isEmpty())
        return { 401,
            { { QStringLiteral("success"), false },
                { QStringLiteral("message"), QStringLiteral("認証に失敗しました。") } } };

    // A device released from the device list has lost this sign-in: the
    // answer names the devices, which tells the client its session was lifted.
    const QVariant released
        = m_db.scalar(QStringLiteral("SELECT released FROM token_devices WHERE token = ? AND uid = ?"),
            { accessToken, uid });
    if (released.toInt() == 1)
        return { 200,
            { { QStringLiteral("success"), false }, { QStringLiteral("unitList"), devices(account->id) },
                { QStringLiteral("message"),
                    QStringLiteral("この端末の利用は解除されました。再度ログインしてください。") } } };

    const QVariant existing = m_db.scalar(
        QStringLiteral("SELECT id FROM devices WHERE account_id = ? AND uid = ?"), { account->id, uid });
    if (existing.toLongLong() == 0) {
        const qint64 count = m_db.scalar(QStringLiteral("SELECT count(*) FROM devices WHERE account_id = ?"),
                                     { account->id })
                                 .toLongLong();
        if (count >= deviceLimit)
            return {
                200,
                { { QStringLiteral("success"), false }, { QStringLiteral("unitList"), devices(account->id) },
                    { QStringLiteral("message"), QStringLiteral("デバイスの登録数が上限に達しています。") } }
            };
        SqliteStatement add = m_db.prepare(
            QStringLiteral("INSERT INTO devices (account_id, uid, unit_name, last_date) VALUES (?,?,?,?)"));
        add.bindAll({ account->id, uid, QStringLiteral("Tavro for Linux (%1)").arg(uid.left(8)), nowText() });
        add.step();
    } else {
        SqliteStatement touch = m_db.prepare(QStringLiteral("UPDATE devices SET last_date = ? WHERE id = ?"));
        touch.bindAll({ nowText(), existing });
        touch.step();
    }
    SqliteStatement bind
        = m_db.prepare(QStringLiteral("INSERT OR IGNORE INTO token_devices (token, uid) VALUES (?,?)"));
    bind.bindAll({ accessToken, uid });
    bind.step();
    return { 200,
        { { QStringLiteral("success"), true }, { QStringLiteral("userId"), account->id },
            { QStringLiteral("message"), QString() } } };
}

QVariantMap BackendStore::releaseDevice(const QString &accessToken, const QString &uid, const QString &id)
{
    QMutexLocker lock(&m_mutex);
    const auto account = accountWhere(
        QStringLiteral("id = (SELECT account_id FROM access_tokens WHERE token = ?)"), { accessToken });
    if (!account || uid.isEmpty())
        return { { QStringLiteral("result"), false },
            { QStringLiteral("message"), QStringLiteral("認証に失敗しました。") } };
    const QVariant deviceUid
        = m_db.scalar(QStringLiteral("SELECT uid FROM devices WHERE id = ? AND account_id = ?"),
            { id.toLongLong(), account->id });
    if (!deviceUid.isValid() || deviceUid.toString().isEmpty())
        return { { QStringLiteral("result"), false },
            { QStringLiteral("message"), QStringLiteral("指定された端末は登録されていません。") } };
    SqliteStatement remove = m_db.prepare(QStringLiteral("DELETE FROM devices WHERE id = ?"));
    remove.bind(1, id.toLongLong());
    remove.step();
    // Every sign-in that device held is lifted.
    SqliteStatement lift
        = m_db.prepare(QStringLiteral("UPDATE token_devices SET released = 1 WHERE uid = ?"));
    lift.bind(1, deviceUid);
    lift.step();
    SqliteStatement revoke
        = m_db.prepare(QStringLiteral("UPDATE store_tokens SET revoked = 1 WHERE uid = ?"));
    revoke.bind(1, deviceUid);
    revoke.step();
    return { { QStringLiteral("result"), true }, { QStringLiteral("message"), QString() } };
}

QString BackendStore::issueStoreToken(const QString &accessToken, const QString &uid)
{
    QMutexLocker lock(&m_mutex);
    const auto account = accountWhere(
        QStringLiteral("id = (SELECT account_id FROM access_tokens WHERE token = ?)"), { accessToken });
    if (!account)
        return {};
    if (m_db.scalar(QStringLiteral("SELECT released FROM token_devices WHERE token = ? AND uid = ?"),
                { accessToken, uid })
            .toInt()
        == 1)
        return {};
    const QString token = randomToken();
    SqliteStatement st
        = m_db.prepare(QStringLiteral("INSERT INTO store_tokens (token, account_id, uid) VALUES (?,?,?)"));
    st.bindAll({ token, account->id, uid });
    st.step();
    return token;
}

std::optional<QPair<Account, QString>> BackendStore::storeSession(const QString &storeToken)
{
    QMutexLocker lock(&m_mutex);
    SqliteStatement st = m_db.prepare(
        QStringLiteral("SELECT account_id, uid FROM store_tokens WHERE token = ? AND revoked = 0"));
    st.bind(1, storeToken);
    if (storeToken.isEmpty() || st.step() != SqliteStatement::Step::Row)
        return std::nullopt;
    const qint64 accountId = st.columnInt64(0);
    const QString uid = st.columnText(1);
    const auto account = accountWhere(QStringLiteral("id = ?"), { accountId });
    if (!account)
        return std::nullopt;
    return qMakePair(*account, uid);
}

void BackendStore::revokeStoreToken(const QString &storeToken)
{
    QMutexLocker lock(&m_mutex);
    SqliteStatement st = m_db.prepare(QStringLiteral("UPDATE store_tokens SET revoked = 1 WHERE token = ?"));
    st.bind(1, storeToken);
    st.step();
}

QStringList BackendStore::liveStoreTokens(qint64 accountId)
{
    QMutexLocker lock(&m_mutex);
    SqliteStatement st
        = m_db.prepare(QStringLiteral("SELECT token FROM store_tokens WHERE account_id = ? AND revoked = 0"));
    st.bind(1, accountId);
    QStringList tokens;
    while (st.step() == SqliteStatement::Step::Row)
        tokens << st.columnText(0);
    return tokens;
}

void BackendStore::purchase(qint64 accountId, const QString &bookId)
{
    QMutexLocker lock(&m_mutex);
    SqliteStatement st = m_db.prepare(QStringLiteral("INSERT OR IGNORE INTO purchases VALUES (?,?)"));
    st.bindAll({ accountId, bookId });
    st.step();
}

QStringList BackendStore::purchases(qint64 accountId)
{
    QMutexLocker lock(&m_mutex);
    QStringList ids;
    SqliteStatement st = m_db.prepare(QStringLiteral("SELECT book_id FROM purchases WHERE account_id = ?"));
    st.bind(1, accountId);
    while (st.step() == SqliteStatement::Step::Row)
        ids << st.columnText(0);
    return ids;
}

void BackendStore::recordUnitInfo(
    const QString &storeToken, const QString &userId, const QString &version, const QString &unitInfo)
{
    QMutexLocker lock(&m_mutex);
    SqliteStatement st = m_db.prepare(QStringLiteral(
        "INSERT INTO unit_infos (store_token, user_id, version, unit_info, received) VALUES (?,?,?,?,?)"));
    st.bindAll({ storeToken, userId, version, unitInfo, QDateTime::currentSecsSinceEpoch() });
    st.step();
}

QVariantList BackendStore::unitInfos()
{
    QMutexLocker lock(&m_mutex);
    QVariantList list;
    SqliteStatement st
        = m_db.prepare(QStringLiteral("SELECT user_id, version, unit_info FROM unit_infos ORDER BY id"));
    while (st.step() == SqliteStatement::Step::Row)
        list.append(QVariantMap { { QStringLiteral("userId"), st.columnText(0) },
            { QStringLiteral("tavroVersion"), st.columnText(1) },
            { QStringLiteral("unitInfo"), st.columnText(2) } });
    return list;
}

void BackendStore::recordEntry(const QVariantMap &fields)
{
    QMutexLocker lock(&m_mutex);
    SqliteStatement st = m_db.prepare(QStringLiteral("INSERT INTO entries (fields) VALUES (?)"));
    st.bind(1, QString::fromUtf8(QJsonDocument::fromVariant(fields).toJson(QJsonDocument::Compact)));
    st.step();
}

QVariantList BackendStore::entries()
{
    QMutexLocker lock(&m_mutex);
    QVariantList list;
    SqliteStatement st = m_db.prepare(QStringLiteral("SELECT fields FROM entries ORDER BY id"));
    while (st.step() == SqliteStatement::Step::Row)
        list.append(QJsonDocument::fromJson(st.columnText(0).toUtf8()).toVariant());
    return list;
}

QString BackendStore::issueNewsToken()
{
    QMutexLocker lock(&m_mutex);
    const QString token = randomToken();
    SqliteStatement st = m_db.prepare(QStringLiteral("INSERT INTO news_tokens VALUES (?)"));
    st.bind(1, token);
    st.step();
    return token;
}

bool BackendStore::isNewsToken(const QString &token)
{
    QMutexLocker lock(&m_mutex);
    return !token.isEmpty()
        && m_db.scalar(QStringLiteral("SELECT count(*) FROM news_tokens WHERE token = ?"), { token }).toInt()
        > 0;
}

bool BackendStore::applyAnnotationUpload(bool isPdf, const QVariantList &inserts,
    const QList<AnnotationDeletion> &deletions, const std::function<QString(const QVariantMap &)> &kindOf)
{
    // Everything but the SQL is made before the lock is taken: a sign-in
    // waits for the store only as long as the rows are written.
    auto keyOf = [isPdf](const QVariantMap &m) {
        return QVariantList { text(m, "user"), text(m, "bookId"), isPdf ? 1 : 0, text(m, "udId"),
            text(m, "highlightNo"), text(m, "pageIdx") };
    };
    struct Insert {
        QVariantList key;
        QString kind;
        QString record;
        qint64 updateMs;
    };
    std::vector<Insert> rows;
    rows.reserve(size_t(inserts.size()));
    for (const QVariant &v : inserts) {
        const QVariantMap record = v.toMap();
        rows.push_back({ keyOf(record), kindOf(record),
            QString::fromUtf8(QJsonDocument::fromVariant(record).toJson(QJsonDocument::Compact)),
            wallClockMs(text(record, "updateDate")) });
    }
    std::vector<std::pair<QVariantList, qint64>> removals;
    removals.reserve(size_t(deletions.size()));
    for (const AnnotationDeletion &d : deletions)
        removals.emplace_back(keyOf(d.identity), wallClockMs(d.updateDate));

    QMutexLocker lock(&m_mutex);
    // One transaction: one commit for the whole upload, rather than one per
    // record, and all or nothing of it.
    if (!m_db.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    const QString where = QStringLiteral(
        "user = ? AND book_id = ? AND is_pdf = ? AND ud_id = ? AND highlight_no = ? AND page_idx = ?");
    SqliteStatement deletedAt
        = m_db.prepare(QStringLiteral("SELECT update_ms FROM annotation_tombstones WHERE ") + where);
    // A record older than the stored one (another device uploaded later)
    // does not replace it.
    SqliteStatement upsert = m_db.prepare(QStringLiteral(
        "INSERT INTO annotations (user, book_id, is_pdf, ud_id, highlight_no, page_idx, kind, record, "
        "update_ms) VALUES (?,?,?,?,?,?,?,?,?) ON CONFLICT (user, book_id, is_pdf, ud_id, highlight_no, "
        "page_idx) DO UPDATE SET kind = excluded.kind, record = excluded.record, update_ms = "
        "excluded.update_ms "
        "WHERE excluded.update_ms >= annotations.update_ms"));
    SqliteStatement tomb
        = m_db.prepare(QStringLiteral("INSERT OR REPLACE INTO annotation_tombstones VALUES (?,?,?,?,?,?,?)"));
    SqliteStatement remove = m_db.prepare(QStringLiteral("DELETE FROM annotations WHERE ") + where);
    bool ok = deletedAt.isValid() && upsert.isValid() && tomb.isValid() && remove.isValid();
    for (const Insert &row : rows) {
        if (!ok)
            break;
        // A record deleted later than this version was last changed stays
        // deleted: another device may upload the copy it downloaded earlier.
        deletedAt.reset();
        deletedAt.bindAll(row.key);
        const SqliteStatement::Step found = deletedAt.step();
        if (found == SqliteStatement::Step::Row && deletedAt.columnInt64(0) >= row.updateMs)
            continue;
        upsert.reset();
        ok = upsert.bindAll(row.key + QVariantList { row.kind, row.record, row.updateMs })
            && upsert.step() == SqliteStatement::Step::Done;
    }
    for (const auto &[key, updateMs] : removals) {
        if (!ok)
            break;
        tomb.reset();
        remove.reset();
        ok = tomb.bindAll(key + QVariantList { updateMs }) && tomb.step() == SqliteStatement::Step::Done
            && remove.bindAll(key) && remove.step() == SqliteStatement::Step::Done;
    }
    deletedAt = {};
    upsert = {};
    tomb = {};
    remove = {};
    if (ok && m_db.exec(QStringLiteral("COMMIT")))
        return true;
    m_db.exec(QStringLiteral("ROLLBACK"));
    return false;
}

QVariantMap BackendStore::annotations(bool isPdf, const QString &bookId, const QString &user)
{
    struct Row {
        QString kind;
        QByteArray record;
        qint64 updateMs;
    };
    std::vector<Row> rows;
    {
        QMutexLocker lock(&m_mutex);
        SqliteStatement st = m_db.prepare(
            QStringLiteral("SELECT kind, record, update_ms FROM annotations WHERE book_id = ? AND "
                           "user = ? AND is_pdf = ? ORDER BY rowid"));
        st.bindAll({ bookId, user, isPdf ? 1 : 0 });
        while (st.step() == SqliteStatement::Step::Row)
            rows.push_back({ st.columnText(0), st.columnBlob(1), st.columnInt64(2) });
    }
    // Each list is built where it is and put in the answer once: appending
    // to a copy taken out of the answer would copy the list every time.
    QVariantList shiori;
    QVariantList highlight;
    QVariantList memo;
    for (const Row &row : rows) {
        QVariantMap entry = QJsonDocument::fromJson(row.record).toVariant().toMap();
        // The download form: numbers where the client reads numbers.
        entry.insert(QStringLiteral("updateDate"), row.updateMs);
        for (const char *key : { "highlightNo", "pageIdx", "startNodeNo", "startNodeOffset", "endNodeNo",
                 "endNodeOffset", "twitterFlg", "facebookFlg" }) {
            const QString k = QString::fromLatin1(key);
            if (entry.contains(k))
                entry.insert(k, entry.value(k).toString().toLongLong());
        }
        for (const char *key : { "naviId", "manifestId" }) {
            const QString k = QString::fromLatin1(key);
            if (entry.value(k).toString() == u"(null)")
                entry.insert(k, QVariant::fromValue(nullptr));
        }
        QVariantList &group = row.kind.endsWith(QStringLiteral("Shiori")) ? shiori
            : row.kind.endsWith(QStringLiteral("Memo"))                   ? memo
                                                                          : highlight;
        group.append(entry);
    }
    return { { QStringLiteral("shiori"), shiori }, { QStringLiteral("highlight"), highlight },
        { QStringLiteral("memo"), memo } };
}

void BackendStore::recordHit(const QByteArray &body)
{
    QMutexLocker lock(&m_mutex);
    SqliteStatement st = m_db.prepare(QStringLiteral("INSERT INTO hits (body, received) VALUES (?,?)"));
    st.bindAll({ QString::fromUtf8(body), QDateTime::currentMSecsSinceEpoch() });
    st.step();
}

QVariantList BackendStore::hits()
{
    QMutexLocker lock(&m_mutex);
    QVariantList list;
    SqliteStatement st = m_db.prepare(QStringLiteral("SELECT body FROM hits ORDER BY id"));
    while (st.step() == SqliteStatement::Step::Row)
        list.append(st.columnText(0));
    return list;
}

void BackendStore::clearHits()
{
    QMutexLocker lock(&m_mutex);
    m_db.exec(QStringLiteral("DELETE FROM hits"));
}
