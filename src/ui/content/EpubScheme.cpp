#include "EpubScheme.h"

#include "content/BookUrl.h"

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
}
