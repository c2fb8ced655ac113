// Reading logs: which book and which page was read, and for how long
// (AccessBookLog and AccessPageLog records), kept for the analytics upload.
//
// Refers to a store it does not own (the store must outlive it). Threads:
// the store's. Failure: failed writes are logged and not reported.
#pragma once

#include <QString>
#include <optional>

class LibraryStore;

class ReadingLogRepository
{
public:
    explicit ReadingLogRepository(LibraryStore &store)
        : m_store(store)
    {
    }

    void insertAccessBookLog(const QString &bookId, const QString &bookAuthor, const QString &bookTitle,
        const std::optional<QString> &gps, double staytime);
    void insertAccessPageLog(const QString &bookId, const QString &bookAuthor, const QString &bookTitle,
        const std::optional<QString> &manifestID, const std::optional<QString> &naviId,
        const std::optional<QString> &naviTitle, const std::optional<QString> &gps, double staytime,
        qint64 pageIdx);
    // Adds `seconds` to the latest log; nothing when there is none.
    void incrementAccessBookLogStaytime(double seconds);
    void incrementAccessPageLogStaytime(double seconds);
    void deleteAccessLog();

private:
    template <class Log> void incrementLatest(double seconds);

    LibraryStore &m_store;
};
