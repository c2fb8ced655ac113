// The program's log filter. Quiet by default: warnings and errors of every
// category. "--verbose" adds the info and debug messages of the program's
// own categories ("tavro.app", "tavro.library", "tavro.content",
// "tavro.dictionary", "tavro.store", "tavro.sync", "tavro.top").
// QT_LOGGING_RULES in the environment still wins over both (Qt applies it
// after these rules).
//
// install() also puts LogRedaction's handler in front of the log.
//
// Any thread; install() before the first message.
#pragma once

#include <QString>

class LogRules
{
public:
    // The filter rules, one per line, in QLoggingCategory::setFilterRules form.
    static QString rules(bool verbose);
    static void install(bool verbose);
};
