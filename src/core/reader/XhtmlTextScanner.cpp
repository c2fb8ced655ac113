#include "XhtmlTextScanner.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace
{

// Well-formed UTF-8 of XML characters only: no C0 control but tab, line
// feed and carriage return, no surrogates, no U+FFFE or U+FFFF.
bool isXmlUtf8(const unsigned char *s, size_t n)
{
    size_t i = 0;
    while (i < n) {
        // Eight ASCII bytes at a time.
        if (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, s + i, 8);
            if ((word & 0x8080808080808080ULL) == 0) {
                // Any byte below 0x20? (the usual "has a byte less than" trick)
                if (((word - 0x2020202020202020ULL) & ~word & 0x8080808080808080ULL) == 0) {
                    i += 8;
                    continue;
                }
            }
        }
        const unsigned char b = s[i];
        if (b < 0x80) {
            if (b < 0x20 && b != '\t' && b != '\n' && b != '\r')
                return false;
            ++i;
            continue;
        }
        int extra;
        char32_t c;
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
            c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            c = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            c = b & 0x07;
        } else {
            return false;
        }
        if (i + size_t(extra) >= n)
            return false;
        for (int k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (s[i + k] & 0x3F);
        }
        const char32_t least = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF)
            return false;
        i += size_t(extra) + 1;
    }
    return true;
}

bool isNameStart(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
}

