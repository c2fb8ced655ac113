// What a book page may load, and the content security policy its (X)HTML
// documents carry.
//
// Every book is its own origin (epub://<host>/, one host per book file). A
// book's scripts are untrusted: they may read their own book's entries, but
// nothing of another book and nothing on the network. Two layers hold that:
// the web profile refuses every request that allowsRequest() refuses, and
// each (X)HTML page is served with a <meta http-equiv="Content-Security-Policy">
// (the web engine's scheme handler cannot set response headers), which also
// covers channels that never reach the request filter.
//
// Pure; any thread.
#pragma once

#include <QByteArray>
#include <QUrl>

class BookPagePolicy
{
public:
    // The policy text: everything from the page's own origin only; inline
    // styles and scripts stay allowed (books and the reader's theme use them),
    // pictures and fonts may also come from data: and blob: URLs.
    static QByteArray contentSecurityPolicy();

    // Whether a reply of this MIME type is a page the policy goes into
    // (text/html, and XHTML or plain XML, whose root may be an XHTML <html>;
    // parameters ignored). Pages of other XML types are read as XHTML.
    static bool isPageType(const QByteArray &mimeType);

    // `page` with the policy put before anything of the page that could run:
    // for HTML right after the prologue (BOM, doctype, comments), for XHTML as
    // a new first <head> inside the root <html> element. A document in an
    // encoding that is not ASCII-compatible (UTF-16/32), an XHTML document
    // whose root is not "html", or a prologue that does not parse comes back
    // unchanged (the request filter still holds for it).
    static QByteArray withPolicy(const QByteArray &page, bool xhtml);

    // Whether a book page whose own document is `pageUrl` (the frame's
    // origin, or the top document when the origin is unknown) may load
    // `request`. `mainFrameNavigation` marks the reader's own loads of the
    // top document (no initiating page). Only epub:// URLs of the page's own
    // book, data: and blob: URLs, about:blank and the reader's "tavro:" links
    // pass; a top-level navigation to another book passes only when no book
    // page started it.
    static bool allowsRequest(const QUrl &request, const QUrl &pageUrl, bool mainFrameNavigation);
};
