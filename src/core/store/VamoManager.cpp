#include "VamoManager.h"

#include "core/platform/ServerConfig.h"

#include <QDesktopServices>

VamoManager::VamoManager(const ServerConfig &servers)
    : m_servers(servers)
{
}

ApiRequest VamoManager::makeRequest(const QString &path, const QByteArray &method, const ApiParams &params,
    const ApiParams &headers, int timeoutMs) const
{
    // The login id and password are escaped with encodeURI only.
    return buildApiRequest(m_servers.baseUrl(ServerConfig::Endpoint::Profile), path, method, params, headers,
        timeoutMs, ApiEscaping::PlatformThenEncodeURI, false,
        { QStringLiteral("username"), QStringLiteral("password") });
}

static ApiCompletion adapt(VamoCompletion completion)
{
    return [completion = std::move(completion)](const QVariant &result, const std::optional<ApiResponse> &,
               const std::optional<ApiError> &error) {
        if (completion)
            completion(result, error);
    };
}

void VamoManager::requestAPI(const QString &path, const QByteArray &method, const ApiParams &params,
    const ApiParams &headers, VamoCompletion completion)
{
    sendApiRequest(
        m_network, makeRequest(path, method, params, headers, 30000), adapt(std::move(completion)));
}

void VamoManager::requestAPIForLogin(const QString &path, const QByteArray &method, const ApiParams &params,
    const ApiParams &headers, VamoCompletion completion)
{
    sendApiRequest(
        m_network, makeRequest(path, method, params, headers, 10000), adapt(std::move(completion)));
}

void VamoManager::login(const QString &loginId, const QString &password, VamoCompletion completion)
{
    requestAPIForLogin(QStringLiteral("/oauth/token"), "POST",
        { { QStringLiteral("grant_type"), QStringLiteral("password") },
            { QStringLiteral("username"), loginId }, { QStringLiteral("password"), password },
            { QStringLiteral("client_id"), m_servers.clientId },
            { QStringLiteral("client_secret"), m_servers.clientSecret } },
        {}, std::move(completion));
}

void VamoManager::getUserInfo(VamoCompletion completion)
{
    requestAPI(QStringLiteral("/api/account"), "GET", {},
        { { QStringLiteral("Authorization"), QStringLiteral("Bearer %1").arg(token().value_or(QString())) } },
        std::move(completion));
}

QUrl VamoManager::passwordResetUrl() const
{
    return QUrl(m_servers.baseUrl(ServerConfig::Endpoint::Profile) + QStringLiteral("/users/password/new"));
}

void VamoManager::resetPassword() const
{
    QDesktopServices::openUrl(passwordResetUrl());
}

QUrl VamoManager::signUpUrl() const
{
    return QUrl(m_servers.baseUrl(ServerConfig::Endpoint::Profile) + QStringLiteral("/users/sign_up"));
}

QString VamoManager::usersUrl() const
{
    return m_servers.baseUrl(ServerConfig::Endpoint::Profile) + QStringLiteral("/users");
}

QString VamoManager::homeIndexUrl() const
{
    return m_servers.baseUrl(ServerConfig::Endpoint::Profile) + QStringLiteral("/home/index");
}