bool isNameChar(unsigned char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool isSpace(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
        || (c >= 0x10000 && c <= 0x10FFFF);
}

void appendUtf8(QByteArray &out, char32_t c)
{
    char b[4];
    int n;
    if (c < 0x80) {
        b[0] = char(c);
        n = 1;
    } else if (c < 0x800) {
        b[0] = char(0xC0 | (c >> 6));
        b[1] = char(0x80 | (c & 0x3F));
        n = 2;
    } else if (c < 0x10000) {
        b[0] = char(0xE0 | (c >> 12));
        b[1] = char(0x80 | ((c >> 6) & 0x3F));
        b[2] = char(0x80 | (c & 0x3F));
        n = 3;
    } else {
        b[0] = char(0xF0 | (c >> 18));
        b[1] = char(0x80 | ((c >> 12) & 0x3F));
        b[2] = char(0x80 | ((c >> 6) & 0x3F));
        b[3] = char(0x80 | (c & 0x3F));
        n = 4;
    }
    out.append(b, n);
}

class Scanner
{
public:
    Scanner(const QByteArray &xhtml)
        : m_p(reinterpret_cast<const unsigned char *>(xhtml.constData()))
        , m_end(m_p + xhtml.size())
    {
    }

    // False when the file is not one this reader answers for.
    bool run()
    {
        if (m_end - m_p >= 3 && m_p[0] == 0xEF && m_p[1] == 0xBB && m_p[2] == 0xBF)
            m_p += 3;
        if (!isXmlUtf8(m_p, size_t(m_end - m_p)))
            return false;
        if (startsWith("<?xml") && m_end - m_p > 5 && isSpace(m_p[5]) && !declaration())
            return false;
        // Prolog: blanks, comments, one DOCTYPE.
        bool doctype = false;
        for (;;) {
            skipSpace();
            if (startsWith("<!--")) {
                if (!comment())
                    return false;
            } else if (startsWith("<!DOCTYPE")) {
                if (doctype || !doctypeDeclaration())
                    return false;
                doctype = true;
            } else {
                break;
            }
        }
        if (m_p == m_end || *m_p != '<' || !element())
            return false;
        // After the root: blanks and comments only.
        for (;;) {
            skipSpace();
            if (m_p == m_end)
                return true;
            if (!startsWith("<!--") || !comment())
                return false;
        }
    }

    QStringList chunks;

private:
    bool startsWith(const char *s) const
    {
        const size_t n = std::strlen(s);
        return size_t(m_end - m_p) >= n && std::memcmp(m_p, s, n) == 0;
    }
    void skipSpace()
    {
        while (m_p < m_end && isSpace(*m_p))
            ++m_p;
    }
    bool name()
    {
        if (m_p == m_end || !isNameStart(*m_p))
            return false;
        while (m_p < m_end && isNameChar(*m_p))
            ++m_p;
        return true;
    }
    bool quoted(const unsigned char **begin = nullptr, const unsigned char **stop = nullptr)
    {
        if (m_p == m_end || (*m_p != '"' && *m_p != '\''))
            return false;
        const unsigned char q = *m_p++;
        const auto *close = static_cast<const unsigned char *>(std::memchr(m_p, q, size_t(m_end - m_p)));
        if (!close)
            return false;
        if (begin)
            *begin = m_p;
        if (stop)
            *stop = close;
        m_p = close + 1;
        return true;
    }

    // <?xml version="1.0" encoding="UTF-8" standalone="..."?>
    bool declaration()
    {
        m_p += 5;
        const auto *close = static_cast<const unsigned char *>(std::memchr(m_p, '?', size_t(m_end - m_p)));
        if (!close || close + 1 >= m_end || close[1] != '>')
            return false;
        QByteArray inside(reinterpret_cast<const char *>(m_p), close - m_p);
        inside = inside.simplified().replace(" = ", "=").replace("= ", "=").replace(" =", "=");
        const QList<QByteArray> parts = inside.split(' ');
        const QList<QByteArray> allowed[] = { { "version=\"1.0\"", "version='1.0'" },
            { "encoding=\"UTF-8\"", "encoding='UTF-8'", "encoding=\"utf-8\"", "encoding='utf-8'" },
            { "standalone=\"yes\"", "standalone='yes'", "standalone=\"no\"", "standalone='no'" } };
        int next = 0;
        for (const QByteArray &part : parts) {
            while (next < 3 && !allowed[next].contains(part))
                ++next;
            if (next == 3)
                return false;
            ++next;
        }
        if (parts.isEmpty() || !allowed[0].contains(parts.first()) || !isSpace(m_p[0]))
            return false;
        m_p = close + 2;
        return true;
    }

    bool isPubidChar(unsigned char c) const
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' '
            || c == '\r' || c == '\n' || std::strchr("-'()+,./:=?;!*#@$_%", c);
    }

    // <!DOCTYPE name>, <!DOCTYPE name SYSTEM "s">, <!DOCTYPE name PUBLIC "p" "s">
    bool doctypeDeclaration()
    {
        m_p += 9;
        if (m_p == m_end || !isSpace(*m_p))
            return false;
        skipSpace();
        if (!name())
            return false;
        const unsigned char *before = m_p;
        skipSpace();
        if (startsWith("SYSTEM") || startsWith("PUBLIC")) {
            if (m_p == before)
                return false;
            const bool isPublic = *m_p == 'P';
            m_p += 6;
            if (m_p == m_end || !isSpace(*m_p))
                return false;
            skipSpace();
            if (isPublic) {
                const unsigned char *b, *e;
                if (m_p == m_end || !quoted(&b, &e))
                    return false;
                for (const unsigned char *c = b; c < e; ++c)
                    if (!isPubidChar(*c))
                        return false;
                if (m_p == m_end || !isSpace(*m_p))
                    return false;
                skipSpace();
            }
            if (!quoted())
                return false;
            skipSpace();
        }
        if (m_p == m_end || *m_p != '>')
            return false;
        ++m_p;
        return true;
    }

    // <!-- ... --> with no "--" inside.
    bool comment()
    {
        m_p += 4;
        for (const unsigned char *c = m_p; c + 1 < m_end; ++c) {
            c = static_cast<const unsigned char *>(std::memchr(c, '-', size_t(m_end - c)));
            if (!c || c + 1 >= m_end)
                return false;
            if (c[1] == '-') {
                if (c + 2 >= m_end || c[2] != '>')
                    return false;
                m_p = c + 3;
                return true;
            }
        }
        return false;
    }

    // A reference after "&": appends its character to `out` (when given).
    bool reference(QByteArray *out)
    {
        const auto *semicolon
            = static_cast<const unsigned char *>(std::memchr(m_p, ';', std::min<size_t>(m_end - m_p, 12)));
        if (!semicolon)
            return false;
        const size_t n = size_t(semicolon - m_p);
        char32_t c = 0;
        if (n >= 2 && m_p[0] == '#') {
            const bool hex = m_p[1] == 'x';
            const unsigned char *d = m_p + (hex ? 2 : 1);
            if (d == semicolon)
                return false;
            for (; d < semicolon; ++d) {
                int v;
                if (*d >= '0' && *d <= '9')
                    v = *d - '0';
                else if (hex && *d >= 'a' && *d <= 'f')
                    v = *d - 'a' + 10;
                else if (hex && *d >= 'A' && *d <= 'F')
                    v = *d - 'A' + 10;
                else
                    return false;
                c = c * (hex ? 16 : 10) + char32_t(v);
                if (c > 0x10FFFF)
                    return false;
            }
            if (!isXmlChar(c))
                return false;
        } else {
            const auto is = [&](const char *s) { return n == std::strlen(s) && std::memcmp(m_p, s, n) == 0; };
            if (is("amp"))
                c = '&';
            else if (is("lt"))
                c = '<';
            else if (is("gt"))
                c = '>';
            else if (is("quot"))
                c = '"';
            else if (is("apos"))
                c = '\'';
            else
                return false;
        }
        if (out)
            appendUtf8(*out, c);
        m_p = semicolon + 1;
        return true;
    }

    // An element from its "<" to the end of its end tag.
    bool element()
    {
        struct Open {
            const unsigned char *name;
            size_t length;
            bool firstHead;
            int headChildren;
        };
        std::vector<Open> stack;
        int documentHeads = 0;
        int headDepth = 0;
        // The chunk being collected: a run of the file's own bytes while it
        // is one, else copied (decoded references, line ends) into `text`;
        // never both at once.
        QByteArray text;
        const unsigned char *run = nullptr;
        const unsigned char *runEnd = nullptr;
        const auto copyRun = [&] {
            if (run)
                text.append(reinterpret_cast<const char *>(run), runEnd - run);
            run = nullptr;
        };
        const auto addRun = [&](const unsigned char *from, const unsigned char *to) {
            if (from == to)
                return;
            if (run && runEnd == from) {
                runEnd = to;
                return;
            }
            if (!run && text.isEmpty()) {
                run = from;
                runEnd = to;
                return;
            }
            copyRun();
            text.append(reinterpret_cast<const char *>(from), to - from);
        };
        const auto flush = [&] {
            if (headDepth == 0) {
                if (run)
                    chunks.append(QString::fromUtf8(reinterpret_cast<const char *>(run), runEnd - run));
                else if (!text.isEmpty())
                    chunks.append(QString::fromUtf8(text));
            }
            run = nullptr;
            text.clear();
        };
        std::vector<std::pair<const unsigned char *, size_t>> attributes;
        for (;;) {
            if (m_p == m_end)
                return false;
            if (*m_p != '<') {
                if (stack.empty())
                    return false;
                // Text up to the next tag.
                const auto *lt
                    = static_cast<const unsigned char *>(std::memchr(m_p, '<', size_t(m_end - m_p)));
                if (!lt)
                    return false;
                while (m_p < lt) {
                    // The next byte that is not copied as it is.
                    const unsigned char *stop = lt;
                    for (const unsigned char special : { '&', '\r', ']' })
                        if (const auto *at = static_cast<const unsigned char *>(
                                std::memchr(m_p, special, size_t(stop - m_p))))
                            stop = at;
                    addRun(m_p, stop);
                    m_p = stop;
                    if (m_p == lt)
                        break;
                    if (*m_p == '&') {
                        ++m_p;
                        copyRun();
                        if (!reference(&text))
                            return false;
                    } else if (*m_p == '\r') {
                        copyRun();
                        text.append('\n');
                        m_p += m_p + 1 < lt && m_p[1] == '\n' ? 2 : 1;
                    } else {
                        if (lt - m_p >= 3 && m_p[1] == ']' && m_p[2] == '>')
                            return false;
                        addRun(m_p, m_p + 1);
                        ++m_p;
                    }
                }
                continue;
            }
            if (startsWith("<!--")) {
                flush();
                if (!comment())
                    return false;
                continue;
            }
            if (startsWith("</")) {
                m_p += 2;
                const unsigned char *n = m_p;
                if (!name() || stack.empty())
                    return false;
                const Open &top = stack.back();
                if (size_t(m_p - n) != top.length || std::memcmp(n, top.name, top.length) != 0)
                    return false;
                skipSpace();
                if (m_p == m_end || *m_p != '>')
                    return false;
                ++m_p;
                flush();
                if (top.firstHead)
                    --headDepth;
                stack.pop_back();
                if (stack.empty())
                    return true;
                continue;
            }
            // A start tag.
            ++m_p;
            const unsigned char *n = m_p;
            if (!name())
                return false;
            const size_t length = size_t(m_p - n);
            attributes.clear();
            for (;;) {
                const unsigned char *before = m_p;
                skipSpace();
                if (m_p == m_end)
                    return false;
                if (*m_p == '>' || *m_p == '/')
                    break;
                if (m_p == before)
                    return false; // attributes need a blank before them
                const unsigned char *a = m_p;
                if (!name())
                    return false;
                const size_t aLength = size_t(m_p - a);
                for (const auto &[other, otherLength] : attributes)
                    if (otherLength == aLength && std::memcmp(other, a, aLength) == 0)
                        return false;
                attributes.emplace_back(a, aLength);
                skipSpace();
                if (m_p == m_end || *m_p != '=')
                    return false;
                ++m_p;
                skipSpace();
                const unsigned char *b, *e;
                if (!quoted(&b, &e))
                    return false;
                // No "<", and references as in text.
                const unsigned char *after = m_p;
                for (m_p = b; m_p < e;) {
                    if (*m_p == '<')
                        return false;
                    if (*m_p++ == '&' && !reference(nullptr))
                        return false;
                    if (m_p > e)
                        return false;
                }
                m_p = after;
            }
            const bool empty = *m_p == '/';
            if (empty && (m_p + 1 >= m_end || m_p[1] != '>'))
                return false;
            m_p += empty ? 2 : 1;
            flush();
            int &heads = stack.empty() ? documentHeads : stack.back().headChildren;
            const bool firstHead = length == 4 && std::memcmp(n, "head", 4) == 0 && ++heads == 1;
            if (empty) {
                // Opened and closed at once: nothing to flush in between.
                if (stack.empty())
                    return true;
                continue;
            }
            if (firstHead)
                ++headDepth;
            stack.push_back({ n, length, firstHead, 0 });
        }
    }

    const unsigned char *m_p;
    const unsigned char *m_end;
};

} // namespace

std::optional<QStringList> XhtmlTextScanner::read(const QByteArray &xhtml)
{
    Scanner scanner(xhtml);
    if (!scanner.run())
        return std::nullopt;
    return std::move(scanner.chunks);
}
