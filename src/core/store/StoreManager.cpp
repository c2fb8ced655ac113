#include "StoreManager.h"

#include "VamoManager.h"
#include "core/platform/ConfigDictionary.h"
#include "core/platform/ServerConfig.h"
#include "core/platform/UserDefaults.h"
#include "core/util/LogRedaction.h"
#include "core/util/Logging.h"

#include <QCoreApplication>
#include <QFile>
#include <QUuid>

namespace
{

void setAccountLift(const QString &value)
{
    UserDefaults::setValue(QString::fromLatin1(UserDefaults::accountLift), value);
    UserDefaults::synchronize();
}

QString appVersion()
{
    return QCoreApplication::applicationVersion();
}

} // namespace

StoreManager::StoreManager(const ServerConfig &servers, ConfigDictionary &config, VamoManager &vamo)
    : m_servers(servers)
    , m_vamo(vamo)
{
    const QString stored = config.value(QStringLiteral("uuid")).toString();
    if (!stored.isEmpty()) {
        m_uuid = stored;
    } else {
        m_uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        config.setValue(QStringLiteral("uuid"), m_uuid);
        config.save();
    }
}

ApiRequest StoreManager::makeStoreApiRequest(
    const QString &path, const QByteArray &method, const ApiParams &params, const ApiParams &headers) const
{
    return buildApiRequest(m_servers.baseUrl(ServerConfig::Endpoint::StoreApi), path, method, params, headers,
        30000, ApiEscaping::PlatformThenEncodeURI);
}

ApiRequest StoreManager::makeStoreApiLoginRequest(
    const QString &path, const QByteArray &method, const ApiParams &params, const ApiParams &headers) const
{
    return buildApiRequest(m_servers.baseUrl(ServerConfig::Endpoint::StoreApi), path, method, params, headers,
        10000, ApiEscaping::PlatformThenEncodeURI);
}

ApiRequest StoreManager::makeStoreWebTokenRequest(
    const QString &path, const QByteArray &method, const ApiParams &params, const ApiParams &headers) const
{
    return buildApiRequest(m_servers.baseUrl(ServerConfig::Endpoint::StoreWeb), path, method, params, headers,
        30000, ApiEscaping::PlatformThenEncodeURI);
}

ApiRequest StoreManager::makeStoreWebDeviceRequest(
    const QString &path, const QByteArray &method, const ApiParams &params, const ApiParams &headers) const
{
    return buildApiRequest(m_servers.baseUrl(ServerConfig::Endpoint::StoreWeb), path, method, params, headers,
        30000, ApiEscaping::PlatformOnly);
}

void StoreManager::requestAPI(const QString &path, const QByteArray &method, const ApiParams &params,
    const ApiParams &headers, ApiCompletion completion)
{
    sendApiRequest(m_network, makeStoreApiRequest(path, method, params, headers), std::move(completion));
}

void StoreManager::requestAPIForLogin(const QString &path, const QByteArray &method, const ApiParams &params,
    const ApiParams &headers, ApiCompletion completion)
{
    sendApiRequest(m_network, makeStoreApiLoginRequest(path, method, params, headers), std::move(completion));
}

void StoreManager::requestAPIToken(const QString &path, const QByteArray &method, const ApiParams &params,
    const ApiParams &headers, ApiCompletion completion)
{
    sendApiRequest(m_network, makeStoreWebTokenRequest(path, method, params, headers), std::move(completion));
}

void StoreManager::requestAPITokenOfDevice(const QString &path, const QByteArray &method,
    const ApiParams &params, const ApiParams &headers, ApiCompletion completion)
{
    sendApiRequest(
        m_network, makeStoreWebDeviceRequest(path, method, params, headers), std::move(completion));
}

void StoreManager::getTavroTokenWithVamoToken(
    const std::optional<QString> &vamoToken, ApiCompletion completion)
{
    if (!vamoToken)
        return;
    requestAPI(QStringLiteral("/api/token"), "GET",
        { { QStringLiteral("token"), *vamoToken }, { QStringLiteral("uid"), m_uuid } }, {},
        std::move(completion));
}

void StoreManager::loginWithVamoToken(const QString &vamoToken, ApiCompletion completion)
{
    requestAPIForLogin(QStringLiteral("/api/login"), "POST",
        { { QStringLiteral("token"), vamoToken }, { QStringLiteral("uid"), m_uuid } }, {},
        [completion = std::move(completion)](const QVariant &result,
            const std::optional<ApiResponse> &response, const std::optional<ApiError> &error) {
            if (error) {
                setAccountLift(QStringLiteral("0"));
                if (completion)
                    completion(result, response, error);
                return;
            }
            const QVariantMap m = result.toMap();
            if (m.contains(QStringLiteral("success")) && m.contains(QStringLiteral("unitList"))) {
                setAccountLift(QStringLiteral("1"));
                qCInfo(lcStore) << "accountLift ="
                                << UserDefaults::stringForKey(QString::fromLatin1(UserDefaults::accountLift))
                                       .value_or(QString());
            } else {
                setAccountLift(QStringLiteral("0"));
            }
            if (completion)
                completion(result, response, std::nullopt);
        });
}

