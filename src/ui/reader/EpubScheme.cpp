#include "EpubScheme.h"

#include "BookLinkSchemeHandler.h"

#include "core/content/BookUrl.h"

#include <QWebEngineUrlScheme>

void EpubScheme::registerScheme()
{
    QWebEngineUrlScheme scheme(BookUrl::kScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    // Not LocalScheme either: only LocalAccessAllowed schemes may load from a
    // LocalScheme, so a book page could not load its own style sheets and
    // images. Remote pages cannot reach book entries anyway: the handler is
    // installed only on the book profile (BookWebProfile).
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme);
    QWebEngineUrlScheme::registerScheme(scheme);

    // Links between books: registered so that a click on one is an ordinary
    // navigation the reader's page can see and refuse, not a request to
    // launch an outside program.
    QWebEngineUrlScheme links(BookLinkSchemeHandler::kScheme);
    links.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    links.setFlags(QWebEngineUrlScheme::SecureScheme);
    QWebEngineUrlScheme::registerScheme(links);
}
