// Runs tavro-inspect as a process for the CLI tests.
#pragma once

#include <QProcess>
#include <QStringList>

struct ProcessResult {
    int exitCode;
    QByteArray out;
    QByteArray err;
};

inline ProcessResult inspect(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(TAVRO_INSPECT), args);
    p.waitForFinished(60000);
    return { p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
        p.readAllStandardError() };
}
