#include "ReadingLogRepository.h"

#include "AccessBookLog.h"
#include "AccessPageLog.h"
#include "AccountRepository.h"
#include "LibraryStore.h"
#include "core/util/Logging.h"

void ReadingLogRepository::insertAccessBookLog(const QString &bookId, const QString &bookAuthor,
    const QString &bookTitle, const std::optional<QString> &gps, double staytime)
{
    AccessBookLog log;
    log.bookId = bookId;
    log.bookAuthor = bookAuthor;
    log.bookTitle = bookTitle;
    log.gps = gps;
    log.staytime = staytime;
    log.timestamp = QDateTime::currentDateTimeUtc();
    log.user = AccountRepository(m_store).currentUserId();
    if (!m_store.insert(log))
        qCWarning(lcLibrary) << "insertAccessBookLog could not be saved";
}

void ReadingLogRepository::insertAccessPageLog(const QString &bookId, const QString &bookAuthor,
    const QString &bookTitle, const std::optional<QString> &manifestID, const std::optional<QString> &naviId,
    const std::optional<QString> &naviTitle, const std::optional<QString> &gps, double staytime,
    qint64 pageIdx)
{
    AccessPageLog log;
    log.bookId = bookId;
    log.bookAuthor = bookAuthor;
    log.bookTitle = bookTitle;
    log.manifestID = manifestID;
    log.naviId = naviId;
    log.naviTitle = naviTitle;
    log.gps = gps;
    log.staytime = staytime;
    log.pageIdx = pageIdx;
    log.timestamp = QDateTime::currentDateTimeUtc();
    log.user = AccountRepository(m_store).currentUserId();
    if (!m_store.insert(log))
        qCWarning(lcLibrary) << "insertAccessPageLog could not be saved";
}

template <class Log> void ReadingLogRepository::incrementLatest(double seconds)
{
    auto log = m_store.findFirst<Log>({}, {}, QStringLiteral("\"timestamp\" DESC"));
    if (!log)
        return;
    log->staytime = log->staytime.value_or(0.0) + seconds;
    if (!m_store.save(*log))
        qCWarning(lcLibrary) << "incrementStaytime could not be saved";
}

void ReadingLogRepository::incrementAccessBookLogStaytime(double seconds)
{
    incrementLatest<AccessBookLog>(seconds);
}

void ReadingLogRepository::incrementAccessPageLogStaytime(double seconds)
{
    incrementLatest<AccessPageLog>(seconds);
}

void ReadingLogRepository::deleteAccessLog()
{
    if (!m_store.transaction([&] {
            return m_store.removeAll<AccessPageLog>() >= 0 && m_store.removeAll<AccessBookLog>() >= 0;
        }))
        qCWarning(lcLibrary) << "cannot clear the reading logs";
}
