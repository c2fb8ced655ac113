// How the core tells the user something: the application shell installs a
// presenter that shows message boxes (MsgBox); without one, messages are
// logged. Main thread only.
#pragma once

#include <QString>

class MessagePresenter
{
public:
    virtual ~MessagePresenter() = default;
    // A message with a title (the alert's message text) and the text shown
    // verbatim.
    virtual void show(const QString &message, const QString &title) = 0;
    virtual void error(const QString &message) { show(message, QStringLiteral("Error")); }
    virtual void info(const QString &message) { show(message, QString()); }

    // The installed presenter, or one that logs.
    static MessagePresenter &shared();
    static void setShared(MessagePresenter *presenter);
};
