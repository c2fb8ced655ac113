#include "core/reader/StayTimeCounter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace
{

// Runs events the way a nested loop inside a callback does: timers fire,
// deferred deletes posted by the outer frame wait.
template <typename Done> bool spinUntil(Done done, int timeoutMs = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

TEST(QtTimerSource, StoppedTimersNeverFireAgain)
{
    TimerSource &timers = TimerSource::system();
    struct Case {
        const char *name;
        bool repeat;
    };
    for (const Case &c : { Case { "repeating", true }, Case { "single shot", false } }) {
        int fired = 0;
        const int id = timers.start(1, c.repeat, [&] { ++fired; });
        timers.stop(id);
        // A later timer as a witness: once it has fired, the stopped one has
        // had every chance to.
        bool witnessed = false;
        const int witness = timers.start(40, false, [&] { witnessed = true; });
        ASSERT_TRUE(spinUntil([&] { return witnessed; })) << c.name;
        EXPECT_EQ(fired, 0) << c.name;
        timers.stop(witness);
    }
}

TEST(QtTimerSource, RepeatingTimerRunsUntilStopped)
{
    TimerSource &timers = TimerSource::system();
    int fired = 0;
    const int id = timers.start(1, true, [&] { ++fired; });
    ASSERT_TRUE(spinUntil([&] { return fired >= 3; }));
    timers.stop(id);
    const int atStop = fired;
    bool witnessed = false;
    timers.start(30, false, [&] { witnessed = true; });
    ASSERT_TRUE(spinUntil([&] { return witnessed; }));
    EXPECT_EQ(fired, atStop);
}

} // namespace
