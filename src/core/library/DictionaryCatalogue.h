// The dictionary catalogue: one DictionaryMaster row per imported dictionary
// (its dicId names its rows in the dictionary database) and the column
// settings of its entries (DictionarySettingItem).
//
// Refers to a store it does not own (the store must outlive it); the
// dictionary import makes one over its own connection to the library file
// on its worker thread. Threads: the store's. Failure: finds on a store that
// is not open give nothing; failed writes are logged and reported as the
// return values say.
#pragma once

#include "DictionaryMaster.h"

#include <QList>
#include <QString>
#include <optional>

class LibraryStore;

class DictionaryCatalogue
{
public:
    explicit DictionaryCatalogue(LibraryStore &store)
        : m_store(store)
    {
    }

    // A new dictionary with the next dicId, at least `minimumId`; absent
    // when it could not be written.
    [[nodiscard]] std::optional<DictionaryMaster> insertDictMaster(
        const QString &bookid, const QString &dicTitle, qint64 useFlg, qint64 minimumId = 1);
    // Removes the dictionary (and its column settings); its dicId, or absent
    // when there was none or it could not be removed (logged, kept whole).
    std::optional<qint64> deleteDictMaster(const QString &bookid);
    // False when the setting could not be stored.
    [[nodiscard]] bool addDictionaryItemSetting(
        const DictionaryMaster &dict, const QString &columnName, qint64 columnId);

    // Every dictionary in dicId order.
    QList<DictionaryMaster> dictionaries() const;
    // The dictionaries in use (useFlg = 1), in the store's order.
    QList<DictionaryMaster> usedDictionaries() const;
    // Sets useFlg of the dictionary; false when there is none or it could
    // not be written.
    bool setDictionaryUsed(qint64 dicId, bool used);

private:
    LibraryStore &m_store;
};
