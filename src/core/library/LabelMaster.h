// One user shelf. labelID 1 is the default shelf.
#pragma once

#include "EntityAttribute.h"

#include <QList>

struct LabelMaster {
    static constexpr const char *entityName = "LabelMaster";

    // Row id in the store; 0 until the record is first saved.
    qint64 pk = 0;

    std::optional<qint64> labelID;
    std::optional<QString> labelName;
    std::optional<qint64> order; // position in the shelf list, ascending
    std::optional<QDateTime> creatDateTime;
    std::optional<QDateTime> updateDateTime; // not used
    std::optional<qint64> customerRecordFlg; // not used

    static const QList<EntityAttribute<LabelMaster>> &attributes()
    {
        static const QList<EntityAttribute<LabelMaster>> list = {
            TAVRO_ATTRIBUTE(LabelMaster, labelID),
            TAVRO_ATTRIBUTE(LabelMaster, labelName),
            TAVRO_ATTRIBUTE(LabelMaster, order),
            TAVRO_ATTRIBUTE(LabelMaster, creatDateTime),
            TAVRO_ATTRIBUTE(LabelMaster, updateDateTime),
            TAVRO_ATTRIBUTE(LabelMaster, customerRecordFlg),
        };
        return list;
    }
};
