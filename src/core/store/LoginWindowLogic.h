// The sign-in sheet's logic: the sign-in sequence with its messages, the
// device list when an account has three devices, the sign-up hand-over, and
// removing the previous account's store books when another account signs
// in (AccountChange). The sheet itself is a
// thin view over this class (LoginWindowView). Main thread only.
#pragma once

#include "DevicesWindowLogic.h"
#include "RegisterWindowLogic.h"
#include "core/library/Library.h"

#include <QString>
#include <optional>

class LoginWindowLogic;
class MessagePresenter;
class StoreManager;
class VamoManager;

class LoginWindowDelegate
{
public:
    virtual ~LoginWindowDelegate() = default;
    virtual void didLoginWindow(LoginWindowLogic *sheet, bool success) = 0;
};

// What the sheet shows on the logic's behalf.
class LoginWindowView
{
public:
    virtual ~LoginWindowView() = default;
    virtual void setFields(const QString &loginId, const QString &password) = 0;
    virtual void showDevicesSheet(DevicesWindowLogic &sheet) = 0;
    virtual void closeDevicesSheet() = 0;
    virtual void showRegisterSheet(RegisterWindowLogic &sheet) = 0;
    virtual void closeRegisterSheet() = 0;
};

class LoginWindowLogic : public DevicesWindowDelegate, public RegisterWindowDelegate
{
public:
    static const QString kConnectionError; // "サーバに接続できませんでした、…"
    static const QString kConnectionTitle; // "接続エラー"
    static const QString kCredentialsError; // "ログインID、またはパスワードが違います。"
    static const QString kCredentialsTitle; // "認証エラー"
    static const QString kDeviceLimitError; // "デバイス制限\bエラーです。…"
    static const QString kDeviceLimitTitle; // "台数制限エラー"

    // `library` keeps the signed-in account and loses the previous
    // account's store books; its store must outlive the logic.
    LoginWindowLogic(
        const Library &library, VamoManager &vamo, StoreManager &store, MessagePresenter &messages);

    QString txtID;
    QString txtPass;
    LoginWindowDelegate *parent = nullptr;
    LoginWindowView *view = nullptr;
    bool tryLogin = false;

    DevicesWindowLogic &devicesWindow() { return m_devices; }
    RegisterWindowLogic &registerWindow() { return m_register; }

    void tapLogin() { recheck(); }
    void tapCancel();
    void tapRegister();
    void resetPassword();
    // The sign-in sequence with txtID and txtPass.
    void recheck();
    // A change of account away from `previousUserId`: removes that
    // account's store books with their side files and records
    // (AccountChange::apply); books from disk and samples stay.
    void deleteBook(const std::optional<QString> &previousUserId);

    void didRegisgerWindow(RegisterWindowLogic *sheet) override;
    void didDevicesWindow(DevicesWindowLogic *sheet, bool success) override;

private:
    void storeLogin(const QString &accessToken);

    Library m_library;
    VamoManager &m_vamo;
    StoreManager &m_store;
    MessagePresenter &m_messages;
    DevicesWindowLogic m_devices;
    RegisterWindowLogic m_register;
};
