#include "UserDefaults.h"

#include <QSettings>

static QSettings &settings()
{
    // Created on first use so that a test's HOME/XDG_CONFIG_HOME applies.
    static QSettings instance(
        QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tavro"), QStringLiteral("Tavro"));
    return instance;
}

QVariant UserDefaults::value(const QString &key)
{
    return settings().value(key);
}

std::optional<QString> UserDefaults::stringForKey(const QString &key)
{
    const QVariant v = settings().value(key);
    if (!v.isValid())
        return std::nullopt;
    return v.toString();
}

void UserDefaults::setValue(const QString &key, const QVariant &value)
{
    settings().setValue(key, value);
}

void UserDefaults::remove(const QString &key)
{
    settings().remove(key);
}

void UserDefaults::synchronize()
{
    settings().sync();
}
