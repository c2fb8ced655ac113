// Unpacks a downloaded zip package into a folder, safely: entry names are
// UTF-8 or Shift-JIS; hidden files, "__MACOSX" and names under two
// characters are skipped; nothing is written outside the folder (absolute
// names, "..", backslashes and symbolic links are skipped); at most 4096
// entries; and a package that inflates beyond sane bounds is refused.
//
// Any thread; one call works on one folder.
#pragma once

#include <QString>
#include <QStringList>

class PackageUnpacker
{
public:
    struct Limits {
        int maxEntries = 4096;
        qint64 maxTotalBytes = 4LL * 1024 * 1024 * 1024;
        // An entry inflating beyond this many times its compressed size,
        // past 1 MiB, is a zip bomb.
        qint64 maxRatio = 1000;
    };

    struct Result {
        bool opened = false; // the archive could be read at all
        bool refused = false; // over a bound: nothing should be installed
        QStringList written; // relative paths of the files written
        QStringList skipped; // names skipped (unsafe, hidden, links)
        QString reason; // why it was refused
    };

    static Result unpack(const QString &archive, const QString &destination, const Limits &limits);
    static Result unpack(const QString &archive, const QString &destination);

    // The entry name in `raw`: UTF-8, else Shift-JIS; empty when neither.
    static QString decodeName(const QByteArray &raw);
};
