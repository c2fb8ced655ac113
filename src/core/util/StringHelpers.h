// String helpers shared by every subsystem: URL encoding, query parsing,
// JSON decoding, HTML clean-up and XML escaping.
//
// All functions are pure and may be called from any thread. "Absent" is an
// empty std::optional or an invalid QVariant; no function throws.
#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <optional>

// Percent-encodes every UTF-8 byte of `s` except ASCII letters, digits and
// "-", ".", "_", "~". Hex digits are upper case. "/" is encoded too, so the
// result can stand as one URL component (a book's file name, a parameter).
QString encodeURI(const QString &s);

// As encodeURI, but "/" and ":" are kept as they are.
QString encodeURInoslash(const QString &s);

// The inverse of encodeURI: every "%XX" is turned back into its byte and the
// bytes are read as UTF-8; other characters are kept ("+" stays "+").
// Absent when a "%" is not followed by two hex digits or the bytes are not
// valid UTF-8.
std::optional<QString> decodeURI(const QString &s);

// A dictionary from a query string "a=1&b=2": parts that do not split into
// exactly two pieces at "=" are ignored, as is a pair whose key or value does
// not decode (decodeURI). A later duplicate key replaces the earlier value.
// Values are QString.
QVariantMap query2dic(const QString &query);

// The JSON value (map, list, string, number, bool, or the JSON null marker)
// parsed from the string; an invalid QVariant when it is not valid JSON.
QVariant jsonDecode(const QString &s);

// Removes every "<...>" tag (the leftmost one first, repeatedly, so that tags
// formed by a removal go too), then turns each "&nbsp;" into a space, then each
// carriage return and line feed into a space. Linear in the input length.
QString stringByStrippingHTML(const QString &s);

// XML text escaping in this order: "&" -> "&#38;", ">" -> "&#62;",
// "<" -> "&#60;".
QString escapedString(const QString &s);

// The string without leading and trailing spaces and tabs; line breaks stay.
QString trim(const QString &s);

// The string as it is drawn: control characters (U+0000-U+001F and U+007F)
// removed, except line feeds and tabs; a carriage return becomes a line
// break ("\r\n" one break). Stored texts keep their controls; this is for
// display only (a label draws a control as a box).
QString displayText(const QString &s);
