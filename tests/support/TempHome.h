// Points HOME and the XDG folders at a fresh temporary folder so that a test
// never touches a real user's library or settings.
#pragma once

#include <QString>
#include <QTemporaryDir>

class TempHome
{
public:
    // Sets HOME, XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_CACHE_HOME and
    // XDG_RUNTIME_DIR below a new temporary folder, removed on destruction.
    TempHome();
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};
