#include "CliOptions.h"

#include <QDir>
#include <QFileInfo>

bool splitOptions(
    const QStringList &args, const QStringList &known, QStringList *positional, QVariantMap *options)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a.startsWith(QStringLiteral("--"))) {
            const QString name = a.mid(2);
            if (!known.contains(name) || i + 1 >= args.size())
                return false;
            options->insert(name, args.at(++i));
        } else {
            positional->append(a);
        }
    }
    return true;
}

bool useHome(const QString &home)
{
    if (!QDir().mkpath(home))
        return false;
    const QString abs = QFileInfo(home).absoluteFilePath();
    qputenv("HOME", abs.toUtf8());
    qputenv("XDG_DATA_HOME", (abs + QStringLiteral("/.local/share")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (abs + QStringLiteral("/.config")).toUtf8());
    return true;
}
