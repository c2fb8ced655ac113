// The reader's own page scripts ("selection.js", "searchhighlight.js",
// "place.js"),
// put into every document of a book page in a JavaScript world of their
// own: a book's scripts can neither call nor replace their functions, and
// the reader reaches them only through run().
//
// Main thread only.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QWebEngineScript>
#include <functional>

class QWebEnginePage;

class PageScripts
{
public:
    // The world the scripts live in (never the page's main world).
    static constexpr quint32 kWorld = QWebEngineScript::ApplicationWorld;

    // The script names in the order they are put into a document.
    static QStringList names();

    // The UTF-8 text of a script of names(); empty after a read error.
    static QString source(const QString &name);

    // Adds the scripts to `page` (once; they then run in every main-frame
    // document when it is ready). A script that cannot be read is logged and
    // skipped. False when one was skipped.
    static bool install(QWebEnginePage *page);

    // Calls `done` with whether the bridge functions answer in the document
    // now shown (false on a page that failed to load them).
    static void verify(QWebEnginePage *page, std::function<void(bool)> done);

    // Evaluates `script` in the scripts' world; `done` (optional) gets the
    // result. Results arrive in the order the calls were made.
    static void run(
        QWebEnginePage *page, const QString &script, std::function<void(const QVariant &)> done = {});
};
