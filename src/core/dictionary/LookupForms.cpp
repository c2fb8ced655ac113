#include "LookupForms.h"

#include "JapaneseLemmas.h"

#include <QSet>

namespace
{

bool isTrimmed(QChar c)
{
    // Punctuation covers brackets, quotes, dashes; symbols cover "+", "=".
    return c.isSpace() || c.isPunct() || c.isSymbol();
}

bool isJapanese(char32_t u)
{
    return (u >= 0x3040 && u <= 0x30FF) // hiragana, katakana
        || (u >= 0x3400 && u <= 0x4DBF) // extension A
        || (u >= 0x4E00 && u <= 0x9FFF) // unified ideographs
        || (u >= 0xF900 && u <= 0xFAFF) // compatibility ideographs
        || (u >= 0x20000 && u <= 0x3FFFF); // later extensions
}

bool isLatinWord(const QString &word)
{
    if (word.size() < 3)
        return false;
    for (const QChar c : word)
        if (!(c >= u'a' && c <= u'z'))
            return false;
    return true;
}

bool isVowel(QChar c)
{
    return QStringView(u"aeiouy").contains(c);
}

struct Suffix {
    const char16_t *ending;
    const char16_t *replacement;
};

// Most specific first. Latin and Greek plurals of anatomy and pathology come
// before the plain English ones so that "vertebrae" is tried as "vertebra"
// before anything else.
const Suffix kSuffixes[] = {
    { u"ices", u"ix" }, // cervices, appendices
    { u"ices", u"ex" }, // apices, cortices, indices
    { u"ata", u"a" }, // carcinomata, stomata
    { u"ina", u"en" }, // foramina, lumina
    { u"ora", u"us" }, // corpora
    { u"era", u"us" }, // viscera
    { u"ae", u"a" }, // vertebrae, fasciae
    { u"ia", u"ium" }, // bacteria, atria
    { u"ia", u"ion" }, // ganglia, criteria
    { u"a", u"um" }, // diverticula, ova
    { u"i", u"us" }, // bronchi, nuclei, emboli
    { u"ies", u"y" }, // arteries, therapies
    { u"es", u"is" }, // diagnoses, metastases
    { u"ied", u"y" }, // carried
    { u"es", u"" }, // abscesses, sinuses
    { u"s", u"" }, // tumors, cells
    // "-e" first: the plain stem of "ulcerated" would find "ulcerate" only
    // as a prefix match of "ulcerat".
    { u"ed", u"e" }, // inflamed, ulcerated
    { u"ed", u"" }, // infected
    { u"ing", u"e" }, // ulcerating
    { u"ing", u"" }, // bleeding
};

} // namespace

QString LookupForms::folded(const QString &text)
{
    const QString f = text.normalized(QString::NormalizationForm_KC).toCaseFolded();
    qsizetype begin = 0;
    qsizetype end = f.size();
    while (begin < end && isTrimmed(f.at(begin)))
        ++begin;
    while (end > begin && isTrimmed(f.at(end - 1)))
        --end;
    return f.mid(begin, end - begin);
}

QStringList LookupForms::baseForms(const QString &word)
{
    QStringList out;
    if (!isLatinWord(word))
        return out;
    auto add = [&](const QString &base) {
        if (base.size() >= 2 && base != word && !out.contains(base))
            out.append(base);
    };
    for (const Suffix &s : kSuffixes) {
        const QStringView ending(s.ending);
        if (!word.endsWith(ending) || word.size() - ending.size() < 2)
            continue;
        // "-s" after "s" ("abscess", "sepsis") is no plural.
        if (ending == u"s" && (word.endsWith(u"ss") || word.endsWith(u"is") || word.endsWith(u"us")))
            continue;
        const QString stem = word.left(word.size() - ending.size());
        if ((ending == u"ed" || ending == u"ing") && stem.size() >= 3) {
            // clotted, clotting -> clot
            const QChar last = stem.back();
            if (last == stem.at(stem.size() - 2) && !isVowel(last) && last != u'l' && last != u's')
                add(stem.left(stem.size() - 1));
        }
        add(stem + QString::fromUtf16(s.replacement));
    }
    return out;
}

QList<LookupForm> LookupForms::primary(const QString &selection)
{
    QList<LookupForm> out;
    QSet<QString> seen;
    auto add = [&](const QString &text, LookupForm::Rule rule) {
        if (text.isEmpty() || seen.contains(text))
            return;
        seen.insert(text);
        out.append({ text, rule });
    };
    add(selection.trimmed(), LookupForm::Rule::Selection);
    const QString f = folded(selection);
    add(f, LookupForm::Rule::Folded);

    // The last word of the folded text, and what comes before it.
    qsizetype start = f.size();
    while (start > 0 && f.at(start - 1).isLetter())
        --start;
    const QString last = f.mid(start);
    for (const QString &base : baseForms(last))
        add(f.left(start) + base, LookupForm::Rule::Inflection);
    return out;
}

QList<LookupForm> LookupForms::lemmaForms(const QString &selection, const JapaneseLemmas &lemmas)
{
    QList<LookupForm> out;
    QSet<QString> seen;
    for (const LookupForm &f : primary(selection))
        seen.insert(f.text);
    for (const QString &text : lemmas.forms(folded(selection))) {
        if (seen.contains(text))
            continue;
        seen.insert(text);
        out.append({ text, LookupForm::Rule::Lemma });
    }
    return out;
}

QList<LookupForm> LookupForms::leadingParts(const QString &selection)
{
    QList<LookupForm> out;
    const QString f = folded(selection);
    bool japanese = false;
    QList<qsizetype> ends; // the end of each whole code point
    for (qsizetype i = 0; i < f.size(); ++i) {
        char32_t u = f.at(i).unicode();
        if (f.at(i).isHighSurrogate() && i + 1 < f.size() && f.at(i + 1).isLowSurrogate()) {
            u = QChar::surrogateToUcs4(f.at(i), f.at(i + 1));
            ++i;
        }
        japanese = japanese || isJapanese(u);
        ends.append(i + 1);
    }
    if (!japanese)
        return out;
    // Without the whole selection (tried already) and capped.
    const qsizetype first = std::min<qsizetype>(ends.size() - 1, kMaxLeadingPart);
    for (qsizetype n = first; n >= 1; --n) {
        const QString part = f.left(ends.at(n - 1)).trimmed();
        if (!part.isEmpty() && (out.isEmpty() || out.last().text != part))
            out.append({ part, LookupForm::Rule::LeadingPart });
    }
    return out;
}

QString LookupForms::ruleName(LookupForm::Rule rule)
{
    switch (rule) {
    case LookupForm::Rule::Selection:
        return QStringLiteral("selection");
    case LookupForm::Rule::Folded:
        return QStringLiteral("folded");
    case LookupForm::Rule::Inflection:
        return QStringLiteral("inflection");
    case LookupForm::Rule::Lemma:
        return QStringLiteral("lemma");
    case LookupForm::Rule::LeadingPart:
        return QStringLiteral("leadingPart");
    }
    return {};
}
