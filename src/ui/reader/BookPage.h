// The page of the book view. Book documents come only through epub://:
// a web link the reader clicks opens in the user's browser, any other web
// navigation (scripts, redirects, frames) is refused, and a "tavro://" link
// to another book is handed to the reader instead of being loaded.
//
// Main thread only.
#pragma once

#include <QUrl>
#include <QWebEnginePage>

class BookPage : public QWebEnginePage
{
    Q_OBJECT
public:
    // `profile` must outlive the page.
    BookPage(QWebEngineProfile *profile, QObject *parent);

signals:
    void bookLinkRequested(const QUrl &url);
    // A main-frame navigation the page is about to follow (in-page "#"
    // jumps included), before the view leaves the current document.
    void navigationAccepted(const QUrl &url);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
};
