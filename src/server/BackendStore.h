// The backend's data in SQLite: accounts, access and store tokens, devices,
// purchases, annotations, analytics hits and entries. Every call takes the
// one lock, so handlers may call it from any worker thread.
#pragma once

#include "core/library/SqliteDatabase.h"

#include <QMutex>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <optional>

struct BackendConfig;

struct Account {
    qint64 id = 0;
    QString login;
    QVariant lastName;
    QVariant firstName;
    QVariant email;
};

class BackendStore
{
public:
    // Opens (creating) the database in `folder` and adds the seeded accounts
    // that are missing. False on failure.
    bool open(const QString &folder, const BackendConfig &config);

    // ---- profile ----
    std::optional<Account> accountByPassword(const QString &login, const QString &password);
    std::optional<Account> accountByAccessToken(const QString &token);
    bool createAccount(const QString &login, const QString &password, const QVariant &lastName,
        const QVariant &firstName, const QVariant &email);
    QString issueAccessToken(qint64 accountId);

    // ---- devices and store tokens ----
    struct LoginAnswer {
        int status = 200;
        QVariantMap body;
    };
    // "/api/login": the device check of a sign-in with an access token.
    LoginAnswer login(const QString &accessToken, const QString &uid, int deviceLimit);
    // "/api/user/device" DELETE: releases device `id` of the token's account.
    QVariantMap releaseDevice(const QString &accessToken, const QString &uid, const QString &id);
    // "/api/token": a store token for a valid access token on a device that
    // was not released; empty otherwise.
    QString issueStoreToken(const QString &accessToken, const QString &uid);
    // The account of a store token (and the device it was issued to).
    std::optional<QPair<Account, QString>> storeSession(const QString &storeToken);
    void revokeStoreToken(const QString &storeToken);
    // The store tokens of the account that are still valid.
    QStringList liveStoreTokens(qint64 accountId);
    QVariantList devices(qint64 accountId);

    // ---- store ----
    void purchase(qint64 accountId, const QString &bookId);
    QStringList purchases(qint64 accountId);
    void recordUnitInfo(
        const QString &storeToken, const QString &userId, const QString &version, const QString &unitInfo);
    QVariantList unitInfos();
    void recordEntry(const QVariantMap &fields);
    QVariantList entries();

    // ---- news ----
    QString issueNewsToken();
    bool isNewsToken(const QString &token);

    // ---- annotations ----
    struct AnnotationDeletion {
        QVariantMap identity; // the identity form of the record
        QString updateDate; // the delete entry's "updateDate"
    };
    // One upload, in one transaction: each record of `inserts` (insert form)
    // is stored unless a newer copy or a later deletion is; each of
    // `deletions` removes its record and remembers when, so that an older
    // copy uploaded later does not bring it back. `kindOf` names a record's
    // kind. False when the database failed (nothing of the upload is kept).
    bool applyAnnotationUpload(bool isPdf, const QVariantList &inserts,
        const QList<AnnotationDeletion> &deletions,
        const std::function<QString(const QVariantMap &)> &kindOf);
    // The book's annotations of `user` in download form: "shiori",
    // "highlight", "memo". The lock is held only while the rows are read.
    QVariantMap annotations(bool isPdf, const QString &bookId, const QString &user);

    // ---- analytics ----
    void recordHit(const QByteArray &body);
    QVariantList hits();
    void clearHits();

private:
    QString randomToken() const;
    std::optional<Account> accountWhere(const QString &where, const QVariantList &args);

    QMutex m_mutex;
    SqliteDatabase m_db;
};
