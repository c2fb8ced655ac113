#include "InstanceMessage.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

QByteArray InstanceMessage::encode(const QStringList &files)
{
    QJsonObject message;
    message.insert(QStringLiteral("v"), kVersion);
    message.insert(QStringLiteral("open"), QJsonArray::fromStringList(files));
    return QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<QStringList> InstanceMessage::decode(const QByteArray &line)
{
    if (line.size() > kMaxSize)
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line.trimmed(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject message = document.object();
    if (message.value(QStringLiteral("v")).toInt(-1) != kVersion)
        return std::nullopt;
    const QJsonValue open = message.value(QStringLiteral("open"));
    if (!open.isArray())
        return std::nullopt;
    QStringList files;
    for (const QJsonValue &value : open.toArray()) {
        // Only what a start of this program sends: absolute paths.
        if (!value.isString() || !QDir::isAbsolutePath(value.toString())
            || value.toString().contains(QChar(0)))
            return std::nullopt;
        files.append(value.toString());
    }
    return files;
}
