// The backend under load it must shed: idle and dripped connections, too
// many of them, oversize bodies, too many parameters, deeply nested XML.
// Loopback only, bounded in count and time.
#include "RawConnection.h"
#include "support/BackendProcess.h"

#include <QJsonDocument>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>

namespace
{

using Connections = std::vector<std::unique_ptr<RawConnection>>;

QByteArray source(int index)
{
    // 127.0.0.1 is left to the ordinary client.
    return QByteArray("127.0.") + QByteArray::number(1 + index / 200) + '.'
        + QByteArray::number(2 + index % 200);
}

Connections openIdle(const QString &baseUrl, int sources, int perSource)
{
    Connections out;
    for (int s = 0; s < sources; ++s)
        for (int i = 0; i < perSource; ++i)
            out.push_back(std::make_unique<RawConnection>(source(s).constData(), baseUrl));
    return out;
}

QByteArray keepAliveGet(const QByteArray &path)
{
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

bool alive(BackendProcess &backend)
{
    return backend.get(QStringLiteral("/files/coffee.html")).status == 200;
}

// Polls (a refused request answers at once) until a request is served.
bool waitUntilServed(BackendProcess &backend)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000) {
        if (alive(backend))
            return true;
        QThread::msleep(50);
    }
    return false;
}

TEST(BackendConnections, IdleConnectionsLeaveRoomForOrdinaryRequests)
{
    struct Case {
        const char *name;
        int sources;
        int perSource;
    };
    const Case cases[] = {
        { "one address holds 500 idle connections", 1, 500 },
        { "50 addresses hold 10 idle connections each", 50, 10 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        BackendProcess backend;
        ASSERT_TRUE(backend.start()) << backend.error().toStdString();
        const Connections idle = openIdle(backend.baseUrl(), c.sources, c.perSource);
        int open = 0;
        for (const auto &conn : idle)
            open += conn->isOpen();
        EXPECT_GT(open, 0) << "the idle connections could not be made at all";
        backend.setRequestTimeout(10000);
        const HttpReply reply = backend.get(QStringLiteral("/files/coffee.html"));
        EXPECT_EQ(reply.status, 200) << "an ordinary request waits behind idle connections (network error "
                                     << reply.networkError << ")";
    }
}

TEST(BackendConnections, CapsPerClientAndOverallAnswer503)
{
    BackendProcess backend;
    ASSERT_TRUE(backend.start({ QStringLiteral("--max-connections"), QStringLiteral("12"),
        QStringLiteral("--max-connections-per-client"), QStringLiteral("4") }))
        << backend.error().toStdString();

    // Six from one address: four are served, two refused.
    Connections first;
    for (int i = 0; i < 6; ++i)
        first.push_back(std::make_unique<RawConnection>("127.0.0.2", backend.baseUrl()));
    auto refusedAmong = [](const Connections &conns, qsizetype expected) {
        QElapsedTimer t;
        t.start();
        qsizetype refused = 0;
        while (t.elapsed() < 10000) {
            refused = 0;
            for (const auto &conn : conns)
                refused += conn->poll().startsWith("HTTP/1.1 503");
            if (refused >= expected)
                break;
        }
        return refused;
    };
    ASSERT_EQ(refusedAmong(first, 2), 2);
    int served = 0;
    for (const auto &conn : first) {
        if (!conn->received().isEmpty())
            continue;
        conn->send(keepAliveGet("/files/coffee.html"));
        served += conn->readUntil("</html>", 10000).startsWith("HTTP/1.1 200");
    }
    EXPECT_EQ(served, 4) << "the connections within the cap are served";

    // Eight more from two other addresses fill the overall cap of twelve;
    // each answers once, so all are known to be admitted.
    Connections more;
    for (const char *address : { "127.0.0.3", "127.0.0.4" })
        for (int i = 0; i < 4; ++i)
            more.push_back(std::make_unique<RawConnection>(address, backend.baseUrl()));
    for (const auto &conn : more) {
        conn->send(keepAliveGet("/files/coffee.html"));
        EXPECT_TRUE(conn->readUntil("</html>", 10000).startsWith("HTTP/1.1 200"));
    }
    RawConnection overCap("127.0.0.5", backend.baseUrl());
    EXPECT_TRUE(overCap.readUntil("\r\n", 10000).startsWith("HTTP/1.1 503"))
        << "a fresh address over the overall cap";

    // Once connections close, their places are free again.
    more.clear();
    backend.setRequestTimeout(10000);
    EXPECT_TRUE(waitUntilServed(backend));
    EXPECT_TRUE(backend.errorOutput().contains(
        "refused connection from 127.0.0.2: too many connections from this address"));
    EXPECT_TRUE(backend.errorOutput().contains("refused connection from 127.0.0.5: too many connections"));
}

// A connection over a cap is refused as it is accepted, not once a worker
// is free: here every worker is held by a slow answer when it comes.
TEST(BackendConnections, CapsAnswerWhileEveryWorkerIsBusy)
{
    BackendProcess backend;
    ASSERT_TRUE(backend.start({ QStringLiteral("--max-connections-per-client"), QStringLiteral("4") }))
        << backend.error().toStdString();
    constexpr int kWorkers = 16; // the backend's
    ASSERT_TRUE(
        backend.setFault({ { "path", "/files/coffee.html" }, { "delayMs", 8000 }, { "times", kWorkers } }));
    Connections busy;
    for (int i = 0; i < kWorkers; ++i) {
        busy.push_back(std::make_unique<RawConnection>(source(i / 4).constData(), backend.baseUrl()));
        ASSERT_TRUE(busy.back()->send(keepAliveGet("/files/coffee.html")));
    }
    // Give the workers time to take the slow requests.
    QThread::msleep(500);
    Connections more;
    for (int i = 0; i < 5; ++i)
        more.push_back(std::make_unique<RawConnection>("127.0.0.99", backend.baseUrl()));
    EXPECT_TRUE(more.back()->readUntil("\r\n", 6000).startsWith("HTTP/1.1 503"))
        << "the fifth connection from one address is refused";
    int answered = 0;
    for (const auto &conn : busy)
        answered += !conn->poll().isEmpty();
    EXPECT_EQ(answered, 0) << "the refusal came only once workers were free again";
}

TEST(BackendConnections, DrippedRequestIsCutOff)
{
    BackendProcess backend;
    ASSERT_TRUE(backend.start({ QStringLiteral("--request-timeout-ms"), QStringLiteral("1000") }))
        << backend.error().toStdString();
    RawConnection slow("127.0.0.1", backend.baseUrl());
    ASSERT_TRUE(slow.send("GET /files/coffee.html HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Pad: "));
    // One byte every 100 ms, each well within any per-read time-out; the
    // header never ends.
    QElapsedTimer t;
    t.start();
    bool cutOff = false;
    while (!cutOff && t.elapsed() < 10000) {
        cutOff = !slow.send("a") || slow.readUntil("\r\n", 100).size() > 0 || slow.closedByPeer();
    }
    EXPECT_TRUE(cutOff) << "the server still reads a request dripped in for 10 s";
    EXPECT_TRUE(alive(backend));
    EXPECT_TRUE(backend.errorOutput().contains("from 127.0.0.1: request read timed out"))
        << backend.errorOutput().toStdString();
}

// Slow clients from many addresses (all within the caps) hold connections
// open: idle ones that never send, and ones that send one byte at a time.
// None of them may keep an ordinary request waiting: it is answered long
// before any of theirs times out.
TEST(BackendConnections, SlowClientsOverManyAddressesLeaveRoomForOrdinaryRequests)
{
    BackendProcess backend;
    ASSERT_TRUE(backend.start({ QStringLiteral("--idle-timeout-ms"), QStringLiteral("60000"),
        QStringLiteral("--request-timeout-ms"), QStringLiteral("60000") }))
        << backend.error().toStdString();
    // 160 idle connections over 16 addresses, then 40 drippers over 4 more.
    Connections idle = openIdle(backend.baseUrl(), 16, 10);
    Connections dripping;
    for (int i = 0; i < 40; ++i)
        dripping.push_back(
            std::make_unique<RawConnection>(source(16 + i / 10).constData(), backend.baseUrl()));
    int open = 0;
    for (const auto &conn : dripping)
        open += conn->isOpen() && conn->send("G");
    ASSERT_EQ(open, 40) << "the dripping connections could not be made";

    // One byte every 200 ms on each, each far within any per-read time-out,
    // for as long as the ordinary request takes.
    std::atomic<bool> done { false };
    std::thread drip([&] {
        const QByteArray request = "ET /files/coffee.html HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Pad: ";
        for (qsizetype at = 0; !done; ++at) {
            for (const auto &conn : dripping)
                conn->send(request.mid(std::min(at, request.size() - 1), 1));
            for (int i = 0; i < 4 && !done; ++i)
                QThread::msleep(50);
        }
    });
    // Let every dripper be read from at least once.
    QThread::msleep(500);
    // Far below the slow clients' 60 s: answered only if they hold nothing.
    backend.setRequestTimeout(15000);
    const HttpReply reply = backend.get(QStringLiteral("/files/coffee.html"));
    done = true;
    drip.join();
    EXPECT_EQ(reply.status, 200) << "an ordinary request waits behind slow clients (network error "
                                 << reply.networkError << ")";
    int stillOpen = 0;
    for (const auto &conn : dripping)
        stillOpen += !conn->poll().size() && !conn->closedByPeer();
    EXPECT_EQ(stillOpen, 40) << "the slow clients were not cut off to make room";
}

class BackendLimits : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        backend = new BackendProcess;
        ASSERT_TRUE(backend->start()) << backend->error().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete backend;
        backend = nullptr;
    }
    static qsizetype hitCount()
    {
        return backend->get(QStringLiteral("/analytics/hits")).json().toList().size();
    }

    static inline BackendProcess *backend = nullptr;
};

