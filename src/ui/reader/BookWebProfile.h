// The application's own web profile for book pages: the epub:// handler
// installed, no access from book pages to file:// or remote URLs.
// GUI thread only.
#pragma once

#include <QWebEngineProfile>

class EPUBURLProtcol;

class BookWebProfile
{
public:
    // The process-wide profile, made on first use (after QApplication).
    static QWebEngineProfile *shared();

    // Makes a profile with the handler over `protocol` (shared resolver when
    // null); owned by `parent`.
    static QWebEngineProfile *create(QObject *parent, const EPUBURLProtcol *protocol = nullptr);
};
