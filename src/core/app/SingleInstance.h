// One running program per library: the first start listens on a local
// socket named after the user and the data folder; a later start hands its
// book files to it (InstanceMessage) and quits instead of opening a second
// window on the same library store.
//
// Main thread (it owns a QLocalServer and its sockets).
#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // The socket name for the current user and data folder ($HOME/.data).
    static QString defaultServerName();

    // Hands `files` (absolute paths, may be empty) to a running instance
    // listening on `serverName` and waits up to `timeoutMs` for its answer.
    // True when it took them; false when none runs or it did not answer.
    // Blocks the calling thread.
    static bool sendToRunning(const QString &serverName, const QStringList &files, int timeoutMs = 5000);

    // Starts listening as the running instance. A socket file left by a
    // program that is gone is removed first; false (with a warning in the
    // log) when another instance answers there, or the socket cannot be made.
    bool listen(const QString &serverName);
    QString serverName() const;

signals:
    // A later start asked to open `files` (possibly none: show the window).
    void filesReceived(const QStringList &files);

private:
    void acceptConnections();

    QLocalServer *m_server;
};
