// Analytics queue, reading time and update decisions.
#include "core/app/Analytics.h"
#include "core/app/UpdateCheck.h"
#include "core/library/Library.h"
#include "core/library/LibraryStore.h"
#include "core/platform/ConfigDictionary.h"
#include "core/platform/ServerConfig.h"
#include "core/platform/UserDefaults.h"
#include "core/reader/StayTimeCounter.h"
#include "support/BackendFixture.h"
#include "support/Wait.h"

#include <QDir>
#include <QMap>
#include <QTcpServer>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

class AnalyticsTest : public BackendFixture
{
protected:
    void SetUp() override
    {
        BackendFixture::SetUp();
        backend->send("DELETE", QStringLiteral("/analytics/hits"));
        UserDefaults::remove(QStringLiteral("lostGAData"));
        m_servers = std::make_unique<ServerConfig>(backend->baseUrl(), QStringLiteral("/nonexistent.ini"));
        m_config = std::make_unique<ConfigDictionary>(QDir::homePath() + QStringLiteral("/analytics.plist"));
        m_config->setValue(QStringLiteral("uuid"), QStringLiteral("DEVICE-1"));
        m_analytics = std::make_unique<Analytics>(*m_servers, *m_config);
        m_analytics->reachable = [this] { return m_online; };
        m_analytics->now = [this] { return m_now; };
    }
    QVariantList hits() { return backend->get(QStringLiteral("/analytics/hits")).json().toList(); }
    QVariantMap lost() { return UserDefaults::value(QStringLiteral("lostGAData")).toMap(); }

    std::unique_ptr<ServerConfig> m_servers;
    std::unique_ptr<ConfigDictionary> m_config;
    std::unique_ptr<Analytics> m_analytics;
    bool m_online = true;
    QDateTime m_now = QDateTime(QDate(2026, 12, 9), QTime(10, 0, 0));
};

TEST_F(AnalyticsTest, HitsArriveWithJapaneseNamesIntact)
{
    m_analytics->sendGoogleAnalyticsWithScreenName(QStringLiteral("Tavroからのお知らせ & more"));
    ASSERT_TRUE(waitUntil([&] { return hits().size() == 1; }));
    const QVariantMap fields = hits().first().toMap().value(QStringLiteral("fields")).toMap();
    EXPECT_EQ(fields.value(QStringLiteral("cd")).toString(), QStringLiteral("Tavroからのお知らせ & more"));
    EXPECT_EQ(fields.value(QStringLiteral("t")).toString(), QStringLiteral("screenview"));
    EXPECT_EQ(fields.value(QStringLiteral("an")).toString(), QStringLiteral("Tavro_mac"));
    EXPECT_EQ(fields.value(QStringLiteral("tid")).toString(), QStringLiteral("UA-000000-1"));
    EXPECT_EQ(fields.value(QStringLiteral("qt")).toString(), QStringLiteral("0"));
    EXPECT_EQ(fields.value(QStringLiteral("cid")).toString(), QStringLiteral("DEVICE-1"))
        << "the device id of the configuration the start-up handed down";
}

TEST_F(AnalyticsTest, OfflineViewsAreQueuedAndResent)
{
    m_online = false;
    m_analytics->sendGoogleAnalyticsWithScreenName(QStringLiteral("TOP"));
    m_analytics->sendGoogleAnalyticsWithScreenName(QStringLiteral("ストア")); // the same second
    EXPECT_EQ(lost(), (QVariantMap { { QStringLiteral("2026-12-09 10:00:00"), QStringLiteral("ストア") } }))
        << "one view per second";
    m_now = m_now.addSecs(1);
    m_analytics->sendGoogleAnalyticsWithScreenName(QStringLiteral("本棚"));
    EXPECT_EQ(lost().size(), 2);

    m_online = true;
    m_now = m_now.addSecs(89);
    m_analytics->sendLostGAData();
    ASSERT_TRUE(waitUntil([&] { return hits().size() == 2; }));
    QMap<QString, QString> queued;
    for (const QVariant &h : hits()) {
        const QVariantMap f = h.toMap().value(QStringLiteral("fields")).toMap();
        queued.insert(f.value(QStringLiteral("cd")).toString(), f.value(QStringLiteral("qt")).toString());
    }
    EXPECT_EQ(queued.value(QStringLiteral("ストア")), QStringLiteral("90000"));
    EXPECT_EQ(queued.value(QStringLiteral("本棚")), QStringLiteral("89000"));
    EXPECT_TRUE(lost().isEmpty());

    // A collector that fails: the view is kept for later.
    backend->setFault({ { "path", "/analytics/collect" }, { "status", 500 }, { "body", "x" } });
    m_analytics->sendGoogleAnalyticsWithScreenName(QStringLiteral("Help"));
    ASSERT_TRUE(waitUntil([&] { return lost().size() == 1; }));
    EXPECT_EQ(lost().first().toString(), QStringLiteral("Help"));
}

