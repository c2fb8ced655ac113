// The application's own web profile for book pages: the epub:// handler
// installed, no access from book pages to file:// or remote URLs, and a
// request filter that lets a book page load only its own book's entries
// (BookPagePolicy::allowsRequest): no web, WebSocket or beacon requests and
// nothing of another book.
// GUI thread only.
#pragma once

#include <QWebEngineProfile>

class EPUBURLProtcol;

class BookWebProfile
{
public:
    // Makes a profile with the handler over a copy of `protocol`
    // (EPUBURLProtcol::forDataFolder() when null); owned by `parent`. After
    // QApplication; the start-up makes one and hands it to the reader.
    static QWebEngineProfile *create(QObject *parent, const EPUBURLProtcol *protocol = nullptr);
};
