// The update and notice windows: invisible until the manifest says there
// is something to show (UpdateCheck decides), closed otherwise.
#pragma once

#include <QDialog>
#include <QLabel>
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

protected:
    // However it is closed (its button, the title bar, Esc: each ends
    // here), a notice that was shown counts as seen: its version is stored.
    void reject() override;

private:
    UpdateCheck *m_check;
    QLabel *m_text;
};
