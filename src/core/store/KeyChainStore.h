// Key-value storage of secrets (the profile access token under "token") in
// the Secret Service through QtKeychain: service = the identifier, account =
// the key. Where no Secret Service answers, or it does not take a secret
// (locked, its prompt cancelled), a per-user file readable by its owner only
// takes its place (SecretFileStore), with a warning in the log. A look-up
// reads where the value was last written: the file first (it holds a key
// only while its newest write or removal could not reach the service), then
// the Secret Service.
//
// All instances for one service share one cache of "token", so a token
// removed through one instance (StoreManager::logout) is gone for every
// other (VamoManager) at once.
//
// Main thread only: calls wait for the Secret Service in a local event loop.
// Failures give absent or false; nothing is shown.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

class KeyChainStore
{
public:
    // An empty identifier means the application's identifier.
    explicit KeyChainStore(const QString &identifier = {});

    const QString &identifier() const { return m_identifier; }
    void setIdentifier(const QString &identifier);

    // The cached "token", read on first use; absent when none is stored or
    // when it could not be read (see tokenUnreadable()).
    std::optional<QString> token();
    // Whether the token look-up could not ask the Secret Service (locked,
    // prompt cancelled, gone) and found nothing in the file: the token may
    // exist all the same, so absent does not mean signed out.
    bool tokenUnreadable();
    void loadToken();
    // Stores (or, with absent, deletes) "token" and caches it.
    bool writeToken(const std::optional<QString> &token);

    std::optional<QString> stringForKey(const QString &key);
    bool setString(const std::optional<QString> &value, const QString &key);
    std::optional<QByteArray> dataForKey(const QString &key);
    // Add-or-update; absent data deletes. False for an empty key.
    bool setData(const std::optional<QByteArray> &data, const QString &key);
    // True when deleted or when there was none; false for an empty key.
    bool removeItemForKey(const QString &key);
    // Removes every item this application stored under the service.
    bool removeAllItems();

    // Whether the file fallback is in use in this process.
    static bool usingFallback();
    // The application's identifier ("jp.tavro.Tavro" unless set otherwise).
    static QString applicationIdentifier();

    // Tests: makes every Secret Service call fail with this
    // QKeychain::Error (AccessDeniedByUser for a cancelled prompt,
    // AccessDenied for a locked keyring, NoBackendAvailable), or, with
    // absent, ask the service again.
    static void simulateSecretServiceErrorForTesting(std::optional<int> error);
    // Tests: forgets the cached tokens and the switch to the file, as a new
    // start of the program would.
    static void forgetSessionForTesting();

private:
    QString m_identifier;
    bool m_lastReadFailed = false; // set by dataForKey()
};
