#include "FaultInjector.h"

void FaultInjector::set(const QString &path, const Fault &fault)
{
    QMutexLocker lock(&m_mutex);
    m_faults.insert(path, fault);
}

void FaultInjector::reset()
{
    QMutexLocker lock(&m_mutex);
    m_faults.clear();
}

std::optional<Fault> FaultInjector::take(const QString &path)
{
    QMutexLocker lock(&m_mutex);
    auto it = m_faults.find(path);
    if (it == m_faults.end())
        return std::nullopt;
    const Fault fault = it.value();
    if (it->times > 0 && --it->times == 0)
        m_faults.erase(it);
    return fault;
}
