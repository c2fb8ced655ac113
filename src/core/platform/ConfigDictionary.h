// The configuration dictionary: the dictionary held in "config.plist" in the
// data folder ("uuid", "r_split"), loaded once and written back whole.
//
// Main thread only, like everything that reads or writes it.
#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

class ConfigDictionary
{
public:
    // The process-wide dictionary, loaded from DataFolder::configFile() on
    // first use (empty when the file is missing or unreadable).
    static ConfigDictionary &shared();

    explicit ConfigDictionary(QString file);

    // Re-reads the file; an unreadable file gives an empty dictionary.
    void load();
    // Writes the whole dictionary atomically, creating the data folder when
    // needed; false when it could not be written (the old file stays).
    bool save() const;

    QVariant value(const QString &key) const { return m_values.value(key); }
    void setValue(const QString &key, const QVariant &value) { m_values.insert(key, value); }
    void remove(const QString &key) { m_values.remove(key); }
    const QVariantMap &values() const { return m_values; }
    const QString &file() const { return m_file; }

private:
    QString m_file;
    QVariantMap m_values;
};
