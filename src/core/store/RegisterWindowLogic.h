// The sign-up sheet's logic: it shows the profile server's sign-up page,
// captures the login id and password from the form the page posts, and
// reports when the sign-up has finished. Main thread only.
#pragma once

#include <QByteArray>
#include <QUrl>
#include <QVariantMap>
#include <optional>

class RegisterWindowLogic;
class VamoManager;

class RegisterWindowDelegate
{
public:
    virtual ~RegisterWindowDelegate() = default;
    virtual void didRegisgerWindow(RegisterWindowLogic *sheet) = 0;
};

class RegisterWindowLogic
{
public:
    explicit RegisterWindowLogic(VamoManager &vamo);

    // "user" and "pwd" from the sign-up form; absent until captured.
    std::optional<QVariantMap> info;
    RegisterWindowDelegate *parent = nullptr;

    // The page to load.
    QUrl load() const;
    // Every request the page sends: a POST to the profile server's "/users"
    // is read for the login id and password.
    void willSendRequest(const QUrl &url, const QByteArray &body);
    // Every finished load: the profile server's "/home/index" ends the sign-up.
    void didFinishLoading(const QUrl &url);

    // The form fields of a URL-encoded body: split at "&" and "=" first, then
    // "+" and percent escapes decoded, so "&", "=" and "+" inside a value
    // survive.
    static QVariantMap decodeForm(const QByteArray &body);

private:
    VamoManager &m_vamo;
};
