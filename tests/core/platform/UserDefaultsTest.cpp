#include "core/platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace
{

TEST(UserDefaults, StoresReadsAndRemovesUnderHome)
{
    EXPECT_FALSE(UserDefaults::stringForKey(UserDefaults::accountLift).has_value());
    UserDefaults::setValue(UserDefaults::accountLift, QStringLiteral("1"));
    UserDefaults::setValue(UserDefaults::vamoUserName, QStringLiteral("山田太郎"));
    UserDefaults::synchronize();
    EXPECT_EQ(UserDefaults::stringForKey(UserDefaults::accountLift).value(), QStringLiteral("1"));
    EXPECT_EQ(UserDefaults::stringForKey(UserDefaults::vamoUserName).value(), QStringLiteral("山田太郎"));

    const QString file = QDir::homePath() + QStringLiteral("/.config/Tavro/Tavro.ini");
    EXPECT_TRUE(QFile::exists(file)) << "kept in the test's own HOME";

    UserDefaults::remove(UserDefaults::vamoUserName);
    EXPECT_FALSE(UserDefaults::stringForKey(UserDefaults::vamoUserName).has_value());
}

} // namespace
