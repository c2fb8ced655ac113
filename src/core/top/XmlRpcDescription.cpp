#include "XmlRpcDescription.h"

#include "XmlRpcResponseParser.h"
#include "core/util/DataHelpers.h"

#include <QDateTime>
#include <cmath>

namespace
{

// `depth` counts the enclosing values, this one included; past the limit the
// whole description fails (`*tooDeep`).
QVariant describe(const QVariant &value, int depth, bool *tooDeep)
{
    const int type = value.metaType().id();
    if ((type == QMetaType::QVariantMap || type == QMetaType::QVariantList)
        && depth > XmlRpcResponseParser::kMaxDepth) {
        *tooDeep = true;
        return {};
    }
    switch (type) {
    case QMetaType::QVariantMap: {
        QVariantMap out;
        const QVariantMap m = value.toMap();
        for (auto it = m.cbegin(); it != m.cend() && !*tooDeep; ++it)
            out.insert(it.key(), describe(it.value(), depth + 1, tooDeep));
        return QVariantMap { { QStringLiteral("struct"), out } };
    }
    case QMetaType::QVariantList: {
        QVariantList out;
        const QVariantList l = value.toList();
        for (auto it = l.cbegin(); it != l.cend() && !*tooDeep; ++it)
            out.append(describe(*it, depth + 1, tooDeep));
        return QVariantMap { { QStringLiteral("array"), out } };
    }
    case QMetaType::LongLong:
    case QMetaType::Int:
        return QVariantMap { { QStringLiteral("int"), value.toLongLong() } };
    case QMetaType::Double: {
        // JSON has no infinities: they are written by name, as XML-RPC
        // writers do.
        const double d = value.toDouble();
        if (std::isnan(d))
            return QVariantMap { { QStringLiteral("double"), QStringLiteral("nan") } };
        if (std::isinf(d))
            return QVariantMap { { QStringLiteral("double"),
                d > 0 ? QStringLiteral("inf") : QStringLiteral("-inf") } };
        return QVariantMap { { QStringLiteral("double"), d } };
    }
    case QMetaType::Bool:
        return QVariantMap { { QStringLiteral("boolean"), value.toBool() } };
    case QMetaType::QDateTime:
        return QVariantMap { { QStringLiteral("date"), value.toDateTime().toString(Qt::ISODate) } };
    case QMetaType::QByteArray:
        return QVariantMap { { QStringLiteral("base64"),
            QString::fromLatin1(value.toByteArray().toBase64()) } };
    default:
        if (isJsonNull(value))
            return QVariantMap { { QStringLiteral("date"), QVariant::fromValue(nullptr) } };
        return QVariantMap { { QStringLiteral("string"), value.toString() } };
    }
}

} // namespace

QVariant describeXmlRpcValue(const QVariant &value)
{
    bool tooDeep = false;
    QVariant out = describe(value, 1, &tooDeep);
    return tooDeep ? QVariant() : out;
}
