// Null-tolerant typed reading of dictionaries (decoded JSON, configuration,
// converted XML) and the one writing helper. Pure functions; any thread.
// "Absent" is an empty std::optional or an invalid QVariant.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <optional>

// True for the numeric kinds decoded JSON and settings produce (bool too).
bool isNumberVariant(const QVariant &v);
// True for a QString value.
bool isStringVariant(const QVariant &v);
// The decimal text of a numeric value ("12", "1.5", "1" for true).
QString numberText(const QVariant &v);

// The value if it is a string; the decimal text of a number; else absent.
std::optional<QString> stringForKey(const QVariantMap &d, const QString &key);
// The value if it is a dictionary, else absent.
std::optional<QVariantMap> dictionaryForKey(const QVariantMap &d, const QString &key);
// The value if it is an array, else absent.
std::optional<QVariantList> arrayForKey(const QVariantMap &d, const QString &key);
// The value if it is an array; any other present value as a one-element
// array; absent when there is no value.
std::optional<QVariantList> farrayForKey(const QVariantMap &d, const QString &key);
// The value if it is a byte buffer, else absent.
std::optional<QByteArray> dataForKey(const QVariantMap &d, const QString &key);
// A number's non-zero value, or a string read as a boolean ("YES", "true",
// "1"...: a leading Y, y, T, t or digit 1-9 after optional blanks, sign and
// zeros); false for anything else.
bool boolForKey(const QVariantMap &d, const QString &key);
// A number's value, or the decimal number at the start of a string; else 0.
double floatForKey(const QVariantMap &d, const QString &key);
// Compact JSON text, or absent when a value cannot be written as JSON.
std::optional<QString> json(const QVariantMap &d);

// Walks a "/"-separated path: each non-empty component must find a
// dictionary and is looked up in it. An empty path (or only "/") gives the
// dictionary itself. Absent when a step finds no dictionary or no value.
QVariant pathToObj(const QVariantMap &d, const QString &path);
// pathToObj when it is a string, else absent.
std::optional<QString> pathToString(const QVariantMap &d, const QString &path);
// pathToObj when it is an array; any other present value as a one-element
// array; absent when absent.
std::optional<QVariantList> pathToArray(const QVariantMap &d, const QString &path);
// pathToObj when it is a dictionary; the first element when it is an array
// whose first element is a dictionary; else absent.
std::optional<QVariantMap> pathToDictionary(const QVariantMap &d, const QString &path);

// Stores the string under the key; an absent string removes the key.
void setString(QVariantMap &d, const std::optional<QString> &s, const QString &key);
