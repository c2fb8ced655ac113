// How the core tells the user something: the start-up makes one presenter
// that shows message boxes (MsgBox) and hands it by reference to the core
// objects that need it. Main thread only.
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
};
