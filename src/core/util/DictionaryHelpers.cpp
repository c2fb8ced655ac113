#include "DictionaryHelpers.h"

#include "JsonWriter.h"

#include <charconv>

bool isNumberVariant(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

bool isStringVariant(const QVariant &v)
{
    return v.metaType().id() == QMetaType::QString;
}

QString numberText(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        // Whole numbers that JSON wrote as reals still read as "12".
        if (std::abs(d) < 9.0e15 && d == double(qint64(d)))
            return QString::number(qint64(d));
        return QString::number(d, 'g', QLocale::FloatingPointShortest);
    }
    case QMetaType::ULongLong:
        return QString::number(v.toULongLong());
    default:
        return QString::number(v.toLongLong());
    }
}

static QVariant valueFor(const QVariantMap &d, const QString &key)
{
    const auto it = d.constFind(key);
    return it == d.cend() ? QVariant() : it.value();
}

std::optional<QString> stringForKey(const QVariantMap &d, const QString &key)
{
    const QVariant v = valueFor(d, key);
    if (isStringVariant(v))
        return v.toString();
    if (isNumberVariant(v))
        return numberText(v);
    return std::nullopt;
}

std::optional<QVariantMap> dictionaryForKey(const QVariantMap &d, const QString &key)
{
    const QVariant v = valueFor(d, key);
    if (v.metaType().id() == QMetaType::QVariantMap)
        return v.toMap();
    return std::nullopt;
}

std::optional<QVariantList> arrayForKey(const QVariantMap &d, const QString &key)
{
    const QVariant v = valueFor(d, key);
    if (v.metaType().id() == QMetaType::QVariantList)
        return v.toList();
    return std::nullopt;
}

static std::optional<QVariantList> asArray(const QVariant &v)
{
    if (!v.isValid())
        return std::nullopt;
    if (v.metaType().id() == QMetaType::QVariantList)
        return v.toList();
    return QVariantList { v };
}

std::optional<QVariantList> farrayForKey(const QVariantMap &d, const QString &key)
{
    return asArray(valueFor(d, key));
}

std::optional<QByteArray> dataForKey(const QVariantMap &d, const QString &key)
{
    const QVariant v = valueFor(d, key);
    if (v.metaType().id() == QMetaType::QByteArray)
        return v.toByteArray();
    return std::nullopt;
}

// Reads a string as a boolean the way property lists and old settings do:
// blanks, then an optional sign and zeros, then Y/y/T/t or a digit 1-9.
static bool stringTruth(const QString &s)
{
    qsizetype i = 0;
    while (i < s.size() && s.at(i).isSpace())
        ++i;
    if (i < s.size() && (s.at(i) == u'+' || s.at(i) == u'-'))
        ++i;
    while (i < s.size() && s.at(i) == u'0')
        ++i;
    if (i >= s.size())
        return false;
    const QChar c = s.at(i);
    return c == u'Y' || c == u'y' || c == u'T' || c == u't' || (c >= u'1' && c <= u'9');
}

bool boolForKey(const QVariantMap &d, const QString &key)
{
    const QVariant v = valueFor(d, key);
    if (isNumberVariant(v))
        return v.toDouble() != 0.0;
    if (isStringVariant(v))
        return stringTruth(v.toString());
    return false;
}

// The decimal number at the start of `s` (after blanks), or 0.
static double leadingDouble(const QString &s)
{
    const QByteArray bytes = s.trimmed().toLatin1();
    const char *begin = bytes.constData();
    const char *end = begin + bytes.size();
    bool negative = false;
    if (begin < end && (*begin == '+' || *begin == '-')) {
        negative = *begin == '-';
        ++begin;
    }
    double value = 0.0;
    const auto result = std::from_chars(begin, end, value, std::chars_format::general);
    if (result.ec != std::errc())
        return 0.0;
    return negative ? -value : value;
}

double floatForKey(const QVariantMap &d, const QString &key)
{
    const QVariant v = valueFor(d, key);
    if (isNumberVariant(v))
        return v.toDouble();
    if (isStringVariant(v))
        return leadingDouble(v.toString());
    return 0.0;
}

std::optional<QString> json(const QVariantMap &d)
{
    return compactJson(QVariant(d));
}

QVariant pathToObj(const QVariantMap &d, const QString &path)
{
    QVariant current(d);
    const QStringList components = path.split(u'/', Qt::SkipEmptyParts);
    for (const QString &component : components) {
        if (current.metaType().id() != QMetaType::QVariantMap)
            return {};
        current = valueFor(current.toMap(), component);
        if (!current.isValid())
            return {};
    }
    return current;
}

std::optional<QString> pathToString(const QVariantMap &d, const QString &path)
{
    const QVariant v = pathToObj(d, path);
    if (isStringVariant(v))
        return v.toString();
    return std::nullopt;
}

std::optional<QVariantList> pathToArray(const QVariantMap &d, const QString &path)
{
    return asArray(pathToObj(d, path));
}

std::optional<QVariantMap> pathToDictionary(const QVariantMap &d, const QString &path)
{
    const QVariant v = pathToObj(d, path);
    if (v.metaType().id() == QMetaType::QVariantMap)
        return v.toMap();
    if (v.metaType().id() == QMetaType::QVariantList) {
        const QVariantList l = v.toList();
        if (!l.isEmpty() && l.first().metaType().id() == QMetaType::QVariantMap)
            return l.first().toMap();
    }
    return std::nullopt;
}

void setString(QVariantMap &d, const std::optional<QString> &s, const QString &key)
{
    if (s)
        d.insert(key, *s);
    else
        d.remove(key);
}
