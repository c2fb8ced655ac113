// Reading time in a PDF book: each page shown for 5 seconds or more gets its
// own page log, named by its index.
#include "core/library/AccessPageLog.h"
#include "core/reader/StayTimeCounter.h"
#include "support/LibraryFixture.h"

#include <QMap>
#include <gtest/gtest.h>

namespace
{

// Timers fired by the test.
class ManualTimers : public TimerSource
{
public:
    int start(int ms, bool repeat, std::function<void()> fn) override
    {
        m_timers.insert(++m_next, { ms, repeat, std::move(fn) });
        return m_next;
    }
    void stop(int id) override { m_timers.remove(id); }
    // Fires the timer of `ms` (a one-shot one goes).
    bool fire(int ms)
    {
        for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
            if (it->ms != ms)
                continue;
            const auto fn = it->fn;
            if (!it->repeat)
                m_timers.erase(it);
            fn();
            return true;
        }
        return false;
    }

private:
    struct Timer {
        int ms;
        bool repeat;
        std::function<void()> fn;
    };
    QMap<int, Timer> m_timers;
    int m_next = 0;
};

class PdfPageLogTest : public LibraryFixture
{
};

TEST_F(PdfPageLogTest, EachPageShownFiveSecondsHasItsOwnLog)
{
    ManualTimers timers;
    int page = 0;
    StayTimeCounter counter(timers, library().readingLogs(), [&] {
        return StayTimePage::pdfPage(
            QStringLiteral("pdf-atlas"), QStringLiteral("Kato"), QStringLiteral("Atlas"), page);
    });
    counter.bookOpened(QStringLiteral("pdf-atlas"), QStringLiteral("Kato"), QStringLiteral("Atlas"));
    counter.startIncreasingStaytime();
    ASSERT_TRUE(timers.fire(5000));
    ASSERT_TRUE(timers.fire(1000));
    ASSERT_TRUE(timers.fire(1000));
    page = 1; // turned within 5 seconds: no log
    counter.startIncreasingStaytime();
    page = 3;
    counter.startIncreasingStaytime();
    ASSERT_TRUE(timers.fire(5000));

    const QList<AccessPageLog> logs = store().findAll<AccessPageLog>({}, {}, QStringLiteral("pk"));
    ASSERT_EQ(logs.size(), 2);
    struct Want {
        const char *manifestID;
        const char *naviId;
        qint64 pageIdx;
        double staytime;
    };
    const Want want[] = { { "0", "1", 1, 7 }, { "3", "4", 4, 5 } };
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(logs[i].manifestID, QString::fromLatin1(want[i].manifestID)) << i;
        EXPECT_EQ(logs[i].naviId, QString::fromLatin1(want[i].naviId)) << i;
        EXPECT_EQ(logs[i].naviTitle.value_or(QStringLiteral("?")), QString()) << i;
        EXPECT_EQ(logs[i].pageIdx, want[i].pageIdx) << i;
        EXPECT_EQ(logs[i].staytime, want[i].staytime) << i;
    }
}

} // namespace
