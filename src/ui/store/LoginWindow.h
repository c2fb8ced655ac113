// The sign-in sheet: login id, password, sign-in, cancel, sign-up and
// password reset. A thin view over LoginWindowLogic, which also owns the
// device-list and sign-up sheets' logic.
#pragma once

#include "core/store/LoginWindowLogic.h"

#include <QDialog>
#include <QLineEdit>
#include <memory>

class DevicesWindow;
class RegisterWindow;

class LoginWindow : public QDialog, public LoginWindowView
{
    Q_OBJECT
public:
    LoginWindow(const Library &library, VamoManager &vamo, StoreManager &store, MessagePresenter &messages,
        QWidget *parent);
    ~LoginWindow() override;

    LoginWindowLogic &logic() { return m_logic; }
    DevicesWindow *devicesWindow() const { return m_devices; }
    RegisterWindow *registerWindow() const { return m_register; }

    // LoginWindowView
    void setFields(const QString &loginId, const QString &password) override;
    void showDevicesSheet(DevicesWindowLogic &sheet) override;
    void closeDevicesSheet() override;
    void showRegisterSheet(RegisterWindowLogic &sheet) override;
    void closeRegisterSheet() override;

private:
    LoginWindowLogic m_logic;
    QLineEdit *m_id;
    QLineEdit *m_password;
    DevicesWindow *m_devices = nullptr;
    RegisterWindow *m_register = nullptr;
};
