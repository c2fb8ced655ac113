// What the article web view does with a navigation: open the entry sheet
// (an address containing "entry/entry.html"), hand a download to the store
// ("export=download" in the query), or follow it. Pure; any thread.
#pragma once

#include <QUrl>
#include <QVariantMap>

struct ArticleNavigation {
    enum Action { Allow, OpenEntry, Download };
    Action action = Allow;
    QVariantMap entryQuery; // for OpenEntry: the link's query as a dictionary

    static ArticleNavigation decide(const QUrl &url);
};
