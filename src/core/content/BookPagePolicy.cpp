#include "BookPagePolicy.h"

#include "BookUrl.h"

namespace
{

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool startsWithAt(const QByteArray &data, qsizetype pos, const char *text)
{
    const qsizetype n = qsizetype(qstrlen(text));
    return pos + n <= data.size() && qstrnicmp(data.constData() + pos, text, n) == 0;
}

// The position after the '>' ending the tag that starts at `pos`, with
// quoted attribute values skipped; -1 when the tag does not end.
qsizetype tagEnd(const QByteArray &data, qsizetype pos)
{
    char quote = 0;
    for (qsizetype i = pos + 1; i < data.size(); ++i) {
        const char c = data.at(i);
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return -1;
}

// HTML: the position after the prologue (BOM, white space, comments, bogus
// comments, doctype) read as the HTML parser reads it; -1 when a comment or
// doctype does not end.
qsizetype htmlPrologueEnd(const QByteArray &data, qsizetype pos)
{
    while (pos < data.size()) {
        if (isSpace(data.at(pos))) {
            ++pos;
        } else if (startsWithAt(data, pos, "<!--")) {
            // "<!-->" and "<!--->" are complete (empty) comments; otherwise
            // the first "-->" or "--!>" ends it.
            if (startsWithAt(data, pos, "<!-->")) {
                pos += 5;
                continue;
            }
            if (startsWithAt(data, pos, "<!--->")) {
                pos += 6;
                continue;
            }
            const qsizetype a = data.indexOf("-->", pos + 4);
            const qsizetype b = data.indexOf("--!>", pos + 4);
            if (a < 0 && b < 0)
                return -1;
            pos = (b < 0 || (a >= 0 && a < b)) ? a + 3 : b + 4;
        } else if (startsWithAt(data, pos, "<!") || startsWithAt(data, pos, "<?")) {
            // A doctype or a bogus comment: the first '>' ends it.
            const qsizetype end = data.indexOf('>', pos);
            if (end < 0)
                return -1;
            pos = end + 1;
        } else {
            break;
        }
    }
    return pos;
}

// XML: the position of the root element's '<' (after the XML declaration,
// processing instructions, comments and doctype with its internal subset);
// -1 when the prologue does not parse.
qsizetype xmlRootStart(const QByteArray &data, qsizetype pos)
{
    while (pos < data.size()) {
        if (isSpace(data.at(pos))) {
            ++pos;
        } else if (startsWithAt(data, pos, "<?")) {
            const qsizetype end = data.indexOf("?>", pos + 2);
            if (end < 0)
                return -1;
            pos = end + 2;
        } else if (startsWithAt(data, pos, "<!--")) {
            const qsizetype end = data.indexOf("-->", pos + 4);
            if (end < 0)
                return -1;
            pos = end + 3;
        } else if (startsWithAt(data, pos, "<!DOCTYPE")) {
            // The internal subset ("[...]") may hold '>' in its declarations.
            qsizetype i = pos + 9;
            char quote = 0;
            bool inSubset = false;
            for (; i < data.size(); ++i) {
                const char c = data.at(i);
                if (quote) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '[') {
                    inSubset = true;
                } else if (c == ']') {
                    inSubset = false;
                } else if (c == '>' && !inSubset) {
                    break;
                }
            }
            if (i >= data.size())
                return -1;
            pos = i + 1;
        } else if (data.at(pos) == '<') {
            return pos;
        } else {
            return -1;
        }
    }
    return -1;
}

QByteArray metaElement()
{
    return QByteArrayLiteral("<meta http-equiv=\"Content-Security-Policy\" content=\"")
        + BookPagePolicy::contentSecurityPolicy() + QByteArrayLiteral("\"/>");
}

bool isBookOrigin(const QUrl &url)
{
    return url.scheme().compare(QLatin1String(BookUrl::kScheme), Qt::CaseInsensitive) == 0
        && !url.host().isEmpty();
}

} // namespace

QByteArray BookPagePolicy::contentSecurityPolicy()
{
    // No '"' in the text: it goes into an attribute as it is. Drawings in
    // <object> and frames of the book's own stay (plug-ins are off in the
    // profile); workers would run without this policy, so there are none.
    return QByteArrayLiteral("default-src 'self'; "
                             "script-src 'self' 'unsafe-inline' 'unsafe-eval'; "
                             "style-src 'self' 'unsafe-inline'; "
                             "img-src 'self' data: blob:; "
                             "font-src 'self' data:; "
                             "media-src 'self' data: blob:; "
                             "connect-src 'self'; "
                             "object-src 'self'; "
                             "worker-src 'none'; "
                             "manifest-src 'none'; "
                             "frame-src 'self'; "
                             "form-action 'self'; "
                             "base-uri 'self'");
}

bool BookPagePolicy::isPageType(const QByteArray &mimeType)
{
    const QByteArray type = mimeType.split(';').first().trimmed().toLower();
    return type == "text/html" || type == "application/xhtml+xml" || type == "application/xml"
        || type == "text/xml";
}

QByteArray BookPagePolicy::withPolicy(const QByteArray &page, bool xhtml)
{
    if (page.size() >= 2
        && (page.at(0) == '\0' || page.at(1) == '\0' || page.startsWith("\xFE\xFF")
            || page.startsWith("\xFF\xFE")))
        return page;
    const qsizetype start = page.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    if (!xhtml) {
        // Whatever follows the prologue, the HTML parser puts this <meta>
        // into the document's head before any element of the page.
        const qsizetype at = htmlPrologueEnd(page, start);
        if (at < 0)
            return page;
        QByteArray out = page;
        out.insert(at, metaElement());
        return out;
    }
    const qsizetype root = xmlRootStart(page, start);
    if (root < 0)
        return page;
    qsizetype nameEnd = root + 1;
    while (nameEnd < page.size() && !isSpace(page.at(nameEnd)) && page.at(nameEnd) != '>'
        && page.at(nameEnd) != '/')
        ++nameEnd;
    QByteArray name = page.mid(root + 1, nameEnd - root - 1);
    name = name.mid(name.lastIndexOf(':') + 1);
    if (name != "html")
        return page;
    const qsizetype end = tagEnd(page, root);
    if (end < 0 || page.at(end - 2) == '/')
        return page;
    // The document's head is the first <head> child of the root: a new one
    // in front of the book's own is the head the engine reads the policy
    // from, before any script of the book.
    QByteArray out = page;
    out.insert(end,
        QByteArrayLiteral("<head xmlns=\"http://www.w3.org/1999/xhtml\">") + metaElement()
            + QByteArrayLiteral("</head>"));
    return out;
}

bool BookPagePolicy::allowsRequest(const QUrl &request, const QUrl &pageUrl, bool mainFrameNavigation)
{
    const QString scheme = request.scheme().toLower();
    if (scheme == QLatin1String("data") || scheme == QLatin1String("blob")
        || scheme == QLatin1String("tavro"))
        return true;
    if (scheme == QLatin1String("about"))
        return request.path() == QLatin1String("blank") || request.path() == QLatin1String("srcdoc");
    if (!isBookOrigin(request))
        return false;
    if (!isBookOrigin(pageUrl))
        // Only the reader itself opens a book page from nowhere.
        return mainFrameNavigation && pageUrl.isEmpty();
    return request.host().compare(pageUrl.host(), Qt::CaseInsensitive) == 0;
}
