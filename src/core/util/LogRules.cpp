#include "LogRules.h"

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
}
