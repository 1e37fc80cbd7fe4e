// Runs lumo-cli as a user's script would and keeps what it printed.
#pragma once

#include <QProcess>
#include <QStringList>

struct CliRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

inline CliRun runCli(const QStringList &args, const QByteArray &stdinData = {})
{
    QProcess p;
    p.start(QStringLiteral(LUMO_CLI_PATH), args);
    p.waitForStarted();
    if (!stdinData.isEmpty())
        p.write(stdinData);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    CliRun r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
