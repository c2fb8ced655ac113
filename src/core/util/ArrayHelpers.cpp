#include "ArrayHelpers.h"

#include "DictionaryHelpers.h"
#include "JsonWriter.h"

std::optional<QVariantMap> dictionaryAtIndex(const QVariantList &a, qsizetype index)
{
    if (index < 0 || index >= a.size())
        return std::nullopt;
    const QVariant &v = a.at(index);
    if (v.metaType().id() == QMetaType::QVariantMap)
        return v.toMap();
    return std::nullopt;
}

std::optional<QString> stringAtIndex(const QVariantList &a, qsizetype index)
{
    if (index < 0 || index >= a.size())
        return std::nullopt;
    const QVariant &v = a.at(index);
    if (isStringVariant(v))
        return v.toString();
    if (isNumberVariant(v))
        return numberText(v);
    return std::nullopt;
}

std::optional<QString> json(const QVariantList &a)
{
    return compactJson(QVariant(a));
}
