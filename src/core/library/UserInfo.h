// The signed-in account; at most one record is used (the first found).
#pragma once

#include "EntityAttribute.h"

#include <QList>

struct UserInfo {
    static constexpr const char *entityName = "UserInfo";

    // Row id in the store; 0 until the record is first saved.
    qint64 pk = 0;

    std::optional<QString> userId; // the account's user identifier (decimal text)
    std::optional<QDateTime> lastSyncTime; // when annotations were last synchronised

    static const QList<EntityAttribute<UserInfo>> &attributes()
    {
        static const QList<EntityAttribute<UserInfo>> list = {
            TAVRO_ATTRIBUTE(UserInfo, userId),
            TAVRO_ATTRIBUTE(UserInfo, lastSyncTime),
        };
        return list;
    }
};
