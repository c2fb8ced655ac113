#include "KeyChainStore.h"

#include "SecretFileStore.h"
#include "core/util/LogRedaction.h"
#include "core/util/Logging.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHash>
#include <QSet>
#include <QSettings>
#include <qt6keychain/keychain.h>

namespace
{

const QString kToken = QStringLiteral("token");

struct SharedState {
    // service -> cached token (absent inside: no token stored)
    QHash<QString, std::optional<QString>> tokens;
    // services whose token look-up could not ask the Secret Service
    QSet<QString> unreadable;
    bool fallback = false;
    SecretFileStore files;
    // Tests: every Secret Service call fails with this error.
    std::optional<QKeychain::Error> simulated;
};

SharedState &state()
{
    static SharedState s;
    return s;
}

// Errors that mean no Secret Service is there to ask.
bool noService(QKeychain::Error error)
{
    return error == QKeychain::NoBackendAvailable || error == QKeychain::OtherError
        || error == QKeychain::NotImplemented;
}

void switchToFallback(const QString &reason)
{
    if (state().fallback)
        return;
    state().fallback = true;
    qCWarning(lcStore) << "no Secret Service answers (" << reason << "); secrets are kept in"
                       << state().files.path() << "readable by this user only";
}

QKeychain::Error run(QKeychain::Job *job, QString *errorText)
{
    if (state().simulated) {
        *errorText = QStringLiteral("simulated for a test");
        return *state().simulated;
    }
    job->setAutoDelete(false);
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job->start();
    loop.exec();
    *errorText = job->errorString();
    return job->error();
}

// The keys this application stored per service, so that removeAllItems()
// can find them (the Secret Service is not enumerated).
QSettings &keyIndex()
{
    static QSettings settings(
        QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tavro"), QStringLiteral("KeyChainStore"));
    return settings;
}

void rememberKey(const QString &service, const QString &key, bool present)
{
    const QString name = QStringLiteral("keys/") + QString::fromLatin1(service.toUtf8().toHex());
    QStringList keys = keyIndex().value(name).toStringList();
    if (present && !keys.contains(key))
        keys.append(key);
    if (!present)
        keys.removeAll(key);
    keyIndex().setValue(name, keys);
}

QStringList knownKeys(const QString &service)
{
    return keyIndex()
        .value(QStringLiteral("keys/") + QString::fromLatin1(service.toUtf8().toHex()))
        .toStringList();
}

} // namespace

QString KeyChainStore::applicationIdentifier()
{
    const QString domain = QCoreApplication::organizationDomain();
    const QString app = QCoreApplication::applicationName().isEmpty() ? QStringLiteral("Tavro")
                                                                      : QCoreApplication::applicationName();
    if (domain.isEmpty())
        return app;
    QStringList parts = domain.split(u'.', Qt::SkipEmptyParts);
    std::reverse(parts.begin(), parts.end());
    return parts.join(u'.') + u'.' + app;
}

bool KeyChainStore::usingFallback()
{
    return state().fallback;
}

KeyChainStore::KeyChainStore(const QString &identifier)
    : m_identifier(identifier.isEmpty() ? applicationIdentifier() : identifier)
{
}

void KeyChainStore::setIdentifier(const QString &identifier)
{
    m_identifier = identifier.isEmpty() ? applicationIdentifier() : identifier;
}

std::optional<QString> KeyChainStore::token()
{
    if (!state().tokens.contains(m_identifier))
        loadToken();
    return state().tokens.value(m_identifier);
}

void KeyChainStore::loadToken()
{
    const std::optional<QString> token = stringForKey(kToken);
    if (token)
        LogRedaction::addSecret(*token);
    state().tokens.insert(m_identifier, token);
    if (m_lastReadFailed)
        state().unreadable.insert(m_identifier);
    else
        state().unreadable.remove(m_identifier);
}

bool KeyChainStore::tokenUnreadable()
{
    token();
    return state().unreadable.contains(m_identifier);
}

void KeyChainStore::simulateSecretServiceErrorForTesting(std::optional<int> error)
{
    state().simulated = error ? std::optional(QKeychain::Error(*error)) : std::nullopt;
}

void KeyChainStore::forgetSessionForTesting()
{
    state().tokens.clear();
    state().unreadable.clear();
    state().fallback = false;
}

bool KeyChainStore::writeToken(const std::optional<QString> &token)
{
    if (token)
        LogRedaction::addSecret(*token);
    state().tokens.insert(m_identifier, token);
    state().unreadable.remove(m_identifier);
    return setString(token, kToken);
}

std::optional<QString> KeyChainStore::stringForKey(const QString &key)
{
    const auto data = dataForKey(key);
    if (!data)
        return std::nullopt;
    return QString::fromUtf8(*data);
}

bool KeyChainStore::setString(const std::optional<QString> &value, const QString &key)
{
    return setData(value ? std::optional<QByteArray>(value->toUtf8()) : std::nullopt, key);
}

std::optional<QByteArray> KeyChainStore::dataForKey(const QString &key)
{
    m_lastReadFailed = false;
    if (key.isEmpty())
        return std::nullopt;
    // The file holds a key only when its last write or removal could not
    // reach the Secret Service (a write there removes the file's copy), so
    // what it says is the newest.
    QByteArray data;
    switch (state().files.find(m_identifier, key, &data)) {
    case SecretFileStore::Entry::Value:
        return data;
    case SecretFileStore::Entry::Removed:
        return std::nullopt;
    case SecretFileStore::Entry::None:
        break;
    }
    // This application stored the key and has not removed it: it is in the
    // Secret Service, which may be out of reach.
    const bool stored = knownKeys(m_identifier).contains(key);
    if (state().fallback) {
        m_lastReadFailed = stored;
        return std::nullopt;
    }
    QKeychain::ReadPasswordJob job(m_identifier);
    job.setKey(key);
    QString error;
    const QKeychain::Error e = run(&job, &error);
    if (e == QKeychain::NoError)
        return job.binaryData();
    if (e == QKeychain::EntryNotFound)
        return std::nullopt;
    // Locked, its prompt cancelled, or no service at all: the key may be
    // stored there all the same.
    m_lastReadFailed = stored;
    if (noService(e))
        switchToFallback(error);
    else
        qCWarning(lcStore) << "the Secret Service did not give" << key << "(" << error << ")";
    return std::nullopt;
}

bool KeyChainStore::setData(const std::optional<QByteArray> &data, const QString &key)
{
    if (key.isEmpty())
        return false;
    if (!data)
        return removeItemForKey(key);
    if (!state().fallback) {
        QKeychain::WritePasswordJob job(m_identifier);
        job.setKey(key);
        job.setBinaryData(*data);
        QString error;
        const QKeychain::Error e = run(&job, &error);
        if (e == QKeychain::NoError) {
            // The file's older copy must not shadow the new value.
            state().files.remove(m_identifier, key);
            rememberKey(m_identifier, key, true);
            return true;
        }
        // Whatever the reason (no service, locked, prompt cancelled), the
        // secret is kept in the owner-only file, where the next look-up
        // finds it.
        if (noService(e))
            switchToFallback(error);
        else
            qCWarning(lcStore) << "the Secret Service did not take" << key << "(" << error
                               << "); it is kept in" << state().files.path() << "readable by this user only";
    }
    const bool ok = state().files.write(m_identifier, key, *data);
    if (ok)
        rememberKey(m_identifier, key, true);
    return ok;
}

bool KeyChainStore::removeItemForKey(const QString &key)
{
    if (key.isEmpty())
        return false;
    if (!state().fallback) {
        QKeychain::DeletePasswordJob job(m_identifier);
        job.setKey(key);
        QString error;
        const QKeychain::Error e = run(&job, &error);
        if (e == QKeychain::NoError || e == QKeychain::EntryNotFound) {
            const bool ok = state().files.remove(m_identifier, key);
            if (ok)
                rememberKey(m_identifier, key, false);
            return ok;
        }
        if (noService(e))
            switchToFallback(error);
    }
    // The Secret Service may still hold the key: the file says it is gone.
    const bool ok = state().files.markRemoved(m_identifier, key);
    if (ok)
        rememberKey(m_identifier, key, false);
    return ok;
}

bool KeyChainStore::removeAllItems()
{
    bool ok = true;
    for (const QString &key : knownKeys(m_identifier))
        ok = removeItemForKey(key) && ok;
    if (state().fallback)
        ok = state().files.removeAll(m_identifier) && ok;
    state().tokens.remove(m_identifier);
    return ok;
}
