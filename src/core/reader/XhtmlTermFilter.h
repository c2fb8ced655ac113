// Tells, from the bytes of an XHTML file alone, whether its text can hold a
// term, so that the in-book search parses only the files that may: a file
// whose bytes rule the term out is skipped, found to hold no hit.
//
// The answer is "no" only when it is certain: the file's text as
// BookSearchText::readItem reads it (references decoded, chunks split at
// tags) cannot contain the term under QString's case-insensitive
// comparison. Whatever the filter cannot reason about (another encoding,
// CDATA sections, processing instructions, declared entities, a term with
// letters that have case outside ASCII) makes it answer "maybe".
//
// Threads: any; an object is immutable after construction.
#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

class XhtmlTermFilter
{
public:
    explicit XhtmlTermFilter(const QString &term);

    // False only when the text of `xhtml` surely does not hold the term.
    bool mayHold(const QByteArray &xhtml) const;
    // False when the term is such that every file is a "maybe".
    bool canRuleOut() const { return m_usable; }

private:
    bool referenceMayHold(const char *at, const char *end) const;

    bool m_usable = false;
    QByteArray m_needle; // the term in UTF-8, ASCII letters in lower case
    QList<QByteArray> m_alternates; // other characters equal to one of the term's letters
    QSet<char32_t> m_folded; // the term's characters, case-folded
};
