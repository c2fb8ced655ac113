// The one gate for names taken from a URL or an archive before they are used
// as file names or entry paths. Pure; any thread.
#pragma once

#include <QString>

class SafePath
{
public:
    // A single file name inside a folder: not empty, at most 255 UTF-8 bytes,
    // no "/", "\\" or NUL, and not "." or "..".
    static bool isSafeFileName(const QString &name);

    // A relative path inside an archive or folder: not empty, not starting
    // with "/" or "\\" (so not absolute), no NUL or "\\", no "." or ".."
    // component and no empty component ("a//b").
    static bool isSafeRelativePath(const QString &path);
};
