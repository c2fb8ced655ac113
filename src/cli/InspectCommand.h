// One verb of tavro-inspect: reads its arguments, prints JSON (or bytes) on
// standard output, and returns the process exit code: 0 on success, 1 for
// unreadable or invalid input, 2 for wrong usage. Messages for people go to
// standard error.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

struct InspectCommand {
    QString name;
    QString usage; // e.g. "book FILE"
    std::function<int(const QStringList &args)> run;
};

// Every verb, in the order the usage text lists them.
QList<InspectCommand> inspectCommands();

// Helpers shared by the verbs.
// Prints `value` as indented JSON and returns 0; prints nothing and returns
// 1 (with a message on standard error) when it nests deeper than
// kMaxJsonDepth, which Qt's writer could not take without exhausting the
// stack.
int printJson(const QVariant &value);
int fail(const QString &message, int code = 1);
