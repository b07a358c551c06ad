#include "ssh/SshDumpCommand.h"

#include "engine/ShellQuote.h"
#include "tasks/BackupTask.h"

QString SshDumpCommand(const BackupTask &task)
{
    QString cmd = QStringLiteral("mysqldump --defaults-extra-file=/dev/stdin -h ") + ShellQuote(task.mysql);
    if (!task.dbuser.isEmpty())
        cmd += QStringLiteral(" --user=") + ShellQuote(task.dbuser);
    cmd += QLatin1Char(' ') + ShellQuote(task.database);
    return cmd;
}

QByteArray SshDumpOptionFile(const BackupTask &task)
{
    // Inside double quotes the option file reader knows these escapes; a "#"
    // there is no comment, and the blanks at either end are kept.
    QByteArray value;
    for (char c : task.dbpw.toUtf8()) {
        switch (c) {
        case '\\': value += "\\\\"; break;
        case '"': value += "\\\""; break;
        case '\n': value += "\\n"; break;
        case '\r': value += "\\r"; break;
        case '\t': value += "\\t"; break;
        default: value += c; break;
        }
    }
    return "[client]\npassword=\"" + value + "\"\n";
}