QByteArray fields(int count)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += (i ? "&f" : "f") + QByteArray::number(i) + "=1";
    return out;
}

TEST_F(BackendLimits, BodiesOverTheirPathsLimitAreRefusedUnread)
{
    auto syncUpload = [&](int records) {
        QVariantList list;
        for (int i = 0; i < records; ++i)
            list.append(QVariantMap { { "bookId", "urn:big" }, { "udId", "D" },
                { "pageIdx", QString::number(i) }, { "highlightNo", "0" }, { "memoText", "(null)" },
                { "user", "1" }, { "updateDate", "20261201T101500.250" } });
        return "json="
            + QJsonDocument::fromVariant(
                QVariantMap { { "deleteList", QVariantList() }, { "insertList", list } })
                  .toJson(QJsonDocument::Compact);
    };
    struct Case {
        const char *name;
        const char *path;
        QByteArray body;
        int status;
    };
    const Case cases[] = {
        { "a 1 MB analytics hit", "/analytics/collect", "v=1&t=screenview&cd=" + QByteArray(1 << 20, 'x'),
            413 },
        { "a 20 KB analytics hit", "/analytics/collect", "v=1&t=screenview&cd=" + QByteArray(20 << 10, 'x'),
            413 },
        { "a 1 MB XML-RPC call", "/news-rpc",
            "<?xml version=\"1.0\"?><methodCall><methodName>" + QByteArray(1 << 20, 'x')
                + "</methodName></methodCall>",
            413 },
        { "a 6 MB sync upload", "/sync/shareapi/insertBookAll", syncUpload(60000), 413 },
        { "a 100 KB sync upload (over httplib's 8 KB form cap)", "/sync/shareapi/insertBookAll",
            syncUpload(800), 200 },
        { "a 500 KB profile form", "/profile/users", "user%5Busername%5D=" + QByteArray(500 << 10, 'x'),
            413 },
    };
    // Sync uploads need a signed-in session; the other paths ignore it.
    const QList<QPair<QByteArray, QByteArray>> session { { "Authorization",
        "Bearer "
            + backend->accessToken(QStringLiteral("yamada"), QStringLiteral("Yamada-2026")).toUtf8() } };
    for (const Case &c : cases) {
        const qsizetype before = hitCount();
        const HttpReply reply = backend->post(QString::fromLatin1(c.path), c.body, session);
        EXPECT_EQ(reply.status, c.status) << c.name << " (network error " << reply.networkError << ")";
        EXPECT_EQ(hitCount(), before) << c.name << ": nothing of it is stored";
    }
    EXPECT_TRUE(backend->errorOutput().contains("refused POST /analytics/collect (413)"));

    // A body of unannounced length cannot be judged before it is read.
    RawConnection chunked("127.0.0.1", backend->baseUrl());
    chunked.send("POST /analytics/collect HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n"
                 "5\r\nv=1&t\r\n0\r\n\r\n");
    EXPECT_TRUE(chunked.readUntil("\r\n", 10000).startsWith("HTTP/1.1 411"));

    // A hit of ordinary size is still stored.
    const qsizetype before = hitCount();
    EXPECT_EQ(backend->post(QStringLiteral("/analytics/collect"), "v=1&t=screenview&cd=TOP").status, 200);
    EXPECT_EQ(hitCount(), before + 1);
}

