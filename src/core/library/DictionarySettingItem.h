// One column of a dictionary's data.
#pragma once

#include "EntityAttribute.h"

#include <QList>

struct DictionarySettingItem {
    static constexpr const char *entityName = "DictionarySettingItem";

    // Row id in the store; 0 until the record is first saved.
    qint64 pk = 0;

    std::optional<qint64> columnId; // position of the column
    std::optional<QString> columnName; // the column's heading
    std::optional<qint64> dict; // pk of the owning DictionaryMaster

    static const QList<EntityAttribute<DictionarySettingItem>> &attributes()
    {
        static const QList<EntityAttribute<DictionarySettingItem>> list = {
            TAVRO_ATTRIBUTE(DictionarySettingItem, columnId),
            TAVRO_ATTRIBUTE(DictionarySettingItem, columnName),
            TAVRO_ATTRIBUTE(DictionarySettingItem, dict),
        };
        return list;
    }
};
