// Qt's own texts (file and print dialogs, OK / Cancel / Close buttons, input
// dialogs) in the interface's language. The interface is Japanese whatever
// the system locale says, so the Japanese catalogues are loaded even under
// the C locale. Main thread only, after the application object exists.
#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

class QtTranslations
{
public:
    // Loads Qt's Japanese catalogues from `folder` (empty: Qt's own
    // translations folder, QLibraryInfo::TranslationsPath) and installs them
    // into `app`, which owns them. Returns the catalogues loaded ("qtbase",
    // ...); empty when none was found, and the interface then falls back to
    // Qt's English texts (logged once).
    static QStringList install(QCoreApplication &app, const QString &folder = QString());

    // The folder searched when none is given.
    static QString defaultFolder();
};
