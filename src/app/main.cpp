#include "MainWindow.h"
#include "content/BookWebProfile.h"
#include "content/EpubScheme.h"
#include "app/ConfigDictionary.h"
#include "app/DataFolder.h"
#include "library/DataBaseHelper.h"
#include "library/LibraryStore.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Custom schemes must be known before the application object exists.
    EpubScheme::registerScheme();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavro"));
    QApplication::setApplicationVersion(QStringLiteral(TAVRO_VERSION));
    QApplication::setOrganizationDomain(QStringLiteral("tavro.jp"));

    LibraryStore::openLibraryStore();
    ConfigDictionary::shared();
    DataFolder::createContentsFolder();
    BookWebProfile::shared();

    MainWindow window;
    window.show();
    DataBaseHelper::addLibarywithFirstSetup();

    const int rc = app.exec();
    LibraryStore::cleanUp();
    return rc;
}
