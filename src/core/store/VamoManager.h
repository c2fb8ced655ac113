// The profile server's client: the password grant, the account profile,
// the password-reset page, and the stored access token (KeyChainStore
// "token").
//
// Main thread only; completions run on the main thread.
#pragma once

#include "ApiRequest.h"
#include "KeyChainStore.h"

#include <QNetworkAccessManager>
#include <QUrl>
#include <functional>
#include <optional>

class ServerConfig;

// (result, error): the answer's JSON, and an error as ApiError describes.
using VamoCompletion = std::function<void(const QVariant &result, const std::optional<ApiError> &error)>;

class VamoManager
{
public:
    explicit VamoManager(const ServerConfig &servers);

    std::optional<QString> token() { return m_keychain.token(); }
    bool isLogined() { return token().has_value(); }
    // Whether the token could not be read (the keyring locked or its prompt
    // cancelled): absent then does not mean signed out.
    bool tokenUnreadable() { return m_keychain.tokenUnreadable(); }
    // Stores or, with absent, deletes the access token.
    bool writeToken(const std::optional<QString> &token) { return m_keychain.writeToken(token); }

    // POST "/oauth/token" (10 s): the password grant.
    void login(const QString &loginId, const QString &password, VamoCompletion completion);
    // GET "/api/account" (30 s) with the bearer token.
    void getUserInfo(VamoCompletion completion);

    ApiRequest makeRequest(const QString &path, const QByteArray &method, const ApiParams &params,
        const ApiParams &headers, int timeoutMs) const;
    void requestAPI(const QString &path, const QByteArray &method, const ApiParams &params,
        const ApiParams &headers, VamoCompletion completion);
    void requestAPIForLogin(const QString &path, const QByteArray &method, const ApiParams &params,
        const ApiParams &headers, VamoCompletion completion);

    // The password-reset page, and opening it in the default browser.
    QUrl passwordResetUrl() const;
    void resetPassword() const;
    // The sign-up page and the two addresses the sign-up sheet watches.
    QUrl signUpUrl() const;
    QString usersUrl() const;
    QString homeIndexUrl() const;

private:
    const ServerConfig &m_servers;
    KeyChainStore m_keychain;
    QNetworkAccessManager m_network;
};