TEST_F(BackendLimits, TooManyParametersAreRefused)
{
    struct Case {
        const char *name;
        QByteArray method;
        QString path;
        QByteArray body;
        int status;
    };
    const Case cases[] = {
        { "1,000 query parameters", "GET",
            QStringLiteral("/files/coffee.html?") + QString::fromLatin1(fields(1000)), {}, 400 },
        { "2,000 fields in an entry form", "POST", QStringLiteral("/store-api/api/entry"), fields(2000),
            400 },
        { "1,000 fields in an analytics hit", "POST", QStringLiteral("/analytics/collect"), fields(1000),
            400 },
        { "2,000 fields in a sync download form", "POST", QStringLiteral("/sync/shareapi/getMyBookAll"),
            fields(2000), 400 },
        { "200 fields in an analytics hit", "POST", QStringLiteral("/analytics/collect"), fields(200), 200 },
        { "200 query parameters", "GET",
            QStringLiteral("/files/coffee.html?") + QString::fromLatin1(fields(200)), {}, 200 },
    };
    for (const Case &c : cases) {
        const qsizetype before = hitCount();
        // As plain text, so that httplib leaves the body to the route.
        const HttpReply reply = backend->send(c.method, c.path, c.body, { { "Content-Type", "text/plain" } });
        EXPECT_EQ(reply.status, c.status) << c.name;
        if (c.status != 200) {
            EXPECT_EQ(hitCount(), before) << c.name << ": nothing of it is stored";
        }
    }
    EXPECT_TRUE(backend->errorOutput().contains("too many parameters (1000; at most 256)"));
}

