// Null-tolerant typed reading of arrays. Pure functions; any thread.
// An index below 0 or at or beyond the count gives absent.
#pragma once

#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <optional>

// The element if it is a dictionary, else absent.
std::optional<QVariantMap> dictionaryAtIndex(const QVariantList &a, qsizetype index);
// The element if it is a string; its decimal text if a number; else absent.
std::optional<QString> stringAtIndex(const QVariantList &a, qsizetype index);
// Compact JSON text, or absent when an element cannot be written as JSON.
std::optional<QString> json(const QVariantList &a);
