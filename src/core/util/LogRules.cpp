#include "LogRules.h"

#include "LogRedaction.h"

#include <QLoggingCategory>

QString LogRules::rules(bool verbose)
{
    QString rules = QStringLiteral("*.debug=false\n*.info=false\n");
    if (verbose)
        rules += QStringLiteral("tavro.*.debug=true\ntavro.*.info=true\n");
    return rules;
}

void LogRules::install(bool verbose)
{
    QLoggingCategory::setFilterRules(rules(verbose));
    // No level of the log carries a token, password, key or cookie.
    LogRedaction::install();
}