// XML-RPC bodies are bounded before they reach the XML parser, and what the
// parser cannot make a call of is answered with a fault. The nesting case
// also depends on the parser's own depth limit.
TEST_F(BackendLimits, DeepOrBrokenXmlRpcIsAnsweredAndTheBackendLives)
{
    auto nested = [](int depth) {
        QByteArray xml
            = "<?xml version=\"1.0\"?><methodCall><methodName>get_article</methodName><params><param>";
        for (int i = 0; i < depth; ++i)
            xml += "<value><array><data>";
        for (int i = 0; i < depth; ++i)
            xml += "</data></array></value>";
        return xml + "</param></params></methodCall>";
    };
    struct Case {
        const char *name;
        QByteArray body;
        int status;
        QByteArray inBody;
    };
    const Case cases[] = {
        { "100,000 nested arrays", nested(100000), 413, {} },
        { "1,400 nested arrays (within the size limit)", nested(1400), 200, "<fault>" },
        { "not XML", "this is no XML", 200, "<int>-32700</int>" },
        { "XML but no method call", "<?xml version=\"1.0\"?><a><b>1</b></a>", 200, "<int>-32700</int>" },
        { "unclosed elements", "<?xml version=\"1.0\"?><methodCall><methodName>get_article", 200, "<fault>" },
    };
    for (const Case &c : cases) {
        const HttpReply reply
            = backend->post(QStringLiteral("/news-rpc"), c.body, { { "Content-Type", "text/xml" } });
        EXPECT_EQ(reply.status, c.status) << c.name << " (network error " << reply.networkError << ")";
        EXPECT_TRUE(reply.body.contains(c.inBody)) << c.name << ": " << reply.body.left(300).toStdString();
        ASSERT_TRUE(alive(*backend)) << c.name << " took the backend down";
    }
    EXPECT_TRUE(backend->errorOutput().contains("malformed XML-RPC call"));
}

} // namespace
