// Opens book files from outside the program (the command line, the file
// manager, a later start handing its files over): each is put into the
// library as the shelf's import does, and the last one that could be put
// there opens in the reader. The window comes to the front.
//
// Main thread. Holds the navigation by reference: it must outlive this.
#pragma once

#include "core/store/PackageInstaller.h"

#include <QObject>
#include <QStringList>

class Navigation;

class BookFileOpener : public QObject, public InstallerUi
{
    Q_OBJECT
public:
    explicit BookFileOpener(Navigation &app, QObject *parent = nullptr);

    // The file names (in the contents folder) the last call opened or
    // found in the library; empty when none could be opened (each failure
    // was shown in a message box).
    QStringList open(const QStringList &files);

signals:
    // The reader was asked to show `fileName`.
    void opened(const QString &fileName);

private:
    // InstallerUi
    bool askOverwrite() override;
    void error(const QString &message) override;
    void showShelf() override { }

    Navigation &m_app;
    bool m_reported = false; // the installer already showed this file's error
};
