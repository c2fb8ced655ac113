// Faults on demand, so that tests exercise the client's failure handling
// over real HTTP: the next N requests to a path answer with a given status
// and body, arrive late, or lose their connection.
#pragma once

#include <QHash>
#include <QMutex>
#include <QString>
#include <optional>

struct Fault {
    int status = 0; // 0: answer normally (after any delay)
    QByteArray body;
    QByteArray contentType = "text/plain";
    int delayMs = 0;
    bool drop = false; // close the connection mid-answer
    int times = 1; // requests affected; -1 for all until reset
};

class FaultInjector
{
public:
    void set(const QString &path, const Fault &fault);
    void reset();
    // The fault for this request path, counting it as used.
    std::optional<Fault> take(const QString &path);

private:
    QMutex m_mutex;
    QHash<QString, Fault> m_faults;
};
