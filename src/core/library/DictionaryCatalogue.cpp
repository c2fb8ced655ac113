#include "DictionaryCatalogue.h"

#include "LibraryStore.h"
#include "core/util/Logging.h"

#include <algorithm>

std::optional<DictionaryMaster> DictionaryCatalogue::insertDictMaster(
    const QString &bookid, const QString &dicTitle, qint64 useFlg, qint64 minimumId)
{
    const auto top = m_store.findFirst<DictionaryMaster>({}, {}, QStringLiteral("\"dicId\" DESC"));
    DictionaryMaster dict;
    dict.dicId = std::max((top && top->dicId ? *top->dicId : 0) + 1, minimumId);
    dict.bookid = bookid;
    dict.dicName = dicTitle;
    dict.useFlg = useFlg;
    dict.updateDate = QDateTime::currentDateTimeUtc();
    if (!m_store.insert(dict)) {
        qCWarning(lcLibrary) << "insertDictMaster could not be saved";
        return std::nullopt;
    }
    return dict;
}

std::optional<qint64> DictionaryCatalogue::deleteDictMaster(const QString &bookid)
{
    const auto dict = m_store.findFirst<DictionaryMaster>(QStringLiteral("\"bookid\"=?"), { bookid });
    if (!dict)
        return std::nullopt;
    // Column settings belong to their dictionary and go with it.
    const bool removed = m_store.transaction([&] {
        return m_store.removeAll<DictionarySettingItem>(QStringLiteral("\"dict\"=?"), { dict->pk }) >= 0
            && m_store.remove(*dict);
    });
    if (!removed) {
        qCWarning(lcLibrary) << "cannot remove dictionary" << bookid;
        return std::nullopt;
    }
    return dict->dicId;
}

bool DictionaryCatalogue::addDictionaryItemSetting(
    const DictionaryMaster &dict, const QString &columnName, qint64 columnId)
{
    DictionarySettingItem item;
    item.columnId = columnId;
    item.columnName = columnName;
    item.dict = dict.pk;
    if (m_store.insert(item))
        return true;
    qCWarning(lcLibrary) << "addDictionaryItemSetting could not be saved";
    return false;
}

QList<DictionaryMaster> DictionaryCatalogue::dictionaries() const
{
    return m_store.findAll<DictionaryMaster>({}, {}, QStringLiteral("\"dicId\""));
}

QList<DictionaryMaster> DictionaryCatalogue::usedDictionaries() const
{
    return m_store.findAll<DictionaryMaster>(QStringLiteral("\"useFlg\" = 1"));
}

bool DictionaryCatalogue::setDictionaryUsed(qint64 dicId, bool used)
{
    auto dict = m_store.findFirst<DictionaryMaster>(QStringLiteral("\"dicId\"=?"), { dicId });
    if (!dict)
        return false;
    dict->useFlg = used ? 1 : 0;
    return m_store.save(*dict);
}
