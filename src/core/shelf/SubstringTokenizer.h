// An SQLite FTS5 tokenizer that makes every substring of the indexed text
// findable, whatever the script: Japanese has no spaces to split words at,
// and the reader's own search finds a term anywhere inside a word
// ("クリアランス" inside "クレアチニンクリアランス", "mycin" inside
// "vancomycin"), so the library's search must too.
//
// A document is indexed as one token per character position: the three
// characters starting there (fewer at the very end), case-folded the way
// QString's case-insensitive search folds them. A query of three or more
// characters becomes the phrase of its overlapping three-character tokens,
// which matches exactly where the folded term occurs; a query of one or two
// characters is a single token meant to be used as a prefix ("xy" *), which
// matches every position whose three characters begin with it.
//
// Threads: registration is per connection; the tokenizer itself keeps no
// state and runs on whatever thread uses the connection.
#pragma once

#include <QString>

struct sqlite3;

class SubstringTokenizer
{
public:
    // The name to give in "tokenize=".
    static constexpr const char *kName = "tavro_substring";
    // Shorter queries need the prefix form.
    static constexpr int kTokenLength = 3;

    // Makes the tokenizer known to `db`. False (with `error` set) when the
    // library has no FTS5 or the registration fails.
    static bool registerWith(sqlite3 *db, QString *error = nullptr);

    // The tokens of `text` as a document (for tests and tools); folded UTF-8.
    static QList<QByteArray> documentTokens(const QString &text);
};
