// XML property lists ("config.plist"): the dictionary, array, string,
// integer, real, true/false, date and data types.
//
// Reading never throws: a missing, unreadable or malformed file gives absent.
// Writing is atomic (QSaveFile): a crash leaves the old file or the new one,
// never a mixture. Any thread, but not concurrently on one path.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>
#include <optional>

class PropertyList
{
public:
    // The top-level dictionary of the property list in `bytes`, or absent.
    static std::optional<QVariantMap> parse(const QByteArray &bytes);
    // The top-level dictionary of the file at `path`, or absent.
    static std::optional<QVariantMap> read(const QString &path);

    // `dictionary` as an XML property list. Values of kinds a property list
    // cannot hold (other than maps, lists, strings, numbers, bools, dates and
    // byte arrays) are left out.
    static QByteArray serialize(const QVariantMap &dictionary);
    // Writes the property list to `path` atomically; false on failure (the old
    // file, if any, is then left as it was).
    static bool write(const QVariantMap &dictionary, const QString &path);
};
