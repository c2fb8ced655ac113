#include "SafePath.h"

#include <QStringList>

bool SafePath::isSafeFileName(const QString &name)
{
    if (name.isEmpty() || name == u"." || name == u"..")
        return false;
    if (name.contains(u'/') || name.contains(u'\\') || name.contains(QChar(0)))
        return false;
    return name.toUtf8().size() <= 255;
}

bool SafePath::isSafeRelativePath(const QString &path)
{
    if (path.isEmpty() || path.startsWith(u'/') || path.contains(u'\\') || path.contains(QChar(0)))
        return false;
    // A trailing "/" names a folder entry; the components before it count.
    const QStringList parts = path.split(u'/');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString &part = parts.at(i);
        if (part.isEmpty() && i == parts.size() - 1 && i > 0)
            continue;
        if (part.isEmpty() || part == u"." || part == u"..")
            return false;
    }
    return true;
}
