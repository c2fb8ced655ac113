#include "XmlRpcDescription.h"

#include "util/DataHelpers.h"

#include <QDateTime>

QVariant describeXmlRpcValue(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::QVariantMap: {
        QVariantMap out;
        const QVariantMap m = value.toMap();
        for (auto it = m.cbegin(); it != m.cend(); ++it)
            out.insert(it.key(), describeXmlRpcValue(it.value()));
        return QVariantMap{{QStringLiteral("struct"), out}};
    }
    case QMetaType::QVariantList: {
        QVariantList out;
        for (const QVariant &v : value.toList())
            out.append(describeXmlRpcValue(v));
        return QVariantMap{{QStringLiteral("array"), out}};
    }
    case QMetaType::LongLong:
    case QMetaType::Int:
        return QVariantMap{{QStringLiteral("int"), value.toLongLong()}};
    case QMetaType::Double:
        return QVariantMap{{QStringLiteral("double"), value.toDouble()}};
    case QMetaType::Bool:
        return QVariantMap{{QStringLiteral("boolean"), value.toBool()}};
    case QMetaType::QDateTime:
        return QVariantMap{{QStringLiteral("date"), value.toDateTime().toString(Qt::ISODate)}};
    case QMetaType::QByteArray:
        return QVariantMap{{QStringLiteral("base64"), QString::fromLatin1(value.toByteArray().toBase64())}};
    default:
        if (isJsonNull(value))
            return QVariantMap{{QStringLiteral("date"), QVariant::fromValue(nullptr)}};
        return QVariantMap{{QStringLiteral("string"), value.toString()}};
    }
}
