// The backend's start, log and stop, and that a test's backend never
// outlives the test.
#include "RawConnection.h"
#include "support/BackendProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace
{

TEST(BackendLifecycle, LogsRefusalsAndStopsCleanlyOnSignals)
{
    struct Case {
        const char *name;
        int signal;
        const char *stopLine;
    };
    const Case cases[] = {
        { "SIGTERM", SIGTERM, "stopping on SIGTERM" },
        { "SIGINT", SIGINT, "stopping on SIGINT" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        BackendProcess backend;
        ASSERT_TRUE(backend.start()) << backend.error().toStdString();

        RawConnection garbage("127.0.0.1", backend.baseUrl());
        garbage.send("NOT HTTP AT ALL\r\n\r\n");
        EXPECT_TRUE(garbage.readUntil("\r\n", 10000).startsWith("HTTP/1.1 400"));
        EXPECT_EQ(backend.post(QStringLiteral("/analytics/collect"), QByteArray(100000, 'x')).status, 413);
        // A connection left idle must not hold the stop.
        RawConnection idle("127.0.0.1", backend.baseUrl());
        ASSERT_TRUE(idle.isOpen());

        EXPECT_EQ(backend.terminate(c.signal), std::optional<int>(0)) << "ends by itself, with 0";

        const QList<QByteArray> lines = backend.errorOutput().split('\n');
        auto linesWith = [&](const QByteArray &text) {
            return std::count_if(
                lines.begin(), lines.end(), [&](const QByteArray &l) { return l.contains(text); });
        };
        EXPECT_EQ(linesWith("started on " + backend.baseUrl().toUtf8()), 1);
        EXPECT_EQ(linesWith("refused a request (400) from 127.0.0.1: malformed request"), 1);
        EXPECT_EQ(linesWith("refused POST /analytics/collect (413) from 127.0.0.1"), 1);
        EXPECT_EQ(linesWith(c.stopLine), 1);
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_TRUE(lines.size() >= 2 && lines.at(lines.size() - 2).endsWith("stopped"))
            << backend.errorOutput().toStdString();
    }
}

const char *const kHelperVariable = "TAVRO_BACKEND_ORPHAN_HELPER";

// Run only in a child the next test starts: holds a backend and says which.
class HoldsABackend : public ::testing::Test
{
    void TestBody() override
    {
        BackendProcess backend;
        ASSERT_TRUE(backend.start()) << backend.error().toStdString();
        std::printf("backend %lld %s\n", backend.pid(), backend.baseUrl().toUtf8().constData());
        std::fflush(stdout);
        // Until the parent kills this process (bounded for safety).
        for (int i = 0; i < 600; ++i)
            QThread::msleep(100);
    }
};

[[maybe_unused]] const bool kHelperRegistered = qEnvironmentVariableIsSet(kHelperVariable) && [] {
    ::testing::RegisterTest("BackendOrphanHelper", "HoldsABackend", nullptr, nullptr, __FILE__, __LINE__,
        []() -> ::testing::Test * { return new HoldsABackend; });
    return true;
}();

bool processGone(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    // A zombie waits for a reaper but serves nothing.
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) == "Z";
}

TEST(BackendLifecycle, BackendDiesWithTheTestThatStartedIt)
{
    QProcess helper;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kHelperVariable), QStringLiteral("1"));
    helper.setProcessEnvironment(env);
    helper.start(QCoreApplication::applicationFilePath(),
        { QStringLiteral("--gtest_filter=BackendOrphanHelper.HoldsABackend") });
    ASSERT_TRUE(helper.waitForStarted(10000));
    QByteArray out;
    auto announcement = [&] {
        const qsizetype at = out.indexOf("\nbackend ");
        const qsizetype end = at < 0 ? -1 : out.indexOf('\n', at + 1);
        return end < 0 ? QByteArray() : out.mid(at + 1, end - at - 1);
    };
    for (int waited = 0; waited < 20000 && announcement().isEmpty(); waited += 50) {
        helper.waitForReadyRead(50);
        out += helper.readAllStandardOutput();
    }
    const QByteArray line = announcement();
    const QList<QByteArray> fields = line.split(' ');
    ASSERT_EQ(fields.size(), 3) << out.toStdString();
    const qint64 pid = fields.at(1).toLongLong();
    const QString baseUrl = QString::fromLatin1(fields.at(2));
    ASSERT_GT(pid, 0);
    ASSERT_FALSE(processGone(pid));

    helper.kill(); // SIGKILL: no destructor runs in the helper
    ASSERT_TRUE(helper.waitForFinished(10000));

    QElapsedTimer t;
    t.start();
    bool gone = false;
    while (!gone && t.elapsed() < 10000) {
        gone = processGone(pid) && !RawConnection("127.0.0.1", baseUrl).isOpen();
        if (!gone)
            QThread::msleep(50);
    }
    EXPECT_TRUE(gone) << "the backend of a killed test still runs";
    if (!gone)
        ::kill(pid_t(pid), SIGKILL);
}

} // namespace
