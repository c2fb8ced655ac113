// The texts a selection is looked up as, in the order they are tried: the
// selection itself; its folded form (NFKC, so full-width letters and
// half-width kana become ordinary ones, and case folding) without the
// punctuation, quotes and brackets around it; English inflections of its
// last word undone (plurals including the Latin and Greek ones of medical
// terms, -ed, -ing); for a selection with Japanese characters, the
// dictionary forms of its words (JapaneseLemmas) and then its leading parts
// from the longest down.
//
// Pure functions of the text (and of the tagger's dictionary); any thread.
#pragma once

#include <QList>
#include <QString>

class JapaneseLemmas;

struct LookupForm {
    enum class Rule { Selection, Folded, Inflection, Lemma, LeadingPart };
    QString text;
    Rule rule = Rule::Selection;

    bool operator==(const LookupForm &other) const = default;
};

class LookupForms
{
public:
    // The selection trimmed, its folded form and its inflection forms, each
    // text once, in the order to try; empty for a blank selection.
    static QList<LookupForm> primary(const QString &selection);

    // The dictionary forms of the words of the folded selection, as
    // `lemmas` finds them, without the texts primary() gives; empty without
    // Japanese characters or when the tagger is unavailable.
    static QList<LookupForm> lemmaForms(const QString &selection, const JapaneseLemmas &lemmas);

    // The leading parts of the folded selection, longest first, from one
    // character shorter than the selection (capped at kMaxLeadingPart
    // characters) down to one character; empty unless the selection holds
    // kana or ideographs.
    static QList<LookupForm> leadingParts(const QString &selection);

    // NFKC, case folding, and trimming of surrounding white space,
    // punctuation, quotes and brackets.
    static QString folded(const QString &text);

    // Base forms of an inflected English word, most likely first; empty
    // when no rule applies. Only words of Latin letters are inflected.
    static QStringList baseForms(const QString &word);

    // "selection", "folded", "inflection", "lemma" or "leadingPart".
    static QString ruleName(LookupForm::Rule rule);

    // Longer selections are sentences, not words: their leading parts start
    // at this length.
    static constexpr int kMaxLeadingPart = 16;
};
