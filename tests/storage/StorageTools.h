#pragma once

#include <QProcess>
#include <QStringList>

// Runs a command-line tool (gzip, zstd, sha256sum ...) in dir: its exit code,
// or -1 when it could not run; its output in *output when asked.
inline int RunTool(const QString &dir, const QString &program, const QStringList &args, QByteArray *output = nullptr)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(program, args);
    if (!p.waitForStarted() || !p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    if (output)
        *output = p.readAllStandardOutput();
    return p.exitCode();
}
