// Keeps secrets out of the log at every level: the message handler that
// LogRules::install() puts in front of Qt's (or the one installed before)
// passes each message through redact(), which masks
// - every value registered with addSecret() (the access and store tokens
//   in use, the password of a sign-in), wherever it stands;
// - values of query, form and header parameters and JSON or dictionary
//   members whose names say secret ("token", "access_token", "key",
//   "password", "pwd", "secret", "cookie", "Authorization", …);
// - "Bearer …" credentials.
// Code still logs no secret on purpose; this catches what slips through.
//
// Any thread.
#pragma once

#include <QString>

class LogRedaction
{
public:
    static constexpr const char *kMask = "***";

    // The text with every secret it holds masked.
    static QString redact(const QString &text);
    // Masks `value` from now on (values shorter than 6 characters are too
    // likely to stand for something else and are ignored).
    static void addSecret(const QString &value);
    // Puts the redacting message handler in front of the one installed
    // now (Qt's own when none); again in front when called later. Call it
    // from one thread at start-up.
    static void install();
};
