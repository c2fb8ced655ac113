// Compact JSON text for decoded-JSON values. Pure; any thread.
#pragma once

#include <QString>
#include <QVariant>
#include <optional>

// True when `v` is made only of maps, lists, strings, finite numbers, bools
// and JSON nulls, i.e. it can be written as JSON without loss.
bool isJsonWritable(const QVariant &v);

// Compact JSON text of a map or list, or absent when it is not writable.
std::optional<QString> compactJson(const QVariant &v);
