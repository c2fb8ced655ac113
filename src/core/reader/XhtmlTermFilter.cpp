#include "XhtmlTermFilter.h"

#include <QChar>
#include <QHash>
#include <algorithm>
#include <cstring>
#include <libxml/HTMLparser.h>

namespace
{

// What QString's case-insensitive comparison needs to know beyond ASCII:
// every character some other character folds to, and the characters
// outside ASCII that fold to an ASCII letter (KELVIN SIGN to "k", LONG S to
// "s").
struct FoldTable {
    QSet<char32_t> targets;
    QHash<char32_t, QList<char32_t>> asciiSources;

    FoldTable()
    {
        // No character above the first two planes has case.
        for (char32_t c = 0x80; c <= 0x1FFFF; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF)
                continue;
            const char32_t f = QChar::toCaseFolded(c);
            if (f == c)
                continue;
            targets.insert(f);
            if (f < 0x80)
                asciiSources[f].append(c);
        }
    }
};

const FoldTable &foldTable()
{
    static const FoldTable table;
    return table;
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}

bool contains(const char *begin, const char *end, const char *what, size_t length)
{
    return memmem(begin, size_t(end - begin), what, length) != nullptr;
}

// Boyer-Moore-Horspool over bytes, ASCII letters in either case: whether
// `needle` (in lower case) occurs in [begin, end).
bool containsIgnoringAsciiCase(const char *begin, const char *end, const QByteArray &needle)
{
    const size_t m = size_t(needle.size());
    const size_t n = size_t(end - begin);
    if (m == 0 || m > n)
        return m == 0;
    size_t skip[256];
    std::fill(std::begin(skip), std::end(skip), m);
    for (size_t i = 0; i + 1 < m; ++i) {
        const auto c = static_cast<unsigned char>(needle[qsizetype(i)]);
        skip[c] = m - 1 - i;
        if (c >= 'a' && c <= 'z')
            skip[c - 32] = m - 1 - i;
    }
    const auto *s = reinterpret_cast<const unsigned char *>(begin);
    const auto *p = reinterpret_cast<const unsigned char *>(needle.constData());
    for (size_t at = 0; at + m <= n; at += skip[s[at + m - 1]]) {
        size_t k = m;
        while (k > 0 && static_cast<unsigned char>(lowerAscii(char(s[at + k - 1]))) == p[k - 1])
            --k;
        if (k == 0)
            return true;
    }
    return false;
}

// The declared or signalled encoding is UTF-8 (or none is given, which
// means UTF-8).
bool isUtf8(const QByteArray &xhtml)
{
    if (xhtml.startsWith("\xFE\xFF") || xhtml.startsWith("\xFF\xFE")
        || (!xhtml.isEmpty() && xhtml.at(0) == 0))
        return false;
    const qsizetype start = xhtml.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    if (xhtml.mid(start, 5) != "<?xml")
        return true;
    const qsizetype close = xhtml.indexOf("?>", start);
    if (close < 0)
        return false;
    const QByteArray declaration = xhtml.mid(start, close - start).toLower();
    const qsizetype at = declaration.indexOf("encoding");
    if (at < 0)
        return true;
    const QByteArray rest = declaration.mid(at + 8);
    return rest.contains("\"utf-8\"") || rest.contains("'utf-8'") || rest.contains("\"utf8\"")
        || rest.contains("'utf8'");
}

} // namespace

XhtmlTermFilter::XhtmlTermFilter(const QString &term)
{
    const FoldTable &table = foldTable();
    m_usable = !term.isEmpty();
    for (const char32_t c : term.toUcs4()) {
        const char32_t f = QChar::toCaseFolded(c);
        m_folded.insert(f);
        if (c == u'\n' || c == u'\r' || (c >= 0xD800 && c <= 0xDFFF)) {
            // Line ends are rewritten by the XML parser; a lone surrogate
            // compares by halves.
            m_usable = false;
        } else if (c < 0x80) {
            for (const char32_t other : table.asciiSources.value(f))
                m_alternates.append(QString::fromUcs4(&other, 1).toUtf8());
        } else if (f != c || table.targets.contains(c)) {
            // A letter with case outside ASCII: its other forms are not
            // looked for in bytes.
            m_usable = false;
        }
    }
    m_needle = term.toUtf8();
    for (char &c : m_needle)
        c = lowerAscii(c);
}

bool XhtmlTermFilter::referenceMayHold(const char *at, const char *end) const
{
    // `at` is just past "&".
    const char *semicolon = static_cast<const char *>(std::memchr(at, ';', std::min<size_t>(end - at, 40)));
    if (!semicolon || semicolon == at)
        return true;
    const QByteArray name(at, semicolon - at);
    char32_t value = 0;
    if (name.startsWith('#')) {
        bool ok = false;
        const uint n = name.startsWith("#x") ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
        if (!ok || n > 0x10FFFF)
            return true;
        value = n;
    } else if (name == "amp") {
        value = u'&';
    } else if (name == "lt") {
        value = u'<';
    } else if (name == "gt") {
        value = u'>';
    } else if (name == "quot") {
        value = u'"';
    } else if (name == "apos") {
        value = u'\'';
    } else if (const htmlEntityDesc *e
        = htmlEntityLookup(reinterpret_cast<const xmlChar *>(name.constData()))) {
        value = e->value;
    } else {
        return true;
    }
    return m_folded.contains(QChar::toCaseFolded(value));
}

bool XhtmlTermFilter::mayHold(const QByteArray &xhtml) const
{
    if (!m_usable || !isUtf8(xhtml))
        return true;
    const char *begin = xhtml.constData();
    const char *end = begin + xhtml.size();
    if (containsIgnoringAsciiCase(begin, end, m_needle))
        return true;
    for (const QByteArray &other : m_alternates)
        if (contains(begin, end, other.constData(), size_t(other.size())))
            return true;
    // Text that CDATA sections, processing instructions or entities of the
    // file's own could join or make up: one look at every "<!" and "<?"
    // (but the XML declaration's).
    const bool declared = xhtml.startsWith("<?xml") || xhtml.startsWith("\xEF\xBB\xBF<?xml");
    for (const char *at = begin; (at = static_cast<const char *>(std::memchr(at, '<', size_t(end - at))));) {
        ++at;
        if (at == end)
            break;
        if (*at == '?' && !(declared && at - begin <= 4))
            return true;
        if (*at == '!' && end - at >= 8
            && (std::memcmp(at, "![CDATA[", 8) == 0 || std::memcmp(at, "!ENTITY", 7) == 0))
            return true;
    }
    // A reference may stand for one of the term's characters.
    for (const char *at = begin; (at = static_cast<const char *>(std::memchr(at, '&', end - at))); ++at)
        if (referenceMayHold(at + 1, end))
            return true;
    return false;
}
