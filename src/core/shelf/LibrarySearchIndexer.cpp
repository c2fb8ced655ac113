#include "LibrarySearchIndexer.h"

#include "core/platform/DataFolder.h"
#include "core/util/NotificationCenter.h"

#include <QPointer>
#include <QThread>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace
{

// Indexing is never what the user waits for: the worker yields the CPU to
// the reader and the window. On Linux QThread's priorities do not reach
// ordinary threads, so the thread's own nice value is raised as well (it
// stays raised: the pool's thread does nothing else).
void lowerPriority()
{
    QThread::currentThread()->setPriority(QThread::LowestPriority);
#ifdef Q_OS_LINUX
    setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), 19);
#endif
}

} // namespace

LibrarySearchIndexer::LibrarySearchIndexer(
    const QString &contentsFolder, const QString &indexPath, QObject *parent)
    : QObject(parent)
    , m_contents(contentsFolder.isEmpty() ? DataFolder::contentsFolder() : contentsFolder)
    , m_indexPath(indexPath.isEmpty() ? LibrarySearchIndex::defaultPath() : indexPath)
{
    m_pool.setMaxThreadCount(1);
}

LibrarySearchIndexer::~LibrarySearchIndexer()
{
    m_cancel->store(true);
    m_pool.waitForDone();
}

void LibrarySearchIndexer::followInstalls()
{
    NotificationCenter::defaultCenter().observe(
        QStringLiteral("reloadshelf"), this, [this](const QVariant &) { refresh(); });
}

void LibrarySearchIndexer::refresh()
{
    if (m_running) {
        m_again = true;
        return;
    }
    start();
}

void LibrarySearchIndexer::start()
{
    m_running = true;
    m_again = false;
    QPointer<LibrarySearchIndexer> self(this);
    m_pool.start([self, this, contents = m_contents, path = m_indexPath, cancel = m_cancel] {
        lowerPriority();
        LibrarySearchIndex index(path);
        const bool ok = index.update(
            contents,
            [&](int done, int total) {
                QMetaObject::invokeMethod(
                    self.data(), [this, done, total] { emit progress(done, total); }, Qt::QueuedConnection);
            },
            cancel.get());
        if (cancel->load())
            return;
        QMetaObject::invokeMethod(
            self.data(),
            [this, ok] {
                m_running = false;
                emit finished(ok);
                if (m_again)
                    start();
            },
            Qt::QueuedConnection);
    });
}

QList<LibrarySearchIndex::Hit> LibrarySearchIndexer::search(const QString &term, int limit) const
{
    return LibrarySearchIndex(m_indexPath).search(term, limit);
}
