#include "BackendServer.h"

#include "BackendLog.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string_view>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace
{

// How long a connection whose request was refused is drained before it is
// closed, and how much of it is read.
constexpr milliseconds kDrainTime { 2000 };
constexpr size_t kDrainBytes = size_t(64) << 20;
// Headers longer than this go to a worker unfinished: httplib refuses them.
constexpr size_t kHeaderBytes = size_t(64) << 10;
// A body up to this size is read before a worker takes the request; a
// larger one is read by the worker, bounded by the read time-outs.
constexpr size_t kBodyPrereadBytes = size_t(512) << 10;

thread_local bool t_closeAfter = false;
thread_local const std::string *t_client = nullptr;
thread_local const bool *t_timedOut = nullptr;

std::string peerAddress(int fd, int *port)
{
    sockaddr_storage addr {};
    socklen_t length = sizeof addr;
    if (::getpeername(fd, reinterpret_cast<sockaddr *>(&addr), &length) != 0)
        return {};
    char text[INET6_ADDRSTRLEN] = {};
    if (addr.ss_family == AF_INET) {
        const auto *a = reinterpret_cast<const sockaddr_in *>(&addr);
        ::inet_ntop(AF_INET, &a->sin_addr, text, sizeof text);
        *port = ntohs(a->sin_port);
    } else if (addr.ss_family == AF_INET6) {
        const auto *a = reinterpret_cast<const sockaddr_in6 *>(&addr);
        ::inet_ntop(AF_INET6, &a->sin6_addr, text, sizeof text);
        *port = ntohs(a->sin6_port);
    }
    return text;
}

int millisecondsUntil(Clock::time_point end)
{
    const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now()).count();
    return int(std::clamp<long long>(left, 0, 1000000));
}

