#include "ssh/SshDumpCommand.h"

#include <QDir>

#include "engine/ClientOptionValue.h"
#include "engine/ShellQuote.h"
#include "tasks/BackupTask.h"
#include "tasks/DumpOptions.h"
#include "tasks/HostProbe.h"

QString SshDumpCommand(const BackupTask &task)
{
    const QString cmd = DumpOptions::invocation(task);
    if (task.hostcompress == QLatin1String("auto")) {
        // A pipeline's status is its last command's, and POSIX sh has no
        // pipefail: mysqldump's own status comes back on descriptor 3.
        const QString script =
            QStringLiteral("if command -v zstd >/dev/null 2>&1; then c='zstd -q -3 -T0'; "
                           "elif command -v gzip >/dev/null 2>&1; then c='gzip -6'; else exec ")
            + cmd + QStringLiteral("; fi; exec 4>&1; s=$({ { ") + cmd
            + QStringLiteral("; echo $? >&3; } | $c >&4 || echo 125 >&3; } 3>&1); exec 4>&-; "
                             "[ -n \"$s\" ] || exit 1; for x in $s; do [ \"$x\" = 0 ] || exit \"$x\"; done");
        return QStringLiteral("sh -c ") + ShellQuote(script);
    }
    // Whatever the login shell is, sh picks the program.
    return task.dumpprogram == QLatin1String("auto") ? QStringLiteral("sh -c ") + ShellQuote(cmd) : cmd;
}

QString SshRestoreCommand(const BackupTask &task, qsizetype optionFileSize)
{
    QString mysql = QStringLiteral("mysql --defaults-extra-file=\"$f\" -h ") + ShellQuote(task.mysql);
    if (!task.dbuser.isEmpty())
        mysql += QStringLiteral(" --user=") + ShellQuote(task.dbuser);
    mysql += QLatin1Char(' ') + ShellQuote(task.database);
    const QString script = QStringLiteral("umask 077; f=$(mktemp) || exit 125; trap 'rm -f \"$f\"' EXIT; "
                                          "dd bs=1 count=%1 of=\"$f\" 2>/dev/null || exit 125; %2")
                               .arg(optionFileSize)
                               .arg(mysql);
    // Whatever the login shell is, sh runs the script.
    return QStringLiteral("sh -c ") + ShellQuote(script);
}

QByteArray SshDumpOptionFile(const BackupTask &task)
{
    return "[client]\npassword=" + ClientOptionValue(task.dbpw) + "\n";
}

SshDumpRequest SshVersionCheckRequestFor(const BackupTask &task, const SshClientSettings &settings)
{
    SshDumpRequest r;
    r.host = task.host.trimmed();
    r.port = task.sshport > 0 && task.sshport <= 65535 ? quint16(task.sshport) : quint16(22);
    r.user = task.hostuser;
    r.password = task.hostpw;
    // "~/.ssh/id_backup" as a user types it.
    r.keyFile = task.sshkey.startsWith(QStringLiteral("~/")) ? QDir::homePath() + task.sshkey.mid(1) : task.sshkey;
    r.knownHostsFile = settings.knownHostsFile;
    r.sshDirectory = settings.sshDirectory;
    r.agentSocket = settings.agentSocket;
    r.limits = settings.limits;
    r.command = QStringLiteral("mysqldump --version");
    r.expectDump = false;
    return r;
}

SshDumpRequest SshListingRequestFor(const BackupTask &task, const SshClientSettings &settings)
{
    SshDumpRequest r = SshVersionCheckRequestFor(task, settings);
    // Whatever the login shell is, sh runs it.
    r.command = QStringLiteral("sh -c ")
        + ShellQuote(DumpOptions::clientInvocation(task, QStringLiteral("SHOW DATABASES")));
    r.standardInput = SshDumpOptionFile(task);
    return r;
}

SshDumpRequest SshProbeRequestFor(const BackupTask &task, const SshClientSettings &settings)
{
    SshDumpRequest r = SshVersionCheckRequestFor(task, settings);
    r.command = HostProbe::command(task);
    r.standardInput = SshDumpOptionFile(task);
    return r;
}

SshDumpRequest SshDumpRequestFor(const BackupTask &task, const SshClientSettings &settings)
{
    SshDumpRequest r = SshVersionCheckRequestFor(task, settings);
    r.command = SshDumpCommand(task);
    r.standardInput = SshDumpOptionFile(task);
    r.expectDump = true;
    r.sshCompression = task.hostcompress != QLatin1String("auto");
    return r;
}
