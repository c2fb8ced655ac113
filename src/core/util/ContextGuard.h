// Callbacks tied to the object they belong to. A completion handed to an
// object that lives longer than its owner (a manager of the application, a
// network reply, a pending token request) may run after the owner is gone;
// wrapped with guardedBy(owner, fn) it then does nothing.
//
// The wrapper may be called on any thread, but the check is only sound on
// the thread that destroys `context` (the main thread for screens).
#pragma once

#include <QObject>
#include <QPointer>
#include <utility>

template <typename Fn> auto guardedBy(QObject *context, Fn fn)
{
    return [guard = QPointer<QObject>(context), fn = std::move(fn)](auto &&...args) mutable {
        if (guard)
            fn(std::forward<decltype(args)>(args)...);
    };
}
