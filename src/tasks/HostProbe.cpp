#include "tasks/HostProbe.h"

#include <QRegularExpression>
#include <QStringList>

#include "engine/ServerText.h"
#include "engine/ShellQuote.h"
#include "tasks/BackupTask.h"
#include "tasks/DumpOptions.h"

namespace {
// Major and minor of a version text; {0, 0, 0} when it holds none.
struct Version {
    int major = 0, minor = 0, patch = 0;
    bool atLeast(int a, int b, int c) const
    {
        return major != a ? major > a : minor != b ? minor > b : patch >= c;
    }
};

Version versionOf(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("(\\d+)\\.(\\d+)(?:\\.(\\d+))?"));
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch())
        return {};
    return {m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()};
}
} // namespace

QString HostProbe::command(const BackupTask &task)
{
    // Whichever client the host has, whatever dump program the task names.
    BackupTask any = task;
    any.dumpprogram = QStringLiteral("auto");
    // Marks typed as printf formats; the answer is one line each, and the
    // script ends well, so a missing program is a finding and no failure.
    const QString script =
        QStringLiteral("for c in zstd gzip; do command -v $c >/dev/null 2>&1 && printf 'vw-%s:%s\\n' packer \"$c\" && break; done; "
                       "for p in mysqldump mariadb-dump; do v=$($p --version </dev/null 2>/dev/null) && printf 'vw-%s:%s\\n' \"$p\" \"$v\"; done; "
                       "v=$(")
        + DumpOptions::clientInvocation(any, QStringLiteral("SELECT VERSION()"))
        + QStringLiteral(" 2>&1) && printf 'vw-server:%s\\n' \"$v\" || printf 'vw-server-error:%s\\n' \"$v\"; exit 0");
    return QStringLiteral("sh -c ") + ShellQuote(script);
}

HostProbe HostProbe::parse(const QByteArray &output)
{
    HostProbe p;
    for (const QByteArray &raw : output.split('\n')) {
        const QString line = cleanServerText(QString::fromUtf8(raw)).left(300);
        const auto value = [&line](const char *mark) { return line.mid(qsizetype(qstrlen(mark))).trimmed(); };
        if (line.startsWith(QLatin1String("vw-mysqldump:")))
            p.mysqldumpVersion = value("vw-mysqldump:");
        else if (line.startsWith(QLatin1String("vw-mariadb-dump:")))
            p.mariadbDumpVersion = value("vw-mariadb-dump:");
        else if (line.startsWith(QLatin1String("vw-server:")))
            p.serverVersion = value("vw-server:");
        else if (line.startsWith(QLatin1String("vw-server-error:")))
            p.serverError = value("vw-server-error:");
        else if (line == QLatin1String("vw-packer:zstd") || line == QLatin1String("vw-packer:gzip"))
            p.packer = value("vw-packer:");
    }
    return p;
}

bool HostProbe::isMariaDb() const
{
    return serverVersion.contains(QLatin1String("MariaDB"), Qt::CaseInsensitive);
}

QString HostProbe::serverName() const
{
    const Version v = versionOf(serverVersion);
    if (v.major == 0)
        return QString();
    return (isMariaDb() ? QStringLiteral("MariaDB %1.%2") : QStringLiteral("MySQL %1.%2")).arg(v.major).arg(v.minor);
}

bool HostProbe::needsNoTablespaces() const
{
    return !serverVersion.isEmpty() && !isMariaDb() && versionOf(serverVersion).atLeast(8, 0, 21);
}

bool HostProbe::prefersMariadbDump() const
{
    return isMariaDb() && versionOf(serverVersion).major >= 11 && !mariadbDumpVersion.isEmpty();
}

bool HostProbe::offerNoTablespaces(const BackupTask &task) const
{
    return needsNoTablespaces()
        && !DumpOptions::parse(task.dumpoptions, false).words.contains(QStringLiteral("--no-tablespaces"));
}

bool HostProbe::offerMariadbDump(const BackupTask &task) const
{
    return prefersMariadbDump() && task.dumpprogram == QLatin1String("mysqldump");
}

QString HostProbe::report(const BackupTask &, bool german) const
{
    const QString none = german ? QStringLiteral("nicht gefunden") : QStringLiteral("not found");
    QStringList lines;
    lines << (german ? QStringLiteral("mysqldump auf dem Host: %1") : QStringLiteral("mysqldump on the host: %1"))
                 .arg(mysqldumpVersion.isEmpty() ? none : mysqldumpVersion);
    lines << (german ? QStringLiteral("mariadb-dump auf dem Host: %1") : QStringLiteral("mariadb-dump on the host: %1"))
                 .arg(mariadbDumpVersion.isEmpty() ? none : mariadbDumpVersion);
    if (!serverName().isEmpty())
        lines << (german ? QStringLiteral("Datenbankserver: %1 (%2)") : QStringLiteral("Database server: %1 (%2)"))
                     .arg(serverName(), serverVersion);
    else
        lines << (german ? QStringLiteral("Datenbankserver nicht erreicht: %1")
                         : QStringLiteral("Database server not reached: %1"))
                     .arg(serverError.isEmpty() ? none : serverError);
    lines << (german ? QStringLiteral("Kompression auf dem Host: %1") : QStringLiteral("Compression on the host: %1"))
                 .arg(packer.isEmpty() ? none : packer);
    return lines.join(QLatin1Char('\n'));
}

QString HostProbe::offer(const BackupTask &task, bool german) const
{
    QStringList changes;
    if (offerNoTablespaces(task))
        changes << (german ? QStringLiteral("--no-tablespaces (%1 verweigert die Tablespaces ohne PROCESS-Recht)")
                           : QStringLiteral("--no-tablespaces (%1 refuses the tablespaces without the PROCESS privilege)"))
                       .arg(serverName());
    if (offerMariadbDump(task))
        changes << (german ? QStringLiteral("mariadb-dump als Dump-Programm (%1 nennt mysqldump veraltet)")
                           : QStringLiteral("mariadb-dump as the dump program (%1 calls mysqldump deprecated)"))
                       .arg(serverName());
    if (changes.isEmpty())
        return QString();
    return (german ? QStringLiteral("Für diesen Server empfohlen:\n• %1\n\nDiese Einstellungen übernehmen?")
                   : QStringLiteral("Recommended for this server:\n• %1\n\nApply these settings?"))
        .arg(changes.join(QStringLiteral("\n• ")));
}
