#include "AccountSession.h"

#include "core/platform/UserDefaults.h"
#include "core/store/StoreManager.h"
#include "core/store/VamoManager.h"
#include "core/util/ContextGuard.h"
#include "core/util/LogRedaction.h"
#include "core/util/Logging.h"
#include "core/util/NotificationCenter.h"

const QString AccountSession::kLiftedMessage = QStringLiteral(
    "端末の解除かログアウトが行われました。\n取得済み書籍を選択し、再度ログインしてください。");
const QString AccountSession::kWarning = QStringLiteral("警告");

AccountSession::AccountSession(
    AccountRepository account, StoreManager &store, VamoManager &vamo, AccountSessionUi &ui)
    : m_account(account)
    , m_store(store)
    , m_vamo(vamo)
    , m_ui(ui)
{
}

bool AccountSession::isLifted()
{
    const auto value = UserDefaults::stringForKey(QString::fromLatin1(UserDefaults::accountLift));
    return value && *value != u"0";
}

void AccountSession::setLifted(bool lifted)
{
    UserDefaults::setValue(
        QString::fromLatin1(UserDefaults::accountLift), lifted ? QStringLiteral("1") : QStringLiteral("0"));
    UserDefaults::synchronize();
}

void AccountSession::forgetTokenIfLifted()
{
    if (isLifted())
        m_vamo.writeToken(std::nullopt);
}

void AccountSession::takeToken(std::function<void(bool)> completion)
{
    m_completion = std::move(completion);
    forgetTokenIfLifted();
    const auto token = m_vamo.token();
    if (!token) {
        m_ui.presentLoginSheet();
        return;
    }
    m_store.loginWithVamoToken(*token,
        guardedBy(&m_context,
            [this](const QVariant &result, const std::optional<ApiResponse> &,
                const std::optional<ApiError> &error) {
                if (error) {
                    didTakeToken(false);
                    return;
                }
                m_vamo.writeToken(m_vamo.token());
                if (result.toMap().value(QStringLiteral("success")).toBool()) {
                    m_account.saveUserInfo(result.toMap());
                    didTakeToken(true);
                } else {
                    m_ui.presentLoginSheet();
                }
            }));
}

void AccountSession::checkToken(std::function<void(bool)> completion)
{
    m_completion = std::move(completion);
    const auto token = m_vamo.token();
    if (!token && m_vamo.tokenUnreadable()) {
        // The keyring is locked or its prompt was cancelled: the device was
        // not released, so nothing is lifted; the next action that needs
        // the account asks again.
        qCWarning(lcApp) << "the access token could not be read from the keyring";
        return;
    }
    if (!token) {
        setLifted(true);
        qCInfo(lcApp) << "~~~~~~~~~~~~~logout";
        m_ui.showLiftedWarning();
        return;
    }
    m_store.loginWithVamoToken(*token,
        guardedBy(&m_context,
            [this](
                const QVariant &, const std::optional<ApiResponse> &, const std::optional<ApiError> &error) {
                if (error)
                    return;
                m_vamo.writeToken(m_vamo.token());
                if (isLifted()) {
                    m_ui.showLiftedWarning();
                    m_ui.refreshTop();
                }
            }));
}

void AccountSession::didTakeToken(bool success)
{
    if (success)
        m_ui.refreshTopIfShown();
    if (m_completion) {
        auto completion = std::move(m_completion);
        m_completion = nullptr;
        completion(success);
    }
}

void AccountSession::didDevicesWindow(bool success)
{
    if (!success) {
        m_store.logout();
        NotificationCenter::defaultCenter().post(QStringLiteral("reloadshelf"));
        didTakeToken(false);
        return;
    }
    takeToken(std::move(m_completion));
}

void AccountSession::fetchStoreToken(std::function<void()> done)
{
    m_store.getTavroTokenWithVamoToken(m_vamo.token(),
        guardedBy(&m_context,
            [this, done = std::move(done)](const QVariant &, const std::optional<ApiResponse> &response,
                const std::optional<ApiError> &) {
                const QByteArray token = response ? response->header("token") : QByteArray();
                qCInfo(lcStore) << "store token" << (token.isEmpty() ? "not given" : "received");
                if (!token.isEmpty())
                    LogRedaction::addSecret(QString::fromLatin1(token));
                m_store.setToken(token.isEmpty() ? std::nullopt : std::optional(QString::fromLatin1(token)));
                if (!token.isEmpty())
                    m_store.setDeviceInfos(m_account.currentUserId());
                if (done)
                    done();
            }));
}

void AccountSession::enterStore(std::function<void()> open)
{
    forgetTokenIfLifted();
    auto fetch = [this, open = std::move(open)] { fetchStoreToken(open); };
    if (!m_vamo.token()) {
        takeToken([fetch](bool) { fetch(); });
        return;
    }
    fetch();
}
