// Runs lumo-cli as a user's script would and keeps what it printed.
#pragma once

#include "tests/childrun.h"

#include <QStringList>

struct CliRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

inline CliRun runCli(const QStringList &args, const QByteArray &stdinData = {})
{
    const childrun::Result run = childrun::run(QStringLiteral(LUMO_CLI_PATH), args, stdinData);
    CliRun r;
    r.exitCode = run.exitCode;
    r.out = QString::fromUtf8(run.out);
    r.err = QString::fromUtf8(run.err);
    return r;
}