void StoreManager::login(const QString &vamoToken, ApiCompletion completion)
{
    requestAPIForLogin(QStringLiteral("/api/login"), "POST",
        { { QStringLiteral("token"), vamoToken }, { QStringLiteral("uid"), m_uuid } }, {},
        [completion = std::move(completion)](const QVariant &result,
            const std::optional<ApiResponse> &response, const std::optional<ApiError> &error) {
            const QVariantMap m = result.toMap();
            if (m.contains(QStringLiteral("success")) && !m.contains(QStringLiteral("unitList")))
                setAccountLift(QStringLiteral("0"));
            if (completion)
                completion(result, response, error);
        });
}

void StoreManager::deleteUnit(const QString &unitId, ApiCompletion completion)
{
    const auto token = m_vamo.token();
    if (!token)
        return;
    requestAPI(QStringLiteral("/api/user/device"), "DELETE",
        { { QStringLiteral("token"), *token }, { QStringLiteral("uid"), m_uuid },
            { QStringLiteral("id"), unitId } },
        {}, std::move(completion));
}

QString StoreManager::deviceInfos()
{
    QFile f(QStringLiteral("/etc/os-release"));
    QString info = QStringLiteral("Linux");
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : f.readAll().split('\n')) {
            if (!line.startsWith("PRETTY_NAME="))
                continue;
            QString value = QString::fromUtf8(line.mid(12)).trimmed();
            if (value.size() >= 2 && (value.startsWith(u'"') || value.startsWith(u'\''))
                && value.endsWith(value.at(0)))
                value = value.mid(1, value.size() - 2);
            if (!value.isEmpty())
                info = value;
        }
    }
    qCInfo(lcStore).noquote() << "Mac Version:\n" + info;
    return info;
}

void StoreManager::setToken(const std::optional<QString> &token)
{
    if (token)
        LogRedaction::addSecret(*token);
    m_token = token;
}

void StoreManager::setDeviceInfos(const std::optional<QString> &userId)
{
    const ApiParams params { { QStringLiteral("Authorization"), m_token.value_or(QString()) },
        { QStringLiteral("userId"), userId.value_or(QString()) },
        { QStringLiteral("tavroVersion"), appVersion() }, { QStringLiteral("unitInfo"), deviceInfos() } };
    // The token stays out of the log even where no redacting handler runs.
    ApiParams logged = params;
    logged.removeIf([](const QPair<QString, QString> &p) { return p.first == u"Authorization"; });
    qCInfo(lcStore) << "端末情報を取得 param:" << logged;
    requestAPITokenOfDevice(QStringLiteral("/rest/setUnitInfo.php"), "GET", params, {},
        [](const QVariant &result, const std::optional<ApiResponse> &, const std::optional<ApiError> &error) {
            if (result.toMap().value(QStringLiteral("result")).toBool())
                qCInfo(lcStore) << "端末情報を取得 成功";
            else
                qCInfo(lcStore) << "端末情報を取得 失敗:" << (error ? error->description : QString());
        });
}

std::optional<ApiRequest> StoreManager::pageRequest(const QString &path,
    const std::optional<QString> &vamoToken, const std::optional<QString> &tavroToken,
    const std::optional<QString> &tavroId) const
{
    if (!m_token)
        return std::nullopt;
    return makeStoreApiRequest(path, "POST",
        { { QStringLiteral("vamo_token"), vamoToken.value_or(QString()) },
            { QStringLiteral("tavro_token"), tavroToken.value_or(QString()) },
            { QStringLiteral("tavro_id"), tavroId.value_or(QString()) } },
        { { QStringLiteral("X-Tavro-Uid"), m_uuid }, { QStringLiteral("Authorization"), *m_token },
            { QStringLiteral("appVersion"), appVersion() } });
}

std::optional<ApiRequest> StoreManager::requestForStoreTop(const std::optional<QString> &vamoToken,
    const std::optional<QString> &tavroToken, const std::optional<QString> &tavroId) const
{
    return pageRequest(QStringLiteral("/store/index_m.php"), vamoToken, tavroToken, tavroId);
}

std::optional<ApiRequest> StoreManager::requestForMyMenu(const std::optional<QString> &vamoToken,
    const std::optional<QString> &tavroToken, const std::optional<QString> &tavroId) const
{
    return pageRequest(QStringLiteral("/store/mypage/index.php"), vamoToken, tavroToken, tavroId);
}

std::optional<ApiRequest> StoreManager::requestForDLHis(const std::optional<QString> &vamoToken,
    const std::optional<QString> &tavroToken, const std::optional<QString> &tavroId) const
{
    return pageRequest(QStringLiteral("/store/acquired_list.php"), vamoToken, tavroToken, tavroId);
}

void StoreManager::logout()
{
    m_keychain.writeToken(std::nullopt);
    m_token.reset();
}
