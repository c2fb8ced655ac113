#include "KeyChainStore.h"

#include "SecretFileStore.h"
#include "core/util/Logging.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHash>
#include <QSettings>
#include <qt6keychain/keychain.h>

namespace
{

const QString kToken = QStringLiteral("token");

struct SharedState {
    // service -> cached token (absent inside: no token stored)
    QHash<QString, std::optional<QString>> tokens;
    bool fallback = false;
    SecretFileStore files;
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
    state().tokens.insert(m_identifier, stringForKey(kToken));
}

bool KeyChainStore::writeToken(const std::optional<QString> &token)
{
    state().tokens.insert(m_identifier, token);
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
    if (key.isEmpty())
        return std::nullopt;
    if (!state().fallback) {
        QKeychain::ReadPasswordJob job(m_identifier);
        job.setKey(key);
        QString error;
        const QKeychain::Error e = run(&job, &error);
        if (e == QKeychain::NoError)
            return job.binaryData();
        if (e == QKeychain::EntryNotFound)
            return std::nullopt;
        if (!noService(e))
            return std::nullopt;
        switchToFallback(error);
    }
    return state().files.read(m_identifier, key);
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
            rememberKey(m_identifier, key, true);
            return true;
        }
        if (!noService(e))
            return false;
        switchToFallback(error);
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
            rememberKey(m_identifier, key, false);
            return true;
        }
        if (!noService(e))
            return false;
        switchToFallback(error);
    }
    const bool ok = state().files.remove(m_identifier, key);
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
