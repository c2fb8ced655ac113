#include "OrderedJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

QString orderedJson(const QVariant &value)
{
    if (value.canConvert<OrderedJsonObject>()
        && value.metaType() == QMetaType::fromType<OrderedJsonObject>()) {
        const auto object = value.value<OrderedJsonObject>();
        QStringList parts;
        for (const auto &[key, v] : object.members)
            parts << orderedJson(QVariant(key)) + u':' + orderedJson(v);
        return u'{' + parts.join(u',') + u'}';
    }
    if (value.metaType().id() == QMetaType::QVariantList) {
        QStringList parts;
        for (const QVariant &v : value.toList())
            parts << orderedJson(v);
        return u'[' + parts.join(u',') + u']';
    }
    if (!value.isValid() || value.metaType().id() == QMetaType::Nullptr)
        return QStringLiteral("null");
    // A one-element array lets QJsonDocument escape the scalar for us.
    const QByteArray wrapped
        = QJsonDocument(QJsonArray { QJsonValue::fromVariant(value) }).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(wrapped.mid(1, wrapped.size() - 2));
}