// A collector behind a black hole: a listening socket that never accepts,
// its accept queue filled by one connection, so that the kernel drops the
// handshakes of any further ones and they hang.
class BlackHole
{
public:
    BlackHole()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (::bind(m_listener, reinterpret_cast<sockaddr *>(&addr), len) != 0 || ::listen(m_listener, 0) != 0
            || ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
            return;
        m_port = ntohs(addr.sin_port);
        m_filler = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::connect(m_filler, reinterpret_cast<sockaddr *>(&addr), len) != 0)
            m_port = 0;
    }
    ~BlackHole()
    {
        ::close(m_filler);
        ::close(m_listener);
    }
    quint16 port() const { return m_port; }

private:
    int m_listener = -1;
    int m_filler = -1;
    quint16 m_port = 0;
};

// A port where nothing listens: connections are refused.
quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

// Screen views are sent from the interface thread: an unreachable collector
// must never make the call wait. The call only starts the attempt; its end
// (the view remembered, the collector marked unreachable) and the later
// resend arrive through the event loop.
TEST_F(AnalyticsTest, UnreachableCollectorsNeverHoldUpTheCaller)
{
    setApiTimeoutScale(0.05); // a hit gives up after 1.5 s, a probe after 150 ms
    BlackHole hole;
    ASSERT_NE(hole.port(), 0);
    const std::pair<const char *, quint16> collectors[]
        = { { "refusing", closedPort() }, { "black-holed", hole.port() } };
    for (const auto &[name, port] : collectors) {
        SCOPED_TRACE(name);
        backend->send("DELETE", QStringLiteral("/analytics/hits"));
        UserDefaults::remove(QStringLiteral("lostGAData"));
        ServerConfig servers(
            QStringLiteral("http://127.0.0.1:%1").arg(port), QStringLiteral("/nonexistent.ini"));
        // Not saved: the hits read the dictionary the start-up hands down.
        ConfigDictionary config(QDir::homePath() + QStringLiteral("/analytics-config.plist"));
        config.setValue(QStringLiteral("uuid"), QStringLiteral("DEVICE-7"));
        Analytics analytics(servers, config);
        analytics.now = [this] { return m_now; };

        analytics.sendGoogleAnalyticsWithScreenName(QStringLiteral("TOP"));
        EXPECT_TRUE(lost().isEmpty()) << "the call returned before the attempt ended";
        ASSERT_TRUE(waitUntil([&] { return lost().size() == 1; })) << "remembered when the attempt failed";

        // Known to be unreachable: the next view is remembered at once, and
        // a probe goes out to see whether the collector is back.
        const int probes = analytics.probes();
        m_now = m_now.addSecs(1);
        analytics.sendGoogleAnalyticsWithScreenName(QStringLiteral("ストア"));
        EXPECT_EQ(lost().size(), 2);
        EXPECT_FALSE(analytics.isReachable());
        EXPECT_EQ(analytics.probes(), probes + 1);

        // The collector comes back: the watch finds it and the views go with
        // their queue times.
        servers = ServerConfig(backend->baseUrl(), QStringLiteral("/nonexistent.ini"));
        m_now = m_now.addSecs(10);
        analytics.watchIntervalMs = 50;
        analytics.setReachableBlock();
        ASSERT_TRUE(waitUntil([&] { return lost().isEmpty() && hits().size() == 2; }));
        QMap<QString, QString> queued;
        for (const QVariant &h : hits()) {
            const QVariantMap f = h.toMap().value(QStringLiteral("fields")).toMap();
            queued.insert(f.value(QStringLiteral("cd")).toString(), f.value(QStringLiteral("qt")).toString());
            EXPECT_EQ(f.value(QStringLiteral("cid")).toString(), QStringLiteral("DEVICE-7"));
        }
        EXPECT_EQ(queued.value(QStringLiteral("TOP")), QStringLiteral("11000"));
        EXPECT_EQ(queued.value(QStringLiteral("ストア")), QStringLiteral("10000"));
        EXPECT_TRUE(analytics.isReachable());
    }
}

