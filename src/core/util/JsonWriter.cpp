#include "JsonWriter.h"

#include "DataHelpers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

bool isJsonWritable(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::QVariantMap: {
        const QVariantMap m = v.toMap();
        for (auto it = m.cbegin(); it != m.cend(); ++it)
            if (!isJsonWritable(it.value()))
                return false;
        return true;
    }
    case QMetaType::QVariantList: {
        const QVariantList l = v.toList();
        return std::all_of(l.cbegin(), l.cend(), isJsonWritable);
    }
    case QMetaType::QString:
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Nullptr:
        return true;
    case QMetaType::Double:
    case QMetaType::Float:
        return std::isfinite(v.toDouble());
    default:
        return false;
    }
}

std::optional<QString> compactJson(const QVariant &v)
{
    if (!isJsonWritable(v))
        return std::nullopt;
    QJsonDocument doc;
    if (v.metaType().id() == QMetaType::QVariantMap)
        doc = QJsonDocument(QJsonObject::fromVariantMap(v.toMap()));
    else if (v.metaType().id() == QMetaType::QVariantList)
        doc = QJsonDocument(QJsonArray::fromVariantList(v.toList()));
    else
        return std::nullopt;
    return QString::fromUtf8(doc.toJson(QJsonDocument::Compact));
}
