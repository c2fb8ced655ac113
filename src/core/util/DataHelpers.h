// Byte-buffer helpers: JSON decoding with JSON-null removal, UTF-8 decoding.
// Pure functions; any thread. Nothing throws.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <optional>

// True for the value decoded JSON uses for a JSON null (distinct from an
// invalid QVariant, which means absent).
bool isJsonNull(const QVariant &v);

// The bytes parsed as JSON. When the top-level value is an object, it is
// returned with every JSON null removed (nulcutDictionary); any other
// top-level value, or invalid JSON, gives absent.
std::optional<QVariantMap> jsonDictonary(const QByteArray &bytes);

// In place: removes every key whose value is the JSON null, recursing into
// maps and lists.
void nulcutDictionary(QVariantMap &dictionary);

// In place: removes every element that is the JSON null, recursing into maps
// and lists.
void nulcutArray(QVariantList &array);

// The bytes decoded as UTF-8, or absent when they are not valid UTF-8.
std::optional<QString> UTF8String(const QByteArray &bytes);
