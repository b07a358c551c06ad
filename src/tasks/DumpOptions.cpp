#include "tasks/DumpOptions.h"

#include <QRegularExpression>
#include <QSet>

#include "engine/ShellQuote.h"
#include "tasks/BackupTask.h"

namespace {
// Long options that change what is dumped or how, nothing else. Left out on
// purpose: the login and server (the task's own values), files written on
// the host (--result-file, --tab), option files, and anything that changes
// the server (--flush-logs, --delete-master-logs).
const QSet<QString> &known()
{
    static const QSet<QString> names{
        QStringLiteral("add-drop-database"),    QStringLiteral("add-drop-table"),     QStringLiteral("add-drop-trigger"),
        QStringLiteral("add-locks"),            QStringLiteral("allow-keywords"),     QStringLiteral("column-statistics"),
        QStringLiteral("comments"),             QStringLiteral("compact"),            QStringLiteral("compatible"),
        QStringLiteral("complete-insert"),      QStringLiteral("compress"),           QStringLiteral("create-options"),
        QStringLiteral("default-character-set"), QStringLiteral("disable-keys"),      QStringLiteral("dump-date"),
        QStringLiteral("events"),               QStringLiteral("extended-insert"),    QStringLiteral("force"),
        QStringLiteral("hex-blob"),             QStringLiteral("ignore-table"),       QStringLiteral("insert-ignore"),
        QStringLiteral("lock-all-tables"),      QStringLiteral("lock-tables"),        QStringLiteral("max-allowed-packet"),
        QStringLiteral("net-buffer-length"),    QStringLiteral("no-autocommit"),      QStringLiteral("no-create-db"),
        QStringLiteral("no-create-info"),       QStringLiteral("no-data"),            QStringLiteral("no-set-names"),
        QStringLiteral("no-tablespaces"),       QStringLiteral("opt"),                QStringLiteral("order-by-primary"),
        QStringLiteral("quick"),                QStringLiteral("quote-names"),        QStringLiteral("replace"),
        QStringLiteral("routines"),             QStringLiteral("set-charset"),        QStringLiteral("set-gtid-purged"),
        QStringLiteral("single-transaction"),   QStringLiteral("skip-add-drop-table"), QStringLiteral("skip-add-locks"),
        QStringLiteral("skip-comments"),        QStringLiteral("skip-compact"),       QStringLiteral("skip-disable-keys"),
        QStringLiteral("skip-dump-date"),       QStringLiteral("skip-events"),        QStringLiteral("skip-extended-insert"),
        QStringLiteral("skip-lock-tables"),     QStringLiteral("skip-opt"),           QStringLiteral("skip-quick"),
        QStringLiteral("skip-quote-names"),     QStringLiteral("skip-routines"),      QStringLiteral("skip-set-charset"),
        QStringLiteral("skip-triggers"),        QStringLiteral("skip-tz-utc"),        QStringLiteral("ssl"),
        QStringLiteral("ssl-ca"),               QStringLiteral("ssl-mode"),           QStringLiteral("ssl-verify-server-cert"),
        QStringLiteral("triggers"),             QStringLiteral("tz-utc"),             QStringLiteral("verbose"),
    };
    return names;
}
} // namespace

namespace DumpOptions {

QString recommended()
{
    // In the order the editor writes its boxes and field.
    return QStringLiteral("--single-transaction --routines --triggers --events --default-character-set=utf8mb4 "
                          "--quick --hex-blob");
}

Parsed parse(const QString &text, bool german)
{
    static const QRegularExpression word(QStringLiteral("^--([a-z][a-z0-9-]*)(?:=(.*))?$"));
    // What a value may hold: nothing the host's shell would act on.
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_.,:/@%+-]+$"));
    Parsed parsed;
    for (const QString &w : text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = word.match(w);
        if (!m.hasMatch() || !known().contains(m.captured(1))) {
            parsed.error = german ? QStringLiteral("Dump-Optionen: \"%1\" ist keine Option von mysqldump, die dieses "
                                                   "Programm weitergibt")
                                        .arg(w)
                                  : QStringLiteral("Dump options: \"%1\" is not an option of mysqldump that this "
                                                   "program passes on")
                                        .arg(w);
            return parsed;
        }
        if (m.hasCaptured(2) && !plain.match(m.captured(2)).hasMatch()) {
            parsed.error = german ? QStringLiteral("Dump-Optionen: \"%1\" enthält Zeichen, auf die die Shell des "
                                                   "Hosts reagieren würde")
                                        .arg(w)
                                  : QStringLiteral("Dump options: \"%1\" holds characters that the host's shell "
                                                   "would act on")
                                        .arg(w);
            return parsed;
        }
        parsed.words << w;
    }
    return parsed;
}

