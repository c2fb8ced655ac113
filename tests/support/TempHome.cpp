#include "TempHome.h"

#include <QDir>
#include <QFile>

TempHome::TempHome()
{
    const QString home = m_dir.path();
    const auto set = [&](const char *name, const QString &sub) {
        const QString dir = sub.isEmpty() ? home : home + u'/' + sub;
        QDir().mkpath(dir);
        qputenv(name, dir.toUtf8());
    };
    set("HOME", {});
    set("XDG_CONFIG_HOME", QStringLiteral(".config"));
    set("XDG_DATA_HOME", QStringLiteral(".local/share"));
    set("XDG_CACHE_HOME", QStringLiteral(".cache"));
    set("XDG_RUNTIME_DIR", QStringLiteral(".runtime"));
    // Keep tests away from the user's own keyring unless a test brings its
    // own Secret Service (with-secret-service.sh).
    if (!qEnvironmentVariableIsSet("TAVRO_EXPECT_SECRET_SERVICE"))
        qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    QFile::setPermissions(home + QStringLiteral("/.runtime"),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}
