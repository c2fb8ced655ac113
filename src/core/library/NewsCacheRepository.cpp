#include "NewsCacheRepository.h"

#include "LibraryStore.h"
#include "core/util/Logging.h"

CacheInfo NewsCacheRepository::findOrMakeCache(qint64 infoId, qint64 categoryId) const
{
    auto cache = m_store.findFirst<CacheInfo>(
        QStringLiteral("\"infoId\"=? AND \"categoryId\"=?"), { infoId, categoryId });
    if (cache)
        return *cache;
    CacheInfo fresh;
    fresh.infoId = infoId;
    fresh.categoryId = categoryId;
    return fresh;
}

void NewsCacheRepository::upsertCacheNews(qint64 infoId, qint64 categoryId, const QString &info)
{
    CacheInfo cache = findOrMakeCache(infoId, categoryId);
    cache.information = info;
    cache.updateDate = QDateTime::currentDateTimeUtc();
    if (!m_store.save(cache))
        qCWarning(lcLibrary) << "upsertCacheNews could not be saved";
}

void NewsCacheRepository::upsertCacheContentNews(qint64 infoId, qint64 categoryId,
    const std::optional<QString> &title, const std::optional<QString> &body,
    const std::optional<QDateTime> &date)
{
    CacheInfo cache = findOrMakeCache(infoId, categoryId);
    if (title && !title->isEmpty())
        cache.information = title;
    cache.updateDate = QDateTime::currentDateTimeUtc();
    if (date && date->isValid())
        cache.newsDate = date;
    if (body && !body->isEmpty())
        cache.body = body;
    if (!m_store.save(cache))
        qCWarning(lcLibrary) << "upsertCacheContentNews could not be saved";
}

void NewsCacheRepository::deleteCacheInfos()
{
    if (m_store.removeAll<CacheInfo>(QStringLiteral("\"categoryId\" IS NOT 2")) < 0)
        qCWarning(lcLibrary) << "cannot clear the news cache";
}

QList<CacheInfo> NewsCacheRepository::allCacheInfos() const
{
    return m_store.findAll<CacheInfo>();
}

QList<CacheInfo> NewsCacheRepository::cacheInfosOfCategory(qint64 categoryId) const
{
    return m_store.findAll<CacheInfo>(QStringLiteral("\"categoryId\" = ?"), { categoryId });
}

qint64 NewsCacheRepository::countOfCategory(qint64 categoryId) const
{
    return m_store.count<CacheInfo>(QStringLiteral("\"categoryId\" = ?"), { categoryId });
}

bool NewsCacheRepository::removeCategory(qint64 categoryId)
{
    return m_store.removeAll<CacheInfo>(QStringLiteral("\"categoryId\" = ?"), { categoryId }) >= 0;
}
