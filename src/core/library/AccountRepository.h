// The account as the library keeps it: the signed-in user's UserInfo record
// and this device's identifier.
//
// Refers to a store it does not own (the store must outlive it). Threads:
// the store's. Failure: finds on a store that is not open give absent;
// failed writes are logged.
#pragma once

#include "UserInfo.h"

#include <QDateTime>
#include <QString>
#include <QVariantMap>
#include <optional>

class LibraryStore;

class AccountRepository
{
public:
    explicit AccountRepository(LibraryStore &store)
        : m_store(store)
    {
    }

    // "uuid" of the saved configuration file (DataFolder::configFile()), or
    // absent. It identifies this
    // device to the sync server, and is not kept in the store.
    static std::optional<QString> deviceIdentifier();
    // userId of the first UserInfo record, or absent.
    std::optional<QString> currentUserId() const;
    std::optional<UserInfo> firstUserInfo() const;
    // Keeps the decimal text of answer["userId"] in the first UserInfo
    // (created when there is none).
    void saveUserInfo(const QVariantMap &answer);
    // lastSyncTime = now on the first UserInfo; nothing without one.
    void updateSyncTime();
    // lastSyncTime = `at` on the first UserInfo. True when written or when
    // there is no UserInfo (nothing to write); false when the write failed.
    [[nodiscard]] bool setLastSyncTime(const QDateTime &at);

private:
    LibraryStore &m_store;
};
