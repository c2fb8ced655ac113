#include "JsonWriter.h"

#include "DataHelpers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <vector>

namespace
{

bool isWritableScalar(const QVariant &v)
{
    switch (v.metaType().id()) {
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

// Visits every value of `root` depth first with an explicit stack (a hostile
// value must not exhaust the call stack); `scalar` decides each value that
// is not a map or list. False as soon as `scalar` says no or a map or list
// lies deeper than `maxDepth`.
template <typename Scalar> bool walk(const QVariant &root, int maxDepth, Scalar scalar)
{
    struct Pending {
        QVariant value;
        int depth; // of the map or list holding it; 0 for the root
    };
    std::vector<Pending> stack { { root, 0 } };
    while (!stack.empty()) {
        Pending p = std::move(stack.back());
        stack.pop_back();
        const int type = p.value.metaType().id();
        if (type != QMetaType::QVariantMap && type != QMetaType::QVariantList) {
            if (!scalar(p.value))
                return false;
            continue;
        }
        if (p.depth + 1 > maxDepth)
            return false;
        if (type == QMetaType::QVariantMap) {
            const QVariantMap m = p.value.toMap();
            for (auto it = m.cbegin(); it != m.cend(); ++it)
                stack.push_back({ it.value(), p.depth + 1 });
        } else {
            const QVariantList l = p.value.toList();
            for (const QVariant &item : l)
                stack.push_back({ item, p.depth + 1 });
        }
    }
    return true;
}

} // namespace

bool isJsonWritable(const QVariant &v)
{
    return walk(v, kMaxJsonDepth, isWritableScalar);
}

bool isWithinJsonDepth(const QVariant &v, int maxDepth)
{
    return walk(v, maxDepth, [](const QVariant &) { return true; });
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
