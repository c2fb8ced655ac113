// What a screen says where it has nothing to show: an empty shelf, a search
// that found nothing, no reading history yet, no news, and the store when no
// page can be loaded. Each text says why the place is empty and what to do;
// a screen that is signed in but cannot reach the server says so, never
// that the user should sign in.
//
// Any thread (pure functions).
#pragma once

#include <QString>

namespace EmptyStates
{

// The shown shelf holds no book to show. `searchText`: the search under way
// (empty: none); `accountLifted`: the server ended this device's session, so
// no book is shown until the next sign-in; `firstShelf`: the shelf new books
// land on.
QString shelf(const QString &searchText, bool accountLifted, bool firstShelf);

// TOP's reading history has no book (none opened yet).
QString readingHistory();

// TOP's news: empty because the news server could not be reached
// (`unreachable`) or because there is no news.
QString news(bool unreachable);

// The store has no page to show: the server could not be reached while
// signed in (`signedIn`), or no one is signed in.
QString store(bool signedIn);

} // namespace EmptyStates
