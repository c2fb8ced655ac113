// The configuration dictionary: the dictionary held in "config.plist" in the
// data folder ("uuid", "r_split"), loaded once and written back whole.
//
// The start-up makes the one object of the data folder's file and hands it
// down by reference: two objects of the same file would write over each
// other's keys. Main thread only, like everything that reads or writes it.
#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

class ConfigDictionary
{
public:
    // Loads `file` (DataFolder::configFile() for the application's own); a
    // missing or unreadable file gives an empty dictionary.
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
