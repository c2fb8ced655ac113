#include "LoginWindowLogic.h"

#include "StoreManager.h"
#include "VamoManager.h"
#include "core/library/AccountChange.h"
#include "core/platform/MessagePresenter.h"
#include "core/platform/UserDefaults.h"
#include "core/util/DictionaryHelpers.h"
#include "core/util/LogRedaction.h"
#include "core/util/Logging.h"

const QString LoginWindowLogic::kConnectionError
    = QStringLiteral("サーバに接続できませんでした、しばらくしてから再度試してください。");
const QString LoginWindowLogic::kConnectionTitle = QStringLiteral("接続エラー");
const QString LoginWindowLogic::kCredentialsError
    = QStringLiteral("ログインID、またはパスワードが違います。");
const QString LoginWindowLogic::kCredentialsTitle = QStringLiteral("認証エラー");
const QString LoginWindowLogic::kDeviceLimitError = QStringLiteral("デバイス制限") + QChar(0x0008)
    + QStringLiteral("エラーです。何れかのデバイスの使用を解除してください。");
const QString LoginWindowLogic::kDeviceLimitTitle = QStringLiteral("台数制限エラー");

LoginWindowLogic::LoginWindowLogic(
    const Library &library, VamoManager &vamo, StoreManager &store, MessagePresenter &messages)
    : m_library(library)
    , m_vamo(vamo)
    , m_store(store)
    , m_messages(messages)
    , m_devices(store, messages)
    , m_register(vamo)
{
}

void LoginWindowLogic::tapCancel()
{
    if (parent)
        parent->didLoginWindow(this, false);
}

void LoginWindowLogic::tapRegister()
{
    m_register.parent = this;
    tryLogin = false;
    if (view)
        view->showRegisterSheet(m_register);
}

void LoginWindowLogic::resetPassword()
{
    m_vamo.resetPassword();
}

void LoginWindowLogic::recheck()
{
    LogRedaction::addSecret(txtPass);
    m_vamo.login(txtID, txtPass, [this](const QVariant &result, const std::optional<ApiError> &error) {
        const QVariantMap answer = result.toMap();
        if (answer.contains(QStringLiteral("access_token"))) {
            LogRedaction::addSecret(stringForKey(answer, QStringLiteral("access_token")).value_or(QString()));
            storeLogin(stringForKey(answer, QStringLiteral("access_token")).value_or(QString()));
            return;
        }
        const QString code = stringForKey(answer, QStringLiteral("error")).value_or(QString());
        if (!code.isEmpty())
            qCInfo(lcStore).noquote() << code + u'\n'
                    + stringForKey(answer, QStringLiteral("error_description")).value_or(QString());
        // Every failure to reach the server (refused, time-out, no network,
        // unknown host) is a connection error, not a wrong password.
        if (error && error->transport)
            m_messages.show(kConnectionError, kConnectionTitle);
        else
            m_messages.show(kCredentialsError, kCredentialsTitle);
    });
}

void LoginWindowLogic::storeLogin(const QString &accessToken)
{
    m_store.login(accessToken,
        [this, accessToken](const QVariant &result, const std::optional<ApiResponse> &,
            const std::optional<ApiError> &error) {
            if (error) {
                m_messages.error(error->description.isEmpty()
                        ? error->domain + u' ' + QString::number(error->code)
                        : error->description);
                return;
            }
            m_vamo.writeToken(accessToken);
            const QVariantMap answer = result.toMap();
            if (answer.value(QStringLiteral("success")).toBool()) {
                const std::optional<QString> previous = m_library.account().currentUserId();
                m_library.account().saveUserInfo(answer);
                UserDefaults::setValue(QString::fromLatin1(UserDefaults::accountLift), QStringLiteral("0"));
                UserDefaults::synchronize();
                qCInfo(lcStore) << "ログイン成功：accountLift ==" << QStringLiteral("0");
                // Another account's store books go; the first account on
                // this machine finds everything as it was.
                if (previous && !previous->isEmpty() && m_library.account().currentUserId() != previous) {
                    qCInfo(lcStore) << "本棚の書籍を削除する1~~~~";
                    deleteBook(previous);
                }
                if (parent)
                    parent->didLoginWindow(this, true);
                return;
            }
            const QVariantList units = answer.value(QStringLiteral("unitList")).toList();
            const QString message = stringForKey(answer, QStringLiteral("message")).value_or(QString());
            if (units.size() < 3) {
                if (!message.isEmpty())
                    m_messages.error(message);
                else
                    m_messages.show(kCredentialsError, kCredentialsTitle);
                return;
            }
            m_messages.show(kDeviceLimitError, kDeviceLimitTitle);
            m_devices.parent = this;
            m_devices.devices = units;
            m_devices.redisp();
            if (view)
                view->showDevicesSheet(m_devices);
        });
}

void LoginWindowLogic::deleteBook(const std::optional<QString> &previousUserId)
{
    const AccountChange::Plan done = AccountChange::apply(m_library.books(), previousUserId);
    if (!done.removedBooks.isEmpty())
        qCInfo(lcStore) << "removed the previous account's store books:" << done.removedBooks;
}

void LoginWindowLogic::didRegisgerWindow(RegisterWindowLogic *sheet)
{
    if (tryLogin)
        return;
    if (sheet->info) {
        txtID = sheet->info->value(QStringLiteral("user")).toString();
        txtPass = sheet->info->value(QStringLiteral("pwd")).toString();
        if (view)
            view->setFields(txtID, txtPass);
    }
    if (view)
        view->closeRegisterSheet();
    recheck();
    tryLogin = true;
}

void LoginWindowLogic::didDevicesWindow(DevicesWindowLogic *, bool success)
{
    if (view)
        view->closeDevicesSheet();
    if (success)
        recheck();
}
