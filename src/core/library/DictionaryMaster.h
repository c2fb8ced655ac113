// One installed dictionary; its columns are the DictionarySettingItem records whose dict is this record's pk.
#pragma once

#include "EntityAttribute.h"

#include <QList>

struct DictionaryMaster {
    static constexpr const char *entityName = "DictionaryMaster";

    // Row id in the store; 0 until the record is first saved.
    qint64 pk = 0;

    std::optional<qint64> dicId; // largest so far + 1, from 1
    std::optional<QString> bookid; // the store's book id of the dictionary product
    std::optional<QString> dicName;
    std::optional<qint64> useFlg; // 1: takes part in look-ups
    std::optional<QDateTime> updateDate; // installation time
    std::optional<QString> productId; // not used
    std::optional<QString> version; // not used

    static const QList<EntityAttribute<DictionaryMaster>> &attributes()
    {
        static const QList<EntityAttribute<DictionaryMaster>> list = {
            TAVRO_ATTRIBUTE(DictionaryMaster, dicId),
            TAVRO_ATTRIBUTE(DictionaryMaster, bookid),
            TAVRO_ATTRIBUTE(DictionaryMaster, dicName),
            TAVRO_ATTRIBUTE(DictionaryMaster, useFlg),
            TAVRO_ATTRIBUTE(DictionaryMaster, updateDate),
            TAVRO_ATTRIBUTE(DictionaryMaster, productId),
            TAVRO_ATTRIBUTE(DictionaryMaster, version),
        };
        return list;
    }
};
