// The reader's reading-time count: a book log when a book opens, a page log
// once a page has been shown for 5 seconds, then a second added every
// second to both. Timers come from a TimerSource, so tests drive the clock.
//
// Main thread only.
#pragma once

#include "core/library/ReadingLogRepository.h"

#include <QString>
#include <functional>
#include <optional>

class TimerSource
{
public:
    virtual ~TimerSource() = default;
    // Runs `fn` after `ms` (repeatedly when `repeat`); an id for stop().
    virtual int start(int ms, bool repeat, std::function<void()> fn) = 0;
    virtual void stop(int id) = 0;
    // Qt timers.
    static TimerSource &system();
};

struct StayTimePage {
    QString bookId;
    QString bookAuthor;
    QString bookTitle;
    QString manifestID;
    QString naviTitle;
    qint64 pageIndex = 0; // from 0

    // A page of a PDF book: its index as the manifest id, no title.
    static StayTimePage pdfPage(
        const QString &bookId, const QString &bookAuthor, const QString &bookTitle, int page)
    {
        return { bookId, bookAuthor, bookTitle, QString::number(page), QString(), page };
    }
};

class StayTimeCounter
{
public:
    // `page` tells the page now shown; the logs go to `logs`, whose store
    // must outlive the counter.
    StayTimeCounter(TimerSource &timers, ReadingLogRepository logs, std::function<StayTimePage()> page);
    ~StayTimeCounter();

    // The reader appeared with a book: a book log with staytime 0.
    void bookOpened(const QString &bookId, const QString &bookAuthor, const QString &bookTitle);
    void startIncreasingStaytime();
    void delayedStartIncreasingStaytime();
    void increaseStayTime();
    void increaseStayTimeWithTime(double seconds);
    void stopIncreasingStaytime();

private:
    TimerSource &m_timers;
    ReadingLogRepository m_logs;
    std::function<StayTimePage()> m_page;
    std::optional<int> m_pending;
    std::optional<int> m_ticker;
};
