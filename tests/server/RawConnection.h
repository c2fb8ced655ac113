// Plain TCP connections to the backend, for what an HTTP client library will
// not send: idle sockets, dripped and malformed requests, connections from
// other loopback addresses (all of 127.0.0.0/8 is this machine).
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QUrl>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

class RawConnection
{
public:
    // Connects from `source` to the backend at `baseUrl`; isOpen() tells.
    RawConnection(const char *source, const QString &baseUrl)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (m_fd < 0)
            return;
        // Bounds connect() and send().
        timeval limit { 5, 0 };
        ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        sockaddr_in local {};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, source, &local.sin_addr);
        sockaddr_in remote {};
        remote.sin_family = AF_INET;
        remote.sin_port = htons(quint16(QUrl(baseUrl).port()));
        ::inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
        if (::bind(m_fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0
            || ::connect(m_fd, reinterpret_cast<sockaddr *>(&remote), sizeof remote) != 0)
            close();
    }
    ~RawConnection() { close(); }
    RawConnection(const RawConnection &) = delete;
    RawConnection &operator=(const RawConnection &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    // False when the server has closed or reset the connection.
    bool send(const QByteArray &bytes)
    {
        qsizetype sent = 0;
        while (m_fd >= 0 && sent < bytes.size()) {
            const ssize_t n
                = ::send(m_fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += n;
        }
        return m_fd >= 0;
    }

    // What arrives within `timeoutMs`, until `enough` is in it or the
    // server closes; received() keeps everything so far.
    QByteArray readUntil(const QByteArray &enough, int timeoutMs)
    {
        QElapsedTimer t;
        t.start();
        do {
            if (m_fd < 0 || m_received.contains(enough) || m_closedByPeer)
                break;
            pollfd p { m_fd, POLLIN, 0 };
            if (::poll(&p, 1, timeoutMs > 0 ? 50 : 0) <= 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                m_closedByPeer = true;
            else
                m_received.append(buffer, n);
        } while (t.elapsed() < timeoutMs);
        return m_received;
    }
    // Whatever is there now, without waiting.
    QByteArray poll() { return readUntil(QByteArray("\0never", 6), 0); }
    bool closedByPeer() const { return m_closedByPeer; }
    const QByteArray &received() const { return m_received; }

private:
    int m_fd = -1;
    QByteArray m_received;
    bool m_closedByPeer = false;
};
