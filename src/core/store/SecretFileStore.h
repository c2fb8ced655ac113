// The fallback secret store where no Secret Service answers: one JSON file
// per user, readable by its owner only (0600, in a 0700 folder), written
// atomically. Any thread, one call at a time (the callers serialise).
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

class SecretFileStore
{
public:
    // "$XDG_DATA_HOME/Tavro/secrets.json" by default.
    explicit SecretFileStore(QString path = {});

    // What the file says of a key: nothing, a value, or that it was removed
    // while the Secret Service could not be reached (the service may still
    // hold an older value, which must not come back).
    enum class Entry { None, Value, Removed };
    Entry find(const QString &service, const QString &key, QByteArray *data) const;
    // The value, or absent (also for a removed one).
    std::optional<QByteArray> read(const QString &service, const QString &key) const;
    bool write(const QString &service, const QString &key, const QByteArray &data);
    // True when removed or when there was nothing to remove.
    bool remove(const QString &service, const QString &key);
    // Records that the key was removed (Entry::Removed).
    bool markRemoved(const QString &service, const QString &key);
    bool removeAll(const QString &service);

    const QString &path() const { return m_path; }

private:
    QVariantMap load() const;
    bool save(const QVariantMap &all);

    QString m_path;
};
