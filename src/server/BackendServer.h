// The backend's HTTP server: cpp-httplib parses requests and runs the
// routes, behind connection handling of our own, so that no client can take
// the workers away from the others.
//
// - Every connection counts against a cap per client address and an overall
//   cap as it is accepted; one over either gets a 503 and is closed at once.
//   Accepting never waits for a worker.
// - A connection holds no worker until a whole request has arrived: one
//   poll() thread reads its headers (and a body of modest size), so slow or
//   silent clients cost the others nothing. A connection that stays silent
//   for the idle time-out is closed; a request whose headers (and that body)
//   are not in within the request time-out of its first byte gets a 408.
// - What a worker still reads (a large body) is bounded per read and, with
//   the headers, by the request time-out as a whole.
// - A connection whose request was refused before its body was read is
//   drained for a short while before it is closed, so that the client reads
//   the refusal instead of a reset.
//
// All public functions may be called from any thread.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

struct ServerLimits {
    int workers = 16;
    int connections = 512; // open at once, all clients together
    int connectionsPerClient = 32; // open at once from one address
    std::chrono::milliseconds idleTimeout { 5000 }; // silence before a request
    std::chrono::milliseconds readTimeout { 5000 }; // any one read of a request
    std::chrono::milliseconds requestTimeout { 20000 }; // one whole request, from its first byte
    std::chrono::milliseconds writeTimeout { 10000 }; // any one write of an answer
    int requestsPerConnection = 100;
};

class BackendServer : public httplib::Server
{
public:
    explicit BackendServer(const ServerLimits &limits);
    ~BackendServer() override;
    BackendServer(const BackendServer &) = delete;
    BackendServer &operator=(const BackendServer &) = delete;

    // Binds to 127.0.0.1:`port` (0: any free port). The port, or -1.
    int bindLoopback(int port);
    // Serves until stopServing(); false when the listening socket failed.
    bool serve();
    // Stops accepting, closes waiting connections; requests being handled
    // finish. serve() returns once they have.
    void stopServing();
    const ServerLimits &limits() const { return m_limits; }

    // Called from a handler or hook: the connection ends after the answer
    // now being made (its request body may not have been read).
    static void closeAfterThisAnswer();
    // For the log of the request being handled on this thread: the client's
    // address (known even when the request could not be parsed), and
    // whether reading the request timed out.
    static std::string currentClient();
    static bool currentRequestTimedOut();

    struct Connection;
    class Pool;

private:
    bool process_and_close_socket(socket_t sock) override;

    // Null when the connection may stay; else why it may not.
    const char *admit(const std::string &address);
    void release(const std::string &address);
    void serveConnection(const std::shared_ptr<Connection> &connection);

    const ServerLimits m_limits;
    std::atomic<bool> m_stopping { false };
    std::atomic<bool> m_served { false };
    std::atomic<Pool *> m_pool { nullptr };
    std::mutex m_admission;
    int m_open = 0;
    std::unordered_map<std::string, int> m_openPerClient;
};
