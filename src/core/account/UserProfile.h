// The account profile's answer (the profile server's "/api/account") as the
// user name and notice e-mail the top screen shows, kept in the user
// defaults "vamo_user_name" and "notice_email".
//
// Main thread only (store() writes the user defaults).
#pragma once

#include <QString>
#include <QVariant>
#include <optional>

struct UserProfile {
    // Family name immediately followed by given name; a name that is null or
    // missing counts as empty.
    QString userName;
    // "notice_email" unless it is null or missing.
    std::optional<QString> noticeEmail;

    // Reads an answer; anything that is not a dictionary (an error, a
    // refused request) gives an empty profile.
    static UserProfile fromAnswer(const QVariant &answer);

    // Replaces both user defaults: each is removed first, then the user name
    // is stored when not empty and the e-mail when present and not empty.
    void store() const;
};
