#include "SecretFileStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>

SecretFileStore::SecretFileStore(QString path)
    : m_path(path.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                + QStringLiteral("/Tavro/secrets.json")
                            : std::move(path))
{
}

QVariantMap SecretFileStore::load() const
{
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).toVariant().toMap();
}

bool SecretFileStore::save(const QVariantMap &all)
{
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder))
        return false;
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QSaveFile f(m_path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    // Owner-only before any secret is written.
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    f.write(QJsonDocument::fromVariant(all).toJson(QJsonDocument::Compact));
    return f.commit();
}

SecretFileStore::Entry SecretFileStore::find(
    const QString &service, const QString &key, QByteArray *data) const
{
    const QVariantMap items = load().value(service).toMap();
    if (!items.contains(key))
        return Entry::None;
    const QVariant value = items.value(key);
    // A removal is kept as null.
    if (value.isNull())
        return Entry::Removed;
    if (data)
        *data = QByteArray::fromBase64(value.toString().toLatin1());
    return Entry::Value;
}

std::optional<QByteArray> SecretFileStore::read(const QString &service, const QString &key) const
{
    QByteArray data;
    if (find(service, key, &data) != Entry::Value)
        return std::nullopt;
    return data;
}

bool SecretFileStore::markRemoved(const QString &service, const QString &key)
{
    QVariantMap all = load();
    QVariantMap items = all.value(service).toMap();
    items.insert(key, QVariant::fromValue(nullptr));
    all.insert(service, items);
    return save(all);
}

bool SecretFileStore::write(const QString &service, const QString &key, const QByteArray &data)
{
    QVariantMap all = load();
    QVariantMap items = all.value(service).toMap();
    items.insert(key, QString::fromLatin1(data.toBase64()));
    all.insert(service, items);
    return save(all);
}

bool SecretFileStore::remove(const QString &service, const QString &key)
{
    QVariantMap all = load();
    QVariantMap items = all.value(service).toMap();
    if (!items.contains(key))
        return true;
    items.remove(key);
    all.insert(service, items);
    return save(all);
}

bool SecretFileStore::removeAll(const QString &service)
{
    QVariantMap all = load();
    if (!all.contains(service))
        return true;
    all.remove(service);
    return save(all);
}