// A clock the test moves by hand.
class FakeTimers : public TimerSource
{
public:
    struct Timer {
        qint64 due;
        int period;
        std::function<void()> fn;
    };
    QMap<int, Timer> timers;
    qint64 now = 0;
    int next = 0;
    int start(int ms, bool repeat, std::function<void()> fn) override
    {
        timers.insert(++next, { now + ms, repeat ? ms : 0, std::move(fn) });
        return next;
    }
    void stop(int id) override { timers.remove(id); }
    void advance(qint64 ms)
    {
        const qint64 end = now + ms;
        for (;;) {
            int id = -1;
            for (auto it = timers.cbegin(); it != timers.cend(); ++it)
                if (it->due <= end && (id < 0 || it->due < timers.value(id).due))
                    id = it.key();
            if (id < 0)
                break;
            Timer t = timers.value(id);
            now = t.due;
            if (t.period > 0)
                timers[id].due += t.period;
            else
                timers.remove(id);
            t.fn();
        }
        now = end;
    }
};

TEST_F(AnalyticsTest, ReadingTimeIsCountedPerPage)
{
    FakeTimers clock;
    qint64 page = 0;
    StayTimeCounter counter(clock, library().readingLogs(), [&] {
        return StayTimePage { QStringLiteral("urn:b"), QStringLiteral("A"), QStringLiteral("T"),
            QStringLiteral("toc-1"), QStringLiteral("Chapter"), page };
    });
    counter.bookOpened(QStringLiteral("urn:b"), QStringLiteral("A"), QStringLiteral("T"));
    counter.startIncreasingStaytime();
    clock.advance(3000);
    counter.stopIncreasingStaytime();
    EXPECT_EQ(store().count<AccessPageLog>(), 0) << "left within 5 seconds: no page log";
    EXPECT_DOUBLE_EQ(store().findFirst<AccessBookLog>()->staytime.value(), 0.0);

    counter.startIncreasingStaytime();
    clock.advance(10000);
    ASSERT_EQ(store().count<AccessPageLog>(), 1);
    auto log = store().findFirst<AccessPageLog>();
    EXPECT_DOUBLE_EQ(log->staytime.value(), 10.0);
    EXPECT_EQ(log->naviId, QStringLiteral("1"));
    EXPECT_EQ(log->pageIdx, 1);
    page = 1; // turned with the page button: the same log goes on
    clock.advance(4000);
    EXPECT_EQ(store().count<AccessPageLog>(), 1);
    EXPECT_DOUBLE_EQ(store().findFirst<AccessPageLog>()->staytime.value(), 14.0);
    EXPECT_DOUBLE_EQ(store().findFirst<AccessBookLog>()->staytime.value(), 14.0);

    counter.startIncreasingStaytime(); // a PDF page change
    clock.advance(6000);
    EXPECT_EQ(store().count<AccessPageLog>(), 2);
    counter.stopIncreasingStaytime();
    clock.advance(5000);
    EXPECT_DOUBLE_EQ(store().findFirst<AccessBookLog>()->staytime.value(), 20.0) << "stopped: nothing more";
}

