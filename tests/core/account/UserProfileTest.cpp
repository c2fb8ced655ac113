// The account profile's answer turned into the user name and notice e-mail
// the top screen shows.
#include "core/account/UserProfile.h"
#include "core/platform/UserDefaults.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

namespace
{

std::optional<QString> stored(const char *key)
{
    return UserDefaults::stringForKey(QString::fromLatin1(key));
}

TEST(UserProfile, AnswersBecomeTheStoredNameAndEmail)
{
    const struct {
        const char *name;
        const char *json; // empty: not a dictionary (an error answer)
        std::optional<QString> userName;
        std::optional<QString> email;
    } cases[] = {
        { "full profile",
            R"({"notice_email":"a@example.jp","user_profiles":{"last_name":"山田","first_name":"花子"}})",
            QStringLiteral("山田花子"), QStringLiteral("a@example.jp") },
        { "family name only", R"({"user_profiles":{"last_name":"山田","first_name":null}})",
            QStringLiteral("山田"), std::nullopt },
        { "null e-mail, given name only", R"({"notice_email":null,"user_profiles":{"first_name":"花子"}})",
            QStringLiteral("花子"), std::nullopt },
        { "empty e-mail and names", R"({"notice_email":"","user_profiles":{"last_name":"","first_name":""}})",
            std::nullopt, std::nullopt },
        { "no profile dictionary", R"({"notice_email":"b@example.jp","user_profiles":"none"})", std::nullopt,
            QStringLiteral("b@example.jp") },
        { "not a dictionary", "", std::nullopt, std::nullopt },
    };
    for (const auto &c : cases) {
        // What an earlier answer left is replaced, never kept beside.
        UserDefaults::setValue(QString::fromLatin1(UserDefaults::vamoUserName), QStringLiteral("前の名前"));
        UserDefaults::setValue(
            QString::fromLatin1(UserDefaults::noticeEmail), QStringLiteral("old@example.jp"));
        const QVariant answer = *c.json ? QJsonDocument::fromJson(c.json).toVariant() : QVariant();
        UserProfile::fromAnswer(answer).store();
        EXPECT_EQ(stored(UserDefaults::vamoUserName), c.userName) << c.name;
        EXPECT_EQ(stored(UserDefaults::noticeEmail), c.email) << c.name;
    }
}

} // namespace
