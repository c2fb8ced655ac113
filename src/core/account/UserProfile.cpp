#include "UserProfile.h"

#include "core/platform/UserDefaults.h"
#include "core/util/DictionaryHelpers.h"
#include "core/util/Logging.h"

UserProfile UserProfile::fromAnswer(const QVariant &answer)
{
    const QVariantMap map = answer.toMap();
    const QVariantMap profile
        = dictionaryForKey(map, QStringLiteral("user_profiles")).value_or(QVariantMap());
    UserProfile result;
    result.userName = stringForKey(profile, QStringLiteral("last_name")).value_or(QString())
        + stringForKey(profile, QStringLiteral("first_name")).value_or(QString());
    result.noticeEmail = stringForKey(map, QStringLiteral("notice_email"));
    return result;
}

void UserProfile::store() const
{
    qCInfo(lcApp)
        << QStringLiteral("username=%1,notice_email=%2").arg(userName, noticeEmail.value_or(QString()));
    const QString nameKey = QString::fromLatin1(UserDefaults::vamoUserName);
    const QString emailKey = QString::fromLatin1(UserDefaults::noticeEmail);
    UserDefaults::remove(nameKey);
    UserDefaults::remove(emailKey);
    if (!userName.isEmpty())
        UserDefaults::setValue(nameKey, userName);
    if (noticeEmail && !noticeEmail->isEmpty())
        UserDefaults::setValue(emailKey, *noticeEmail);
    UserDefaults::synchronize();
}
