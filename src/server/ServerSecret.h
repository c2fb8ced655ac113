// The backend's own secret, which signs the download links of the store
// pages. It never leaves the server: not in the seed, not in the client.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The secret in `configuredFile` when one is given (at least 16 bytes, read
// as they are with surrounding white space dropped). Otherwise the one kept
// in `dataFolder`/"server-secret", made on first start from 32 random
// bytes, readable by its owner only. Absent, with `error` set, when the file
// cannot be read or made.
std::optional<QByteArray> loadServerSecret(
    const QString &dataFolder, const QString &configuredFile, QString *error);

// The key of a download link: binds the book and account to the store
// session the page was shown in (hex, 32 characters).
QString downloadKey(
    const QByteArray &secret, const QString &storeToken, qint64 accountId, const QString &bookId);

// Compares in time independent of where the texts differ.
bool sameKey(const QString &a, const QString &b);