QStringList programs()
{
    return {QStringLiteral("mysqldump"), QStringLiteral("mariadb-dump"), QStringLiteral("auto")};
}

QString programRefusal(const QString &program, bool german)
{
    if (programs().contains(program))
        return QString();
    return german ? QStringLiteral("Abgewiesen: das Dump-Programm \"%1\" ist weder mysqldump noch mariadb-dump noch auto - kein Dump")
                        .arg(program)
                  : QStringLiteral("Refused: the dump program \"%1\" is none of mysqldump, mariadb-dump and auto - no dump")
                        .arg(program);
}

QString invocation(const BackupTask &task)
{
    const QString program = task.dumpprogram == QLatin1String("auto")
        ? QStringLiteral("\"$(command -v mariadb-dump || echo mysqldump)\"")
        : task.dumpprogram == QLatin1String("mariadb-dump") ? task.dumpprogram : QStringLiteral("mysqldump");
    QString cmd = program + QStringLiteral(" --defaults-extra-file=/dev/stdin -h ") + ShellQuote(task.mysql);
    if (!task.dbuser.isEmpty())
        cmd += QStringLiteral(" --user=") + ShellQuote(task.dbuser);
    // A run refuses options that do not parse before it gets here.
    cmd += commandPart(parse(task.dumpoptions, false).words);
    return cmd + QLatin1Char(' ') + ShellQuote(task.database);
}

QString clientInvocation(const BackupTask &task, const QString &statement)
{
    const QString program = task.dumpprogram == QLatin1String("auto")
        ? QStringLiteral("\"$(command -v mariadb || echo mysql)\"")
        : task.dumpprogram == QLatin1String("mariadb-dump") ? QStringLiteral("mariadb") : QStringLiteral("mysql");
    QString cmd = program + QStringLiteral(" --defaults-extra-file=/dev/stdin -h ") + ShellQuote(task.mysql);
    if (!task.dbuser.isEmpty())
        cmd += QStringLiteral(" --user=") + ShellQuote(task.dbuser);
    return cmd + QStringLiteral(" -N -B -e ") + ShellQuote(statement);
}

QString commandPart(const QStringList &words)
{
    QString part;
    for (const QString &w : words)
        part += QLatin1Char(' ') + ShellQuote(w);
    return part;
}

QString fixFor(const QString &errorLine, bool german)
{
    // MySQL 8.0.21 and later, for a user without PROCESS, as on shared hosts.
    if (errorLine.contains(QLatin1String("PROCESS privilege")) && errorLine.contains(QLatin1String("tablespaces")))
        return german ? QStringLiteral("fügen Sie den Dump-Optionen --no-tablespaces hinzu")
                      : QStringLiteral("add --no-tablespaces to the dump options");
    // MySQL 8's mysqldump against a MariaDB or older MySQL server.
    if (errorLine.contains(QLatin1String("COLUMN_STATISTICS"), Qt::CaseInsensitive))
        return german ? QStringLiteral("fügen Sie den Dump-Optionen --column-statistics=0 hinzu")
                      : QStringLiteral("add --column-statistics=0 to the dump options");
    if (errorLine.contains(QLatin1String("show events"), Qt::CaseInsensitive))
        return german ? QStringLiteral("der Benutzer darf keine Events lesen: nehmen Sie \"Routinen\" aus den Dump-Optionen")
                      : QStringLiteral("the user may not read events: clear \"Routines\" in the dump options");
    return QString();
}

} // namespace DumpOptions
