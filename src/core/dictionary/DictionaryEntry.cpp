#include "DictionaryEntry.h"

QString DictionaryEntry::text(const QVariantMap &row, const QList<DictionarySettingItem> &settings)
{
    static const char *const kKeys[] = { "word", "item1", "item2", "item3", "item4" };
    QString out;
    for (qsizetype p = 0; p < settings.size(); ++p) {
        const QString title = settings.at(p).columnName.value_or(QString());
        if (title.isEmpty())
            continue;
        const QString value = row.value(QString::fromLatin1(kKeys[std::min<qsizetype>(p, 4)])).toString();
        // Blocks are separated, not preceded, by a blank line: an entry whose
        // first title is empty starts with its first shown block.
        if (!out.isEmpty())
            out += QStringLiteral("\r\n\r\n");
        out += QStringLiteral("%1:\r\n%2").arg(title, value);
    }
    return out;
}