// Waits for `events` on `fd` until `end`, in slices so that a stop is
// noticed when `stopping` is given. True when the socket is ready (or has
// failed: the following read or write reports that).
bool waitFor(int fd, short events, Clock::time_point end, const std::atomic<bool> *stopping)
{
    for (;;) {
        if (stopping && *stopping)
            return false;
        pollfd p { fd, events, 0 };
        const int n = ::poll(&p, 1, std::min(millisecondsUntil(end), 100));
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
        if (n == 0 && Clock::now() >= end)
            return false;
    }
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// Whether `bytes` (the start of what a connection sent) holds a request a
// worker can answer without waiting on the client: its headers and, when it
// announces a modest body and does not wait for a 100 Continue, that body.
// What cannot be judged here (headers too long, a length that is no number,
// a chunked body) is also ready: httplib refuses it.
bool requestReady(std::string_view bytes)
{
    size_t end = bytes.find("\r\n\r\n");
    size_t endLength = 4;
    if (const size_t lf = bytes.find("\n\n"); lf < end) {
        end = lf;
        endLength = 2;
    }
    if (end == std::string_view::npos)
        return bytes.size() >= kHeaderBytes;
    const std::string_view head = bytes.substr(0, end);
    size_t bodyLength = 0;
    for (size_t at = head.find('\n'); at != std::string_view::npos;) {
        const size_t next = head.find('\n', at + 1);
        std::string_view line = head.substr(at + 1, next == std::string_view::npos ? next : next - at - 1);
        at = next;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view name = line.substr(0, colon);
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
        while (!value.empty() && (value.back() == '\r' || value.back() == ' ' || value.back() == '\t'))
            value.remove_suffix(1);
        if (equalsIgnoringCase(name, "Expect") || equalsIgnoringCase(name, "Transfer-Encoding"))
            return true;
        if (equalsIgnoringCase(name, "Content-Length")) {
            if (value.empty() || value.size() > 12
                || !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
                return true;
            bodyLength = size_t(std::stoull(std::string(value)));
            if (bodyLength > kBodyPrereadBytes)
                return true;
        }
    }
    return bytes.size() - end - endLength >= bodyLength;
}

} // namespace

// One admitted connection. Whoever holds the last reference closes it.
struct BackendServer::Connection {
    Connection(BackendServer &server, int fd, std::string address, int port)
        : server(server)
        , fd(fd)
        , address(std::move(address))
        , port(port)
        , requestsLeft(server.limits().requestsPerConnection)
    {
    }
    ~Connection()
    {
        ::close(fd);
        server.release(address);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool hasPending() const { return pendingOffset < pending.size(); }
    std::string_view pendingBytes() const
    {
        return std::string_view(pending).substr(std::min(pendingOffset, pending.size()));
    }
    // Marks the start of a request once its first bytes are in.
    void startRequestIfPending()
    {
        if (!requestStarted && hasPending()) {
            requestStarted = true;
            requestStart = Clock::now();
        }
    }

    BackendServer &server;
    const int fd;
    const std::string address;
    const int port;
    // Bytes received beyond what the last read asked for.
    std::string pending;
    size_t pendingOffset = 0;
    int requestsLeft;
    // Whether bytes of the next request have arrived, and when the first did.
    bool requestStarted = false;
    Clock::time_point requestStart;
    // While parked: when it is closed if nothing (more) comes.
    Clock::time_point deadline;
    bool draining = false;
    size_t drained = 0;
};

namespace
{

// httplib's view of one request on a connection: reads bounded per read and
// for the request as a whole, writes bounded per write.
class ConnectionStream final : public httplib::Stream
{
public:
    ConnectionStream(
        BackendServer::Connection &c, const ServerLimits &limits, const std::atomic<bool> &stopping)
        : m_c(c)
        , m_limits(limits)
        , m_stopping(stopping)
        , m_readEnd((c.requestStarted ? c.requestStart : Clock::now()) + limits.requestTimeout)
    {
    }

    bool is_readable() const override
    {
        return m_c.hasPending()
            || waitFor(m_c.fd, POLLIN, std::min(m_readEnd, Clock::now() + m_limits.readTimeout), &m_stopping);
    }

    bool is_writable() const override
    {
        return waitFor(m_c.fd, POLLOUT, Clock::now() + m_limits.writeTimeout, nullptr);
    }

    ssize_t read(char *ptr, size_t size) override
    {
        if (m_c.hasPending()) {
            const size_t n = std::min(size, m_c.pending.size() - m_c.pendingOffset);
            std::memcpy(ptr, m_c.pending.data() + m_c.pendingOffset, n);
            m_c.pendingOffset += n;
            if (!m_c.hasPending()) {
                m_c.pending.clear();
                m_c.pendingOffset = 0;
            }
            return ssize_t(n);
        }
        if (!is_readable()) {
            m_timedOut = !m_stopping;
            return -1;
        }
        // httplib reads request lines a byte at a time: small reads go
        // through a buffer kept on the connection (it may hold the start of
        // a pipelined request).
        constexpr size_t kBuffer = 16384;
        const bool buffered = size < kBuffer;
        char buffer[kBuffer];
        ssize_t n;
        do
            n = ::recv(m_c.fd, buffered ? buffer : ptr, buffered ? kBuffer : size, 0);
        while (n < 0 && errno == EINTR);
        if (n <= 0)
            return n;
        m_bytesRead += size_t(n);
        if (!buffered)
            return n;
        const size_t give = std::min(size, size_t(n));
        std::memcpy(ptr, buffer, give);
        m_c.pending.assign(buffer + give, size_t(n) - give);
        m_c.pendingOffset = 0;
        return ssize_t(give);
    }

    ssize_t write(const char *ptr, size_t size) override
    {
        if (!is_writable())
            return -1;
        ssize_t n;
        do
            n = ::send(m_c.fd, ptr, size, MSG_NOSIGNAL);
        while (n < 0 && errno == EINTR);
        if (n > 0)
            m_bytesWritten += size_t(n);
        return n;
    }

    void get_remote_ip_and_port(std::string &ip, int &port) const override
    {
        ip = m_c.address;
        port = m_c.port;
    }

    void get_local_ip_and_port(std::string &ip, int &port) const override
    {
        sockaddr_in addr {};
        socklen_t length = sizeof addr;
        if (::getsockname(m_c.fd, reinterpret_cast<sockaddr *>(&addr), &length) == 0
            && addr.sin_family == AF_INET) {
            char text[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
            ip = text;
            port = ntohs(addr.sin_port);
        }
    }

    socket_t socket() const override { return m_c.fd; }

    size_t bytesRead() const { return m_bytesRead; }
    size_t bytesWritten() const { return m_bytesWritten; }
    bool timedOut() const { return m_timedOut; }
    const bool *timedOutFlag() const { return &m_timedOut; }

private:
    BackendServer::Connection &m_c;
    const ServerLimits &m_limits;
    const std::atomic<bool> &m_stopping;
    const Clock::time_point m_readEnd;
    size_t m_bytesRead = 0;
    size_t m_bytesWritten = 0;
    mutable bool m_timedOut = false;
};

} // namespace

// The workers, and the poll() thread that holds connections until a whole
// request is in. httplib hands it each accepted socket (on its accept
// thread) and shuts it down when the listening socket closes.
class BackendServer::Pool final : public httplib::TaskQueue
{
public:
    Pool(BackendServer &server, const std::atomic<bool> &stopping)
        : m_server(server)
        , m_stopping(stopping)
    {
        if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
            m_wake[0] = m_wake[1] = -1;
        for (int i = 0; i < std::max(1, server.limits().workers); ++i)
            m_workers.emplace_back([this] { work(); });
        m_poller = std::thread([this] { pollLoop(); });
    }

    ~Pool() override
    {
        shutdown();
        for (const int fd : m_wake)
            if (fd >= 0)
                ::close(fd);
    }

    // httplib's job for an accepted socket: admitting and parking it never
    // blocks, so it runs here on the accept thread. No socket waits in a
    // queue before the caps have judged it.
    void enqueue(std::function<void()> fn) override { fn(); }

    // A worker takes `fn`.
    void run(std::function<void()> fn)
    {
        {
            std::lock_guard lock(m_jobsMutex);
            m_jobs.push_back(std::move(fn));
        }
        m_jobsChanged.notify_one();
    }

    void shutdown() override
    {
        if (m_shutDown.exchange(true))
            return;
        wake();
        if (m_poller.joinable())
            m_poller.join();
        {
            std::lock_guard lock(m_jobsMutex);
            m_noMoreJobs = true;
        }
        m_jobsChanged.notify_all();
        for (std::thread &t : m_workers)
            t.join();
    }

    // The connection waits here until a whole request has arrived (then a
    // worker takes it), or until `wait` has passed (then it is closed), or,
    // once part of a request is in, until the request time-out has passed
    // since its first byte (then it gets a 408).
    void park(std::shared_ptr<Connection> c, milliseconds wait)
    {
        c->deadline = Clock::now() + wait;
        if (!c->draining) {
            c->startRequestIfPending();
            if (c->requestStarted)
                c->deadline = c->requestStart + m_server.limits().requestTimeout;
        }
        {
            std::lock_guard lock(m_parkedMutex);
            if (m_shutDown || m_stopping)
                return; // closed as `c` goes
            const int fd = c->fd;
            m_parked.emplace(fd, std::move(c));
        }
        wake();
    }

private:
    void wake()
    {
        if (m_wake[1] >= 0) {
            const char byte = 1;
            [[maybe_unused]] const ssize_t n = ::write(m_wake[1], &byte, 1);
        }
    }

    void work()
    {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(m_jobsMutex);
                m_jobsChanged.wait(lock, [this] { return !m_jobs.empty() || m_noMoreJobs; });
                if (m_jobs.empty())
                    return;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
        }
    }

    void pollLoop()
    {
        std::vector<pollfd> fds;
        for (;;) {
            fds.assign(1, pollfd { m_wake[0], POLLIN, 0 });
            Clock::time_point next = Clock::now() + milliseconds(1000);
            {
                std::lock_guard lock(m_parkedMutex);
                if (m_shutDown || m_stopping) {
                    m_parked.clear();
                    return;
                }
                for (const auto &[fd, c] : m_parked) {
                    fds.push_back({ fd, POLLIN, 0 });
                    next = std::min(next, c->deadline);
                }
            }
            const int n = ::poll(fds.data(), nfds_t(fds.size()), millisecondsUntil(next));
            if (n < 0 && errno != EINTR)
                continue;
            if (fds[0].revents) {
                char sink[256];
                while (::read(m_wake[0], sink, sizeof sink) > 0) { }
            }
            std::vector<std::shared_ptr<Connection>> ready;
            {
                std::lock_guard lock(m_parkedMutex);
                for (size_t i = 1; i < fds.size(); ++i) {
                    if (!fds[i].revents)
                        continue;
                    const auto it = m_parked.find(fds[i].fd);
                    if (it == m_parked.end())
                        continue;
                    Connection &c = *it->second;
                    if (c.draining) {
                        if (!drain(c))
                            m_parked.erase(it);
                        continue;
                    }
                    const bool open = receive(c);
                    if (requestReady(c.pendingBytes())) {
                        ready.push_back(std::move(it->second));
                        m_parked.erase(it);
                        continue;
                    }
                    if (!open) {
                        m_parked.erase(it);
                        continue;
                    }
                    if (!c.requestStarted) {
                        c.startRequestIfPending();
                        c.deadline = c.requestStart + m_server.limits().requestTimeout;
                    }
                }
                const Clock::time_point now = Clock::now();
                for (auto it = m_parked.begin(); it != m_parked.end();) {
                    Connection &c = *it->second;
                    if (c.deadline > now) {
                        ++it;
                    } else if (c.requestStarted && !c.draining) {
                        refuseTimedOut(c);
                        ++it;
                    } else {
                        it = m_parked.erase(it);
                    }
                }
            }
            for (std::shared_ptr<Connection> &c : ready) {
                c->startRequestIfPending();
                run([server = &m_server, c = std::move(c)] { server->serveConnection(c); });
            }
        }
    }

    // Reads what has arrived into the connection's buffer, up to what one
    // request may bring before a worker takes it; false when the client has
    // closed its side or the connection failed.
    static bool receive(Connection &c)
    {
        if (c.pendingOffset > 0) {
            c.pending.erase(0, c.pendingOffset);
            c.pendingOffset = 0;
        }
        char buffer[65536];
        while (c.pending.size() < kHeaderBytes + kBodyPrereadBytes) {
            const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0) {
                c.pending.append(buffer, size_t(n));
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        }
        return true;
    }

    // A request that did not arrive in time is answered 408, and the
    // connection drained for a while so that the client reads the answer.
    static void refuseTimedOut(Connection &c)
    {
        qCWarning(lcBackend).noquote()
            << QStringLiteral("refused a request (408) from %1: request read timed out")
                   .arg(QString::fromStdString(c.address).left(64));
        static const std::string answer = [] {
            const std::string body = "request read timed out\n";
            return "HTTP/1.1 408 Request Timeout\r\nContent-Type: text/plain\r\nContent-Length: "
                + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
        }();
        [[maybe_unused]] const ssize_t n
            = ::send(c.fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        ::shutdown(c.fd, SHUT_WR);
        c.pending.clear();
        c.pendingOffset = 0;
        c.requestStarted = false;
        c.draining = true;
        c.deadline = Clock::now() + kDrainTime;
    }

    // Reads and drops what a refused client still sends; false when the
    // connection is done with.
    static bool drain(Connection &c)
    {
        char sink[65536];
        const ssize_t n = ::recv(c.fd, sink, sizeof sink, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            return false;
        c.drained += size_t(std::max<ssize_t>(n, 0));
        return c.drained < kDrainBytes;
    }

    BackendServer &m_server;
    const std::atomic<bool> &m_stopping;
    std::atomic<bool> m_shutDown { false };
    int m_wake[2] = { -1, -1 };

    std::mutex m_jobsMutex;
    std::condition_variable m_jobsChanged;
    std::deque<std::function<void()>> m_jobs;
    bool m_noMoreJobs = false;
    std::vector<std::thread> m_workers;

    std::thread m_poller;
    std::mutex m_parkedMutex;
    std::unordered_map<int, std::shared_ptr<Connection>> m_parked;
};

BackendServer::BackendServer(const ServerLimits &limits)
    : m_limits(limits)
{
    using std::chrono::duration_cast;
    using std::chrono::seconds;
    // httplib names these in its Keep-Alive header and sets them on each
    // accepted socket; our own handling below enforces them.
    set_keep_alive_max_count(size_t(std::max(1, limits.requestsPerConnection)));
    set_keep_alive_timeout(std::max<time_t>(1, duration_cast<seconds>(limits.idleTimeout).count()));
    set_read_timeout(limits.readTimeout);
    set_write_timeout(limits.writeTimeout);
    new_task_queue = [this] {
        auto *pool = new Pool(*this, m_stopping);
        m_pool = pool;
        return pool;
    };
}

BackendServer::~BackendServer() = default;

int BackendServer::bindLoopback(int port)
{
    const int bound
        = port == 0 ? bind_to_any_port("127.0.0.1") : (bind_to_port("127.0.0.1", port) ? port : -1);
    // httplib listens with a backlog of 5: a burst of connections would wait
    // for SYN retries while the accept loop is as fast as the kernel.
    if (bound > 0)
        ::listen(svr_sock_, SOMAXCONN);
    return bound;
}

bool BackendServer::serve()
{
    const bool listened = listen_after_bind();
    m_served = true;
    return listened;
}

void BackendServer::stopServing()
{
    m_stopping = true;
    // httplib's stop() does nothing until the accept loop runs.
    while (!is_running() && !m_served)
        std::this_thread::sleep_for(milliseconds(5));
    stop();
}

void BackendServer::closeAfterThisAnswer()
{
    t_closeAfter = true;
}

std::string BackendServer::currentClient()
{
    return t_client ? *t_client : std::string();
}

bool BackendServer::currentRequestTimedOut()
{
    return t_timedOut && *t_timedOut;
}

const char *BackendServer::admit(const std::string &address)
{
    std::lock_guard lock(m_admission);
    if (m_stopping)
        return "the server is stopping";
    if (m_open >= m_limits.connections)
        return "too many connections";
    int &mine = m_openPerClient[address];
    if (mine >= m_limits.connectionsPerClient)
        return "too many connections from this address";
    ++mine;
    ++m_open;
    return nullptr;
}

void BackendServer::release(const std::string &address)
{
    std::lock_guard lock(m_admission);
    --m_open;
    const auto it = m_openPerClient.find(address);
    if (it != m_openPerClient.end() && --it->second <= 0)
        m_openPerClient.erase(it);
}

bool BackendServer::process_and_close_socket(socket_t sock)
{
    int port = 0;
    std::string address = peerAddress(sock, &port);
    if (const char *why = admit(address)) {
        qCWarning(lcBackend).noquote() << QStringLiteral("refused connection from %1: %2")
                                              .arg(QString::fromStdString(address), QLatin1String(why));
        const std::string body = std::string(why) + "\n";
        const std::string answer
            = "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain\r\nContent-Length: "
            + std::to_string(body.size()) + "\r\nRetry-After: 1\r\nConnection: close\r\n\r\n" + body;
        [[maybe_unused]] const ssize_t n
            = ::send(sock, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        ::shutdown(sock, SHUT_WR);
        ::close(sock);
        return false;
    }
    auto connection = std::make_shared<Connection>(*this, sock, std::move(address), port);
    if (Pool *pool = m_pool)
        pool->park(std::move(connection), m_limits.idleTimeout);
    return true;
}

void BackendServer::serveConnection(const std::shared_ptr<Connection> &c)
{
    for (;;) {
        if (m_stopping)
            return;
        ConnectionStream stream(*c, m_limits, m_stopping);
        const bool last = c->requestsLeft <= 1;
        bool closed = false;
        t_closeAfter = false;
        t_client = &c->address;
        t_timedOut = stream.timedOutFlag();
        const bool answered = process_request(stream, last, closed, nullptr);
        t_client = nullptr;
        t_timedOut = nullptr;
        if (!answered && stream.bytesRead() > 0 && stream.bytesWritten() == 0)
            qCWarning(lcBackend).noquote()
                << QStringLiteral("dropped an unanswered request from %1 after %2 bytes%3")
                       .arg(QString::fromStdString(c->address))
                       .arg(stream.bytesRead())
                       .arg(stream.timedOut() ? QStringLiteral(": read timed out") : QString());
        if (answered && t_closeAfter) {
            t_closeAfter = false;
            ::shutdown(c->fd, SHUT_WR);
            c->draining = true;
            if (Pool *pool = m_pool)
                pool->park(c, kDrainTime);
            return;
        }
        if (!answered || closed || last)
            return;
        --c->requestsLeft;
        c->requestStarted = false;
        // A pipelined request already in whole is answered at once; the
        // rest of one is waited for without a worker.
        if (requestReady(c->pendingBytes())) {
            c->startRequestIfPending();
            continue;
        }
        if (Pool *pool = m_pool)
            pool->park(c, m_limits.idleTimeout);
        return;
    }
}
