// One cached news item of the top screen; keyed by (infoId, categoryId).
#pragma once

#include "EntityAttribute.h"

#include <QList>

struct CacheInfo {
    static constexpr const char *entityName = "CacheInfo";

    // Row id in the store; 0 until the record is first saved.
    qint64 pk = 0;

    std::optional<qint64> infoId;
    std::optional<qint64> categoryId;
    std::optional<QString> information;
    std::optional<QString> body;
    std::optional<QDateTime> newsDate;
    std::optional<QDateTime> updateDate;
    std::optional<QString> title; // not written

    static const QList<EntityAttribute<CacheInfo>> &attributes()
    {
        static const QList<EntityAttribute<CacheInfo>> list = {
            TAVRO_ATTRIBUTE(CacheInfo, infoId),
            TAVRO_ATTRIBUTE(CacheInfo, categoryId),
            TAVRO_ATTRIBUTE(CacheInfo, information),
            TAVRO_ATTRIBUTE(CacheInfo, body),
            TAVRO_ATTRIBUTE(CacheInfo, newsDate),
            TAVRO_ATTRIBUTE(CacheInfo, updateDate),
            TAVRO_ATTRIBUTE(CacheInfo, title),
        };
        return list;
    }
};
