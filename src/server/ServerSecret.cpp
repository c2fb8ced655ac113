#include "ServerSecret.h"

#include <QFile>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace
{

constexpr qsizetype kMinimumLength = 16;

std::optional<QByteArray> readSecret(const QString &path, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the secret %1: %2").arg(path, f.errorString());
        return std::nullopt;
    }
    const QByteArray secret = f.read(4096).trimmed();
    if (secret.size() < kMinimumLength) {
        *error = QStringLiteral("the secret %1 is shorter than %2 bytes").arg(path).arg(kMinimumLength);
        return std::nullopt;
    }
    return secret;
}

} // namespace

std::optional<QByteArray> loadServerSecret(
    const QString &dataFolder, const QString &configuredFile, QString *error)
{
    if (!configuredFile.isEmpty())
        return readSecret(configuredFile, error);
    const QString path = dataFolder + QStringLiteral("/server-secret");
    // Made with its final mode at once, so it is never readable by others;
    // O_EXCL keeps a secret that is already there.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) {
        *error = QStringLiteral("cannot make the secret %1: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return std::nullopt;
    }
    if (fd >= 0) {
        QByteArray bytes(32, Qt::Uninitialized);
        QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
        const QByteArray text = bytes.toHex() + '\n';
        const bool written = ::write(fd, text.constData(), size_t(text.size())) == ssize_t(text.size());
        const bool closed = ::close(fd) == 0;
        if (!written || !closed) {
            ::unlink(QFile::encodeName(path).constData());
            *error = QStringLiteral("cannot write the secret %1").arg(path);
            return std::nullopt;
        }
    }
    return readSecret(path, error);
}

QString downloadKey(
    const QByteArray &secret, const QString &storeToken, qint64 accountId, const QString &bookId)
{
    const QByteArray message
        = "download\n" + QByteArray::number(accountId) + '\n' + bookId.toUtf8() + '\n' + storeToken.toUtf8();
    return QString::fromLatin1(
        QMessageAuthenticationCode::hash(message, secret, QCryptographicHash::Sha256).toHex().left(32));
}

bool sameKey(const QString &a, const QString &b)
{
    if (a.size() != b.size())
        return false;
    char16_t diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= char16_t(a.at(i).unicode() ^ b.at(i).unicode());
    return diff == 0;
}
