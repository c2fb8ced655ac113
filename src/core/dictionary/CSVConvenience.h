// One-call CSV reading and writing. `options` is the bit set of
// CSVParser::setOptions (1 escapes, 2 sanitize, 4 comments, 8 strip).
// Readers return absent when parsing failed. Any thread.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <optional>

std::optional<QList<QStringList>> arrayWithContentsOfCSVFile(
    const QString &path, int options = 0, QChar delimiter = u',');
std::optional<QList<QStringList>> CSVComponents(const QString &text, int options = 0, QChar delimiter = u',');

// The elements of `rows` that are lists, one line each, as UTF-8 CSV text
// with ",".
QString CSVString(const QVariantList &rows);
