// The news cache: the top screen's news list and the provider articles with
// their downloaded bodies (CacheInfo records), shown while offline.
//
// Refers to a store it does not own (the store must outlive it). Threads:
// the store's. Failure: finds on a store that is not open give nothing;
// failed writes are logged and not reported, except where a return value
// says otherwise.
#pragma once

#include "CacheInfo.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

class LibraryStore;

class NewsCacheRepository
{
public:
    // Provider articles are cached under this category.
    static constexpr qint64 kArticleCategory = 2;

    explicit NewsCacheRepository(LibraryStore &store)
        : m_store(store)
    {
    }

    void upsertCacheNews(qint64 infoId, qint64 categoryId, const QString &info);
    void upsertCacheContentNews(qint64 infoId, qint64 categoryId, const std::optional<QString> &title,
        const std::optional<QString> &body, const std::optional<QDateTime> &date);
    // Clears the cached news list before a fresh one is stored. Provider
    // articles (category 2) are kept with their downloaded bodies.
    void deleteCacheInfos();
    // Every cached record, in the store's order.
    QList<CacheInfo> allCacheInfos() const;
    // The cached records of one category, in the store's order.
    QList<CacheInfo> cacheInfosOfCategory(qint64 categoryId) const;
    qint64 countOfCategory(qint64 categoryId) const;
    // Removes the category's records; false when they could not be removed.
    [[nodiscard]] bool removeCategory(qint64 categoryId);

private:
    CacheInfo findOrMakeCache(qint64 infoId, qint64 categoryId) const;

    LibraryStore &m_store;
};
