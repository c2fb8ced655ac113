// main() of every test binary: a private HOME, then a QCoreApplication named
// like the application, then the tests.
#include "TempHome.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Death tests re-run the binary rather than fork a process with Qt's
    // threads in it.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempHome home;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tavro"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("tavro.jp"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    return RUN_ALL_TESTS();
}
