// The backend's log: one line per event on standard error (start, stop,
// refused and malformed requests, refused connections).
#pragma once

#include <QLoggingCategory>
#include <QString>
#include <string>

Q_DECLARE_LOGGING_CATEGORY(lcBackend)

// `text` fit for one log line: control characters and bytes outside ASCII
// escaped, cut to `limit` characters.
QString logSafe(const std::string &text, qsizetype limit = 200);
