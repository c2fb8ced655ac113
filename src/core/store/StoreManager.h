// The store's client: the device identity ("uuid" of the configuration
// dictionary), the store token of this run, the four request builders, and
// the store operations (store token, sign-in checks, device release, device
// report, store page requests, logout).
//
// Main thread only; completions run on the main thread. The application
// makes one at start-up and hands it down; tests make their own.
#pragma once

#include "ApiRequest.h"
#include "KeyChainStore.h"

#include <QNetworkAccessManager>
#include <QString>
#include <optional>

class ConfigDictionary;
class ServerConfig;
class VamoManager;

class StoreManager
{
public:
    // `vamo` gives the profile token to deleteUnit(); it must outlive this.
    StoreManager(const ServerConfig &servers, ConfigDictionary &config, VamoManager &vamo);

    const QString &uuid() const { return m_uuid; }
    const std::optional<QString> &token() const { return m_token; }
    void setToken(const std::optional<QString> &token);

    // Request builders, named after the server they go to. Store API: the
    // ordinary one (30 s) and the one of the sign-in (10 s, so a slow store
    // does not hold the sheet); store web: with the store token (30 s) and
    // for a device (30 s, parameters escaped once instead of twice).
    ApiRequest makeStoreApiRequest(const QString &path, const QByteArray &method, const ApiParams &params,
        const ApiParams &headers) const;
    ApiRequest makeStoreApiLoginRequest(const QString &path, const QByteArray &method,
        const ApiParams &params, const ApiParams &headers) const;
    ApiRequest makeStoreWebTokenRequest(const QString &path, const QByteArray &method,
        const ApiParams &params, const ApiParams &headers) const;
    ApiRequest makeStoreWebDeviceRequest(const QString &path, const QByteArray &method,
        const ApiParams &params, const ApiParams &headers) const;

    void requestAPI(const QString &path, const QByteArray &method, const ApiParams &params,
        const ApiParams &headers, ApiCompletion completion);
    void requestAPIForLogin(const QString &path, const QByteArray &method, const ApiParams &params,
        const ApiParams &headers, ApiCompletion completion);
    void requestAPIToken(const QString &path, const QByteArray &method, const ApiParams &params,
        const ApiParams &headers, ApiCompletion completion);
    void requestAPITokenOfDevice(const QString &path, const QByteArray &method, const ApiParams &params,
        const ApiParams &headers, ApiCompletion completion);

    // GET "/api/token"; nothing is sent (and the completion never runs)
    // without a profile token. The store token is the answer's "token" header.
    void getTavroTokenWithVamoToken(const std::optional<QString> &vamoToken, ApiCompletion completion);
    // POST "/api/login", the silent check: sets "accountLift" to "1" when the
    // answer has both "success" and "unitList", else "0".
    void loginWithVamoToken(const QString &vamoToken, ApiCompletion completion);
    // POST "/api/login" after an interactive sign-in: "accountLift" = "0"
    // when the answer has "success" and no "unitList".
    void login(const QString &vamoToken, ApiCompletion completion);
    // DELETE "/api/user/device"; nothing without a profile token.
    void deleteUnit(const QString &unitId, ApiCompletion completion);
    // GET "/rest/setUnitInfo.php" with this computer's system for the
    // account `userId` (the library's signed-in user); logged only.
    void setDeviceInfos(const std::optional<QString> &userId);
    // "PRETTY_NAME" of /etc/os-release (or "Linux" when unreadable).
    static QString deviceInfos();

    // The POST requests that open the store top, my menu and the acquired
    // list; absent without a store token.
    std::optional<ApiRequest> requestForStoreTop(const std::optional<QString> &vamoToken,
        const std::optional<QString> &tavroToken, const std::optional<QString> &tavroId) const;
    std::optional<ApiRequest> requestForMyMenu(const std::optional<QString> &vamoToken,
        const std::optional<QString> &tavroToken, const std::optional<QString> &tavroId) const;
    std::optional<ApiRequest> requestForDLHis(const std::optional<QString> &vamoToken,
        const std::optional<QString> &tavroToken, const std::optional<QString> &tavroId) const;

    // Removes the stored sign-in and forgets the store token made with it
    // (a later store page then asks for a sign-in instead of using it).
    void logout();

    QNetworkAccessManager &network() { return m_network; }

private:
    std::optional<ApiRequest> pageRequest(const QString &path, const std::optional<QString> &vamoToken,
        const std::optional<QString> &tavroToken, const std::optional<QString> &tavroId) const;

    const ServerConfig &m_servers;
    VamoManager &m_vamo;
    QString m_uuid;
    KeyChainStore m_keychain;
    std::optional<QString> m_token;
    QNetworkAccessManager m_network;
};
