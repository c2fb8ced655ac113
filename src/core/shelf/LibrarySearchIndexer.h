// Keeps the library's full-text index up to date in the background: an
// update runs on this object's worker, at the lowest priority, when asked (at start, and on every
// "reloadshelf", which installs post), reporting progress; a request while
// one runs makes it run once more afterwards. Searches run on the calling
// thread against their own connection, so they never wait for an update.
//
// Threads: create, call and destroy on the main thread; progress and
// finished arrive there. The destructor cancels a running update and waits.
#pragma once

#include "LibrarySearchIndex.h"

#include <QObject>
#include <QThreadPool>
#include <atomic>
#include <memory>

class LibrarySearchIndexer : public QObject
{
    Q_OBJECT
public:
    // Indexes the books of `contentsFolder` into the index at `indexPath`
    // (the data folder's by default).
    explicit LibrarySearchIndexer(
        const QString &contentsFolder = {}, const QString &indexPath = {}, QObject *parent = nullptr);
    ~LibrarySearchIndexer() override;

    // Starts an update (or queues one behind the running one).
    void refresh();
    // Updates on every "reloadshelf" from now on.
    void followInstalls();
    bool isUpdating() const { return m_running; }
    // Items of the index holding the term; the index as it is now.
    QList<LibrarySearchIndex::Hit> search(const QString &term, int limit = 1000) const;

signals:
    void progress(int done, int total);
    // An update ended; `ok` is false when the index could not be written.
    void finished(bool ok);

private:
    void start();

    QString m_contents;
    QString m_indexPath;
    bool m_running = false;
    bool m_again = false;
    std::shared_ptr<std::atomic_bool> m_cancel = std::make_shared<std::atomic_bool>(false);
    QThreadPool m_pool;
};
