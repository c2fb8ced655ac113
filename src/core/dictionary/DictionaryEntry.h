// The entry text the look-up panel shows for one row: a block per column
// setting, "title:" over the row's value, blocks separated by a blank line.
// Pure; any thread.
#pragma once

#include "core/library/DictionarySettingItem.h"

#include <QList>
#include <QString>
#include <QVariantMap>

class DictionaryEntry
{
public:
    // `settings` in column order. The setting at position 0 shows "word",
    // positions 1 to 3 show "item1" to "item3", and every later position
    // "item4" (the table keeps five columns). A setting with an empty title
    // shows nothing but still takes its position, so the columns after it
    // keep their own value. No settings: "".
    static QString text(const QVariantMap &row, const QList<DictionarySettingItem> &settings);
};
