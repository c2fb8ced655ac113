// A quick reader of the text of an XHTML file for in-book search, for the
// files that need nothing more than plain XML: UTF-8, elements and
// attributes, the five predefined and numeric references, comments, a
// DOCTYPE without an internal subset. It gives exactly what the libxml2
// reading of BookSearchText::readItem gives (the chunks outside the first
// <head>, split at tags and comments) without libxml2's cost of decoding
// every character on its own.
//
// It answers only for a well-formed file it fully understands: anything
// else (another encoding, CDATA sections, processing instructions inside
// the document, named entities, a syntax error) gives no answer, and the
// caller reads the file with libxml2, which also says where it stops.
//
// Threads: any.
#pragma once

#include <QByteArray>
#include <QStringList>
#include <optional>

class XhtmlTextScanner
{
public:
    // The text chunks of `xhtml` (the whole file was read); absent when the
    // caller must use the full parser.
    static std::optional<QStringList> read(const QByteArray &xhtml);
};
