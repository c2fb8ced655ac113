#include "AccountRepository.h"

#include "LibraryStore.h"
#include "core/platform/ConfigDictionary.h"
#include "core/platform/DataFolder.h"
#include "core/util/DictionaryHelpers.h"
#include "core/util/Logging.h"

std::optional<QString> AccountRepository::deviceIdentifier()
{
    // Read from the saved file: the start-up's dictionary saves "uuid" as soon
    // as it is made (StoreManager), and it never changes after that.
    const QVariant v = ConfigDictionary(DataFolder::configFile()).value(QStringLiteral("uuid"));
    if (!v.isValid() || v.toString().isEmpty())
        return std::nullopt;
    return v.toString();
}

std::optional<UserInfo> AccountRepository::firstUserInfo() const
{
    return m_store.findFirst<UserInfo>();
}

std::optional<QString> AccountRepository::currentUserId() const
{
    const auto user = firstUserInfo();
    return user ? user->userId : std::nullopt;
}

void AccountRepository::saveUserInfo(const QVariantMap &answer)
{
    UserInfo user = firstUserInfo().value_or(UserInfo());
    user.userId = stringForKey(answer, QStringLiteral("userId"));
    if (!m_store.save(user))
        qCWarning(lcLibrary) << "saveUserInfo could not be saved";
}

void AccountRepository::updateSyncTime()
{
    auto user = firstUserInfo();
    if (!user)
        return;
    user->lastSyncTime = QDateTime::currentDateTimeUtc();
    if (!m_store.save(*user))
        qCWarning(lcLibrary) << "updateSyncTime could not be saved";
}

bool AccountRepository::setLastSyncTime(const QDateTime &at)
{
    auto user = firstUserInfo();
    if (!user)
        return true;
    user->lastSyncTime = at;
    return m_store.save(*user);
}