TEST(UpdateCheck, VersionsAndNoticePeriods)
{
    const std::tuple<const char *, const char *, int> versions[] = {
        { "1.9", "1.10", -1 },
        { "1.10", "1.9", 1 },
        { "1.0.0", "1.0.0", 0 },
        { "2", "10", -1 },
        { "1.0", "1.0.1", -1 },
        { "1.02", "1.2", 0 },
        { "1.0b", "1.0a", 1 },
    };
    for (const auto &[a, b, expected] : versions)
        EXPECT_EQ(UpdateCheck::compareVersions(QLatin1String(a), QLatin1String(b)), expected)
            << a << " vs " << b;

    const QVariantMap manifest { { QStringLiteral("update"),
        QVariantMap { { QStringLiteral("version"), QStringLiteral("1.10") } } } };
    EXPECT_TRUE(UpdateCheck::updateToShow(manifest, QStringLiteral("1.9")).has_value());
    EXPECT_FALSE(UpdateCheck::updateToShow(manifest, QStringLiteral("1.10")).has_value());

    const QDateTime inside(QDate(2026, 12, 9), QTime(12, 0));
    EXPECT_TRUE(UpdateCheck::validateWithStartTime(
        QStringLiteral("2026/12/09 11:59"), QStringLiteral("2026/12/09 12:01"), inside));
    EXPECT_FALSE(UpdateCheck::validateWithStartTime(
        QStringLiteral("2026/12/09 12:00"), QStringLiteral("2026/12/10 00:00"), inside))
        << "the start minute itself is outside";
    EXPECT_FALSE(UpdateCheck::validateWithStartTime(
        QStringLiteral("2026/12/01 00:00"), QStringLiteral("2026/12/09 12:00"), inside));
    EXPECT_FALSE(UpdateCheck::validateWithStartTime(
        QStringLiteral("soon"), QStringLiteral("2026/12/10 00:00"), inside));

    UserDefaults::remove(QString::fromLatin1(UserDefaults::macNotification));
    auto notice = [&](int version) {
        return QVariantMap { { QStringLiteral("notification"),
            QVariantMap { { QStringLiteral("version"), version },
                { QStringLiteral("startDate"), QStringLiteral("2026/01/01 00:00") },
                { QStringLiteral("endDate"), QStringLiteral("2027/01/01 00:00") },
                { QStringLiteral("title"), QStringLiteral("t") },
                { QStringLiteral("body"), QStringLiteral("b") } } } };
    };
    EXPECT_TRUE(UpdateCheck::noticeToShow(notice(0), inside).has_value())
        << "nothing stored: version 0 shows";
    UpdateCheck::noticeClosed(3);
    EXPECT_FALSE(UpdateCheck::noticeToShow(notice(3), inside).has_value());
    EXPECT_TRUE(UpdateCheck::noticeToShow(notice(4), inside).has_value());
}

TEST_F(AnalyticsTest, ManifestFromTheBackend)
{
    UpdateCheck check(*m_servers);
    std::optional<QVariantMap> got;
    bool done = false;
    check.checkUpdate([&](std::optional<QVariantMap> m, bool) {
        got = m;
        done = true;
    });
    ASSERT_TRUE(waitUntil([&] { return done; }));
    ASSERT_TRUE(got.has_value());
    EXPECT_FALSE(UpdateCheck::updateToShow(*got, QStringLiteral("1.0.0")).has_value()) << "equal versions";
    EXPECT_TRUE(UpdateCheck::updateToShow(*got, QStringLiteral("0.9")).has_value());

    for (const QVariantMap &fault : { QVariantMap { { "status", 500 }, { "body", "x" } },
             QVariantMap { { "status", 200 }, { "body", "{bad json" } } }) {
        QVariantMap f = fault;
        f.insert(QStringLiteral("path"), QStringLiteral("/files/tavro/update/mac/update.json"));
        backend->setFault(f);
        done = false;
        check.checkUpdate([&](std::optional<QVariantMap> m, bool) {
            got = m;
            done = true;
        });
        ASSERT_TRUE(waitUntil([&] { return done; }));
        EXPECT_FALSE(got.has_value());
    }
    backend->setFault(
        { { "path", "/files/tavro/update/mac/update.json" }, { "status", 200 }, { "body", "[1,2]" } });
    bool notAnObject = false;
    done = false;
    check.checkUpdate([&](std::optional<QVariantMap>, bool n) {
        notAnObject = n;
        done = true;
    });
    ASSERT_TRUE(waitUntil([&] { return done; }));
    EXPECT_TRUE(notAnObject);
}

} // namespace
