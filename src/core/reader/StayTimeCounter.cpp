#include "StayTimeCounter.h"

#include <QHash>
#include <QTimer>

namespace
{

class QtTimerSource : public TimerSource
{
public:
    int start(int ms, bool repeat, std::function<void()> fn) override
    {
        auto *timer = new QTimer;
        timer->setSingleShot(!repeat);
        const int id = ++m_next;
        QObject::connect(timer, &QTimer::timeout, timer, [this, id, repeat, fn] {
            if (!repeat)
                stop(id);
            fn();
        });
        m_timers.insert(id, timer);
        timer->start(ms);
        return id;
    }
    void stop(int id) override
    {
        // Stopped here and now: a deferred delete may wait behind a nested
        // event loop (a message box) while the timer would keep firing into
        // an owner that is gone.
        if (QTimer *t = m_timers.take(id)) {
            t->stop();
            t->disconnect();
            t->deleteLater();
        }
    }

private:
    QHash<int, QTimer *> m_timers;
    int m_next = 0;
};

} // namespace

TimerSource &TimerSource::system()
{
    static QtTimerSource source;
    return source;
}

StayTimeCounter::StayTimeCounter(
    TimerSource &timers, ReadingLogRepository logs, std::function<StayTimePage()> page)
    : m_timers(timers)
    , m_logs(logs)
    , m_page(std::move(page))
{
}

StayTimeCounter::~StayTimeCounter()
{
    stopIncreasingStaytime();
}

void StayTimeCounter::bookOpened(const QString &bookId, const QString &bookAuthor, const QString &bookTitle)
{
    m_logs.insertAccessBookLog(bookId, bookAuthor, bookTitle, std::nullopt, 0);
}

void StayTimeCounter::startIncreasingStaytime()
{
    stopIncreasingStaytime();
    m_pending = m_timers.start(5000, false, [this] {
        m_pending.reset();
        delayedStartIncreasingStaytime();
    });
}

void StayTimeCounter::delayedStartIncreasingStaytime()
{
    const StayTimePage page = m_page();
    const QString number = QString::number(page.pageIndex + 1);
    m_logs.insertAccessPageLog(page.bookId, page.bookAuthor, page.bookTitle, page.manifestID, number,
        page.naviTitle, std::nullopt, 5, page.pageIndex + 1);
    m_logs.incrementAccessBookLogStaytime(5);
    m_ticker = m_timers.start(1000, true, [this] { increaseStayTime(); });
}

void StayTimeCounter::increaseStayTime()
{
    increaseStayTimeWithTime(1);
}

void StayTimeCounter::increaseStayTimeWithTime(double seconds)
{
    m_logs.incrementAccessPageLogStaytime(seconds);
    m_logs.incrementAccessBookLogStaytime(seconds);
}

void StayTimeCounter::stopIncreasingStaytime()
{
    if (m_pending)
        m_timers.stop(*m_pending);
    if (m_ticker)
        m_timers.stop(*m_ticker);
    m_pending.reset();
    m_ticker.reset();
}
