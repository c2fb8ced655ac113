// One running program per library: the first start listens on a local
// socket named after the data folder in the user's private runtime folder;
// a later start hands its book files to it (InstanceMessage) and quits
// instead of opening a second window on the same library store.
//
// Another local user must neither receive the files nor stand in for the
// running program: the socket lives in a folder only the user can enter
// (runtimeFolder()), and both sides check that the other end of the
// connection runs as the same user (SO_PEERCRED) before anything is sent
// or taken.
//
// Main thread (it owns a QLocalServer and its sockets).
#pragma once

#include <QObject>
#include <QStringList>
#include <optional>

class QLocalServer;

class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // The socket path for the current user and data folder ($HOME/.data):
    // "tavro-<hash of the data folder>" in runtimeFolder(). Empty when the
    // user has no private folder for it (the program then runs without
    // handing files over).
    static QString defaultServerName();

    // A folder only the current user can enter: $XDG_RUNTIME_DIR when it is
    // an absolute path to a directory of the user's own with mode 0700,
    // else "<temp>/tavro-runtime-<uid>", made with mode 0700 (a folder of
    // that name that is not the user's own, a link, or that cannot be
    // made private is refused). Empty when neither will do.
    static QString runtimeFolder();

    // The user id of the process at the other end of the connected Unix
    // socket `descriptor`; absent when it cannot be read.
    static std::optional<uint> peerUserId(qintptr descriptor);
    // Whether a peer with user id `peer` may talk to a program of `self`:
    // the same user only; an unknown peer never.
    static bool isTrustedPeer(std::optional<uint> peer, uint self);

    // Hands `files` (absolute paths, may be empty) to a running instance
    // listening on `serverName` and waits up to `timeoutMs` for its answer.
    // True when it took them; false when none runs, the listener runs as
    // another user (nothing is sent then), or it did not answer.
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
