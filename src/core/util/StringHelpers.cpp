#include "StringHelpers.h"

#include "DataHelpers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QUrl>

QString encodeURI(const QString &s)
{
    // QByteArray::toPercentEncoding keeps exactly the unreserved set
    // (letters, digits, "-._~") and writes upper-case hex.
    return QString::fromLatin1(s.toUtf8().toPercentEncoding());
}

QString encodeURInoslash(const QString &s)
{
    return QString::fromLatin1(s.toUtf8().toPercentEncoding("/:"));
}

static int hexValue(char16_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<QString> decodeURI(const QString &s)
{
    if (!s.contains(u'%'))
        return s;
    QByteArray bytes;
    bytes.reserve(s.size() * 3);
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c == u'%') {
            if (i + 2 >= s.size())
                return std::nullopt;
            const int hi = hexValue(s.at(i + 1).unicode());
            const int lo = hexValue(s.at(i + 2).unicode());
            if (hi < 0 || lo < 0)
                return std::nullopt;
            bytes.append(char(hi * 16 + lo));
            i += 2;
        } else if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
            bytes.append(QString(s.constData() + i, 2).toUtf8());
            ++i;
        } else {
            bytes.append(QString(c).toUtf8());
        }
    }
    return UTF8String(bytes);
}

QVariantMap query2dic(const QString &query)
{
    QVariantMap result;
    const QStringList parts = query.split(u'&');
    for (const QString &part : parts) {
        const QStringList kv = part.split(u'=');
        if (kv.size() != 2)
            continue;
        const auto key = decodeURI(kv.at(0));
        const auto value = decodeURI(kv.at(1));
        if (!key || !value)
            continue;
        result.insert(*key, *value);
    }
    return result;
}

QVariant jsonDecode(const QString &s)
{
    // QJsonDocument only parses objects and arrays at the top level; wrapping
    // the text in an array admits strings and numbers too. Exactly one element
    // must come back, or "1,2" would pass as 1.
    const QByteArray wrapped = "[" + s.toUtf8() + "]";
    QJsonParseError error {};
    const QJsonDocument doc = QJsonDocument::fromJson(wrapped, &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return {};
    const QVariantList list = doc.array().toVariantList();
    if (list.size() != 1)
        return {};
    return list.first();
}

QString stringByStrippingHTML(const QString &s)
{
    // The output doubles as a stack. A ">" closes the tag that starts at the
    // first "<" after the last ">" still in the output (the leftmost match of
    // "<[^>]+>"), provided at least one character lies between them. This
    // gives the same result as removing the leftmost match over and over.
    QString out;
    out.reserve(s.size());
    qsizetype openAt = -1; // first "<" after the last ">" in `out`
    for (const QChar c : s) {
        if (c == u'>') {
            if (openAt >= 0 && out.size() - openAt >= 2) {
                out.truncate(openAt);
                // No "<" lies between the last ">" and the removed tag's "<",
                // since that "<" was the first one there.
                openAt = -1;
                continue;
            }
            out.append(c);
            openAt = -1;
            continue;
        }
        if (c == u'<' && openAt < 0)
            openAt = out.size();
        out.append(c);
    }
    out.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
    out.replace(u'\r', u' ');
    out.replace(u'\n', u' ');
    return out;
}

QString escapedString(const QString &s)
{
    QString out = s;
    out.replace(u'&', QStringLiteral("&#38;"));
    out.replace(u'>', QStringLiteral("&#62;"));
    out.replace(u'<', QStringLiteral("&#60;"));
    return out;
}

QString trim(const QString &s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (begin < end && blank(s.at(begin)))
        ++begin;
    while (end > begin && blank(s.at(end - 1)))
        --end;
    return s.mid(begin, end - begin);
}

QString displayText(const QString &s)
{
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c == u'\r') {
            if (i + 1 < s.size() && s.at(i + 1) == u'\n')
                continue;
            out += u'\n';
        } else if (c == u'\n' || c == u'\t' || (c.unicode() >= 0x20 && c.unicode() != 0x7f)) {
            out += c;
        }
    }
    return out;
}
