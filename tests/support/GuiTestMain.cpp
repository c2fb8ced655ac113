// main() of widget and web view tests: a private HOME, the epub scheme
// registered, then a QApplication.
#include "TempHome.h"
#include "ui/reader/EpubScheme.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TempHome home;
    EpubScheme::registerScheme();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavro"));
    QApplication::setOrganizationDomain(QStringLiteral("tavro.jp"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    const int result = RUN_ALL_TESTS();
    // Web pages released with deleteLater() go before the book profile,
    // which QApplication takes with it.
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
    return result;
}
