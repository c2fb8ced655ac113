// JSON objects written with their keys in a given order (QJsonObject sorts
// them). Values: strings, numbers, bools, null, nested ordered objects or
// lists. Pure; any thread.
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

struct OrderedJsonObject {
    QList<QPair<QString, QVariant>> members;
    void add(const QString &key, const QVariant &value) { members.append({ key, value }); }
};
Q_DECLARE_METATYPE(OrderedJsonObject)

// Compact JSON text of `value` (an OrderedJsonObject, a list of values, or a
// scalar).
QString orderedJson(const QVariant &value);
