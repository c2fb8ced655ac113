#include "SubstringTokenizer.h"

#include <QChar>
#include <QList>
#include <sqlite3.h>
#include <vector>

namespace
{

// One character of the input: its folded UTF-8 bytes and where it starts.
struct Unit {
    char bytes[4];
    int length;
    int start;
};

int encodeUtf8(char32_t c, char *out)
{
    if (c < 0x80) {
        out[0] = char(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = char(0xC0 | (c >> 6));
        out[1] = char(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = char(0xE0 | (c >> 12));
        out[1] = char(0x80 | ((c >> 6) & 0x3F));
        out[2] = char(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | (c >> 18));
    out[1] = char(0x80 | ((c >> 12) & 0x3F));
    out[2] = char(0x80 | ((c >> 6) & 0x3F));
    out[3] = char(0x80 | (c & 0x3F));
    return 4;
}

// Decodes and folds `text`. A byte that does not begin a well-formed UTF-8
// sequence stands for itself (the indexed text is always well-formed; a
// query need not be).
void decode(const char *text, int size, std::vector<Unit> &units)
{
    units.clear();
    units.reserve(size_t(size));
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    int i = 0;
    while (i < size) {
        Unit u;
        u.start = i;
        const unsigned char b = s[i];
        if (b < 0x80) {
            u.bytes[0] = char(b >= 'A' && b <= 'Z' ? b + 32 : b);
            u.length = 1;
            ++i;
            units.push_back(u);
            continue;
        }
        int extra = b >= 0xF0 && b < 0xF5 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : -1;
        char32_t c = extra == 3 ? b & 0x07 : extra == 2 ? b & 0x0F : b & 0x1F;
        bool ok = extra > 0;
        for (int k = 1; ok && k <= extra; ++k) {
            if (i + k >= size || (s[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                c = (c << 6) | (s[i + k] & 0x3F);
        }
        if (!ok) {
            u.bytes[0] = char(b);
            u.length = 1;
            ++i;
        } else {
            u.length = encodeUtf8(QChar::toCaseFolded(c), u.bytes);
            i += extra + 1;
        }
        units.push_back(u);
    }
}

struct Tokenizer {
};

int createTokenizer(void *, const char **, int, Fts5Tokenizer **out)
{
    static Tokenizer shared;
    *out = reinterpret_cast<Fts5Tokenizer *>(&shared);
    return SQLITE_OK;
}

void deleteTokenizer(Fts5Tokenizer *) { }

using TokenCallback = int (*)(void *, int, const char *, int, int, int);

int tokenize(Fts5Tokenizer *, void *context, int flags, const char *text, int size, TokenCallback token)
{
    thread_local std::vector<Unit> units;
    decode(text, size, units);
    const int n = int(units.size());
    const bool query = (flags & FTS5_TOKENIZE_QUERY) != 0;
    char buffer[4 * SubstringTokenizer::kTokenLength];
    // A query shorter than a token is one token, used as a prefix.
    const int last = query ? (n < SubstringTokenizer::kTokenLength ? std::min(n, 1) : n - 2) : n;
    for (int i = 0; i < last; ++i) {
        const int count = std::min(SubstringTokenizer::kTokenLength, n - i);
        int length = 0;
        for (int k = 0; k < count; ++k) {
            const Unit &u = units[size_t(i + k)];
            for (int b = 0; b < u.length; ++b)
                buffer[length++] = u.bytes[b];
        }
        const int end = i + count < n ? units[size_t(i + count)].start : size;
        if (const int rc = token(context, 0, buffer, length, units[size_t(i)].start, end); rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

fts5_api *fts5Of(sqlite3 *db)
{
    fts5_api *api = nullptr;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &st, nullptr) != SQLITE_OK)
        return nullptr;
    sqlite3_bind_pointer(st, 1, &api, "fts5_api_ptr", nullptr);
    sqlite3_step(st);
    sqlite3_finalize(st);
    return api;
}

} // namespace

bool SubstringTokenizer::registerWith(sqlite3 *db, QString *error)
{
    fts5_api *api = db ? fts5Of(db) : nullptr;
    if (!api || api->iVersion < 2) {
        if (error)
            *error = QStringLiteral("SQLite has no FTS5 full-text module");
        return false;
    }
    fts5_tokenizer tokenizer { createTokenizer, deleteTokenizer, tokenize };
    if (api->xCreateTokenizer(api, kName, nullptr, &tokenizer, nullptr) != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(sqlite3_errmsg(db));
        return false;
    }
    return true;
}

QList<QByteArray> SubstringTokenizer::documentTokens(const QString &text)
{
    QList<QByteArray> tokens;
    const QByteArray utf8 = text.toUtf8();
    tokenize(nullptr, &tokens, FTS5_TOKENIZE_DOCUMENT, utf8.constData(), int(utf8.size()),
        [](void *context, int, const char *token, int length, int, int) {
            static_cast<QList<QByteArray> *>(context)->append(QByteArray(token, length));
            return SQLITE_OK;
        });
    return tokens;
}
