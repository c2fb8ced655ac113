// The account session of the application: whether the server lifted this
// device's sign-in ("accountLift"), the token state machine every account
// action goes through (takeToken, checkToken, didTakeToken), and the store
// token fetched before the store's pages open.
//
// The sheets belong to the interface: the session asks its AccountSessionUi
// to present the sign-in sheet or the lifted-account warning. Main thread
// only; completions run on the main thread.
#pragma once

#include "core/library/AccountRepository.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class StoreManager;
class VamoManager;

class AccountSessionUi
{
public:
    virtual ~AccountSessionUi() = default;
    // The sign-in sheet; it ends in AccountSession::didLoginWindow().
    virtual void presentLoginSheet() = 0;
    // "端末の解除かログアウトが行われました。…" titled "警告".
    virtual void showLiftedWarning() = 0;
    // A token was taken: the top screen is refreshed when it is shown.
    virtual void refreshTopIfShown() = 0;
    // The start-up check found the account lifted: the top screen is
    // refreshed.
    virtual void refreshTop() = 0;
};

class AccountSession
{
public:
    static const QString kLiftedMessage; // the warning's text
    static const QString kWarning; // its title

    // `store`, `vamo` and `ui` must outlive the session.
    // The signed-in account is kept in `account`, whose store must outlive
    // the session.
    AccountSession(AccountRepository account, StoreManager &store, VamoManager &vamo, AccountSessionUi &ui);

    // The one rule: lifted while "accountLift" is set to anything but "0".
    static bool isLifted();
    static void setLifted(bool lifted);
    // A lifted account's stored profile token is not to be used.
    void forgetTokenIfLifted();

    // A signed-in state for an account action: with a stored token (cleared
    // first when lifted) the store's silent check, else the sign-in sheet;
    // `completion` gets whether the user is signed in. A newer call replaces
    // a pending completion.
    void takeToken(std::function<void(bool)> completion);
    // The start-up check: without a token the account counts as lifted and
    // the warning shows; with one, the silent check, and the warning if the
    // server lifted the device. A token that could not be read (keyring
    // locked, prompt cancelled) lifts nothing and shows nothing.
    void checkToken(std::function<void(bool)> completion = {});
    void didTakeToken(bool success);
    // The sign-in sheet closed; the sheet's owner has fetched the profile.
    void didLoginWindow(bool success) { didTakeToken(success); }
    // The device sheet: a released device repeats the sign-in; a refusal
    // signs out.
    void didDevicesWindow(bool success);
    bool hasPendingTokenRequest() const { return bool(m_completion); }

    // Fetches the store token for the current profile token (nothing is sent
    // without one), keeps it in the store client and reports the device;
    // `done` runs once the answer is in (not at all without a token).
    void fetchStoreToken(std::function<void()> done);
    // What every store button does (top screen and shelf): a lifted
    // account's profile token is forgotten; without a profile token the
    // sign-in comes first; then a fresh store token is fetched and `open`
    // runs (not at all when no profile token came).
    void enterStore(std::function<void()> open);

private:
    AccountRepository m_account;
    StoreManager &m_store;
    VamoManager &m_vamo;
    AccountSessionUi &m_ui;
    std::function<void(bool)> m_completion;
    // Answers of the store that arrive after the session is gone (while the
    // application closes) do nothing.
    QObject m_context;
};
