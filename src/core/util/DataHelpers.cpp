#include "DataHelpers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QStringDecoder>

bool isJsonNull(const QVariant &v)
{
    return v.isValid() && v.metaType().id() == QMetaType::Nullptr;
}

static void nulcutValue(QVariant &v)
{
    const int type = v.metaType().id();
    if (type == QMetaType::QVariantMap) {
        QVariantMap m = v.toMap();
        nulcutDictionary(m);
        v = m;
    } else if (type == QMetaType::QVariantList) {
        QVariantList l = v.toList();
        nulcutArray(l);
        v = l;
    }
}

void nulcutDictionary(QVariantMap &dictionary)
{
    for (auto it = dictionary.begin(); it != dictionary.end();) {
        if (isJsonNull(it.value())) {
            it = dictionary.erase(it);
        } else {
            nulcutValue(it.value());
            ++it;
        }
    }
}

void nulcutArray(QVariantList &array)
{
    array.removeIf(isJsonNull);
    for (QVariant &v : array)
        nulcutValue(v);
}

std::optional<QVariantMap> jsonDictonary(const QByteArray &bytes)
{
    QJsonParseError error {};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    QVariantMap map = doc.object().toVariantMap();
    nulcutDictionary(map);
    return map;
}

std::optional<QString> UTF8String(const QByteArray &bytes)
{
    QStringDecoder decoder(
        QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString s = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return s;
}
