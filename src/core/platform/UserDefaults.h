// The user-defaults store: a few string settings kept across runs, under the
// keys below, in QSettings (INI file ~/.config/Tavro/Tavro.ini).
//
// Main thread only.
#pragma once

#include <QString>
#include <QVariant>
#include <optional>

class UserDefaults
{
public:
    static constexpr const char *accountLift = "accountLift";
    static constexpr const char *vamoUserName = "vamo_user_name";
    static constexpr const char *noticeEmail = "notice_email";
    static constexpr const char *sort = "sort";
    static constexpr const char *hasBuildBookInfo = "hasBuildBookInfo_new";
    static constexpr const char *bookFontSize = "bookFontSize";
    static constexpr const char *directionUDPrefix = "directionUD-";
    static constexpr const char *lostGAData = "lostGAData";
    static constexpr const char *macNotification = "mac_notification";
    static constexpr const char *latestUpdate = "latestUpdate";

    // The stored value, or an invalid QVariant when the key is absent.
    static QVariant value(const QString &key);
    // The stored value as text, or absent.
    static std::optional<QString> stringForKey(const QString &key);
    static void setValue(const QString &key, const QVariant &value);
    static void remove(const QString &key);
    // Writes pending changes to disk.
    static void synchronize();
};
