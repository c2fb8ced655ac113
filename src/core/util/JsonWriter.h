// Compact JSON text for decoded-JSON values. Pure; any thread.
#pragma once

#include <QString>
#include <QVariant>
#include <optional>

// The deepest nesting of maps and lists written (a scalar at the top is
// level 0, the top map or list level 1): the same as QJsonDocument accepts
// when it reads JSON. Qt's writer recurses once per level, so deeper values
// are refused before they reach it.
inline constexpr int kMaxJsonDepth = 1024;

// True when `v` is made only of maps, lists, strings, finite numbers, bools
// and JSON nulls, nested at most kMaxJsonDepth levels, i.e. it can be
// written as JSON without loss. Walks the value without recursion.
bool isJsonWritable(const QVariant &v);

// True when `v` nests maps and lists at most `maxDepth` levels (whatever
// the scalars are). Walks the value without recursion.
bool isWithinJsonDepth(const QVariant &v, int maxDepth = kMaxJsonDepth);

// Compact JSON text of a map or list, or absent when it is not writable.
std::optional<QString> compactJson(const QVariant &v);
