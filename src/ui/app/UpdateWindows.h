// The update and notice windows: invisible until the manifest says there
// is something to show (UpdateCheck decides), closed otherwise. Each is sized
// to its text and title. Both delete themselves when closed. Main thread
// only.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QVariantMap>

class ServerConfig;
class UpdateCheck;

class UpdateWindow : public QDialog
{
    Q_OBJECT
public:
    UpdateWindow(const ServerConfig &servers, QWidget *parent);
    ~UpdateWindow() override;
    QVariantMap updateInfo;

private:
    UpdateCheck *m_check;
    QLabel *m_text;
};

class QLBNotificationWindow : public QDialog
{
    Q_OBJECT
public:
    QLBNotificationWindow(const ServerConfig &servers, QWidget *parent);
    ~QLBNotificationWindow() override;
    QVariantMap info;
    qint64 remoteVersion = -1;

    // The notice waits for `earlier` (the update window; not owned) to be
    // gone before it shows, rather than opening over it. Null: no wait.
    void showAfter(QWidget *earlier);

protected:
    // However it is closed (its button, the title bar, Esc: each ends
    // here), a notice that was shown counts as seen: its version is stored.
    void reject() override;

private:
    void showWhenFree();

    UpdateCheck *m_check;
    QLabel *m_text;
    QPointer<QWidget> m_earlier;
    bool m_ready = false; // a notice to show has arrived
};
