// The process-wide notification hub ("reloadshelf", "analyzeDic",
// "SyncDone"). post() may be called from any thread; each observer is called
// on the thread of its context object (queued when that is another thread).
#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>

class NotificationCenter : public QObject
{
    Q_OBJECT
public:
    static NotificationCenter &defaultCenter();

    void post(const QString &name, const QVariant &object = {});

    // Calls `handler` with the object of every notification named `name`
    // until `context` is destroyed or the returned connection is
    // disconnected.
    QMetaObject::Connection observe(
        const QString &name, QObject *context, std::function<void(const QVariant &)> handler);

signals:
    void posted(const QString &name, const QVariant &object);
};
