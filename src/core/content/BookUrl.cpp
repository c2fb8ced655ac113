#include "BookUrl.h"

#include "SafePath.h"
#include "core/util/DataHelpers.h"
#include "core/util/StringHelpers.h"

namespace
{

constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz234567";
constexpr int kLabel = 63;
const QString kBookSuffix = QStringLiteral(".book");
const QString kSampleSuffix = QStringLiteral(".sample");

QString base32(const QByteArray &bytes)
{
    QString out;
    out.reserve((bytes.size() * 8 + 4) / 5);
    quint32 buffer = 0;
    int bits = 0;
    for (const char c : bytes) {
        buffer = (buffer << 8) | quint8(c);
        bits += 8;
        while (bits >= 5) {
            out.append(QLatin1Char(kAlphabet[(buffer >> (bits - 5)) & 31]));
            bits -= 5;
        }
    }
    if (bits > 0)
        out.append(QLatin1Char(kAlphabet[(buffer << (5 - bits)) & 31]));
    return out;
}

std::optional<QByteArray> unbase32(const QString &text)
{
    QByteArray out;
    out.reserve(text.size() * 5 / 8);
    quint32 buffer = 0;
    int bits = 0;
    for (const QChar c : text) {
        int v;
        if (c >= u'a' && c <= u'z')
            v = c.unicode() - 'a';
        else if (c >= u'2' && c <= u'7')
            v = c.unicode() - '2' + 26;
        else
            return std::nullopt;
        buffer = (buffer << 5) | quint32(v);
        bits += 5;
        if (bits >= 8) {
            out.append(char((buffer >> (bits - 8)) & 0xFF));
            bits -= 8;
        }
    }
    // Leftover bits must be the zero padding that base32() writes, or two
    // hosts would name one file.
    if (bits >= 5 || (buffer & ((1u << bits) - 1)) != 0)
        return std::nullopt;
    return out;
}

} // namespace

QString BookUrl::hostForFileName(const QString &fileName, bool sample)
{
    const QString encoded = base32(fileName.toUtf8());
    QStringList labels;
    for (qsizetype i = 0; i < encoded.size(); i += kLabel)
        labels << encoded.mid(i, kLabel);
    return labels.join(u'.') + (sample ? kSampleSuffix : kBookSuffix);
}

std::optional<QString> BookUrl::fileNameForHost(const QString &host, bool *sample)
{
    QString body;
    bool isSample = false;
    if (host.endsWith(kBookSuffix)) {
        body = host.chopped(kBookSuffix.size());
    } else if (host.endsWith(kSampleSuffix)) {
        body = host.chopped(kSampleSuffix.size());
        isSample = true;
    } else {
        return std::nullopt;
    }
    const QStringList labels = body.split(u'.');
    for (qsizetype i = 0; i < labels.size(); ++i) {
        const qsizetype size = labels.at(i).size();
        // Every label but the last is full, so each name has one host.
        if (size == 0 || size > kLabel || (i + 1 < labels.size() && size != kLabel))
            return std::nullopt;
    }
    const auto bytes = unbase32(labels.join(QString()));
    if (!bytes)
        return std::nullopt;
    const auto name = UTF8String(*bytes);
    if (!name || !SafePath::isSafeFileName(*name))
        return std::nullopt;
    if (sample)
        *sample = isSample;
    return name;
}

static QUrl makeRoot(const QString &fileName, bool sample)
{
    if (!SafePath::isSafeFileName(fileName))
        return {};
    QUrl url;
    url.setScheme(QString::fromLatin1(BookUrl::kScheme));
    url.setHost(BookUrl::hostForFileName(fileName, sample));
    return url;
}

QUrl BookUrl::rootUrl(const QString &fileName)
{
    return makeRoot(fileName, false);
}

QUrl BookUrl::sampleRootUrl(const QString &fileName)
{
    return makeRoot(fileName, true);
}

QUrl BookUrl::entryUrl(const QString &fileName, const QString &entryPath, bool sample)
{
    QUrl url = makeRoot(fileName, sample);
    if (url.isValid())
        url.setPath(u'/' + entryPath, QUrl::DecodedMode);
    return url;
}

std::optional<BookUrl::Target> BookUrl::parse(const QUrl &url)
{
    if (url.scheme() != QLatin1String(kScheme))
        return std::nullopt;
    Target target;
    const auto name = fileNameForHost(url.host(QUrl::FullyEncoded).toLower(), &target.sample);
    if (!name)
        return std::nullopt;
    target.fileName = *name;
    // Decode the path ourselves: QUrl would keep undecodable sequences.
    const auto path = decodeURI(url.path(QUrl::FullyEncoded));
    if (!path)
        return std::nullopt;
    target.path = *path;
    return target;
}
