#include "restore/RestoreTexts.h"

namespace RestoreTexts {

namespace {
QString pick(bool german, const QString &english, const QString &inGerman)
{
    return german ? inGerman : english;
}

QString seconds(qint64 ms, bool german)
{
    QString s = QString::number(double(ms) / 1000.0, 'f', 1);
    if (german)
        s.replace(QLatin1Char('.'), QLatin1Char(','));
    return s + QStringLiteral(" s");
}
} // namespace

QString groupedNumber(qint64 n)
{
    QString digits = QString::number(n < 0 ? -n : n);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(' '));
    return n < 0 ? QLatin1Char('-') + digits : digits;
}

QString counts(int tables, qint64 rows, bool german)
{
    const QString t = tables == 1 ? pick(german, QStringLiteral("1 table"), QStringLiteral("1 Tabelle"))
                                  : pick(german, QStringLiteral("%1 tables"), QStringLiteral("%1 Tabellen")).arg(groupedNumber(tables));
    const QString r = rows == 1 ? pick(german, QStringLiteral("1 row"), QStringLiteral("1 Zeile"))
                                : pick(german, QStringLiteral("%1 rows"), QStringLiteral("%1 Zeilen")).arg(groupedNumber(rows));
    return t + QStringLiteral(", ") + r;
}

QString passed(int tables, qint64 rows, qint64 ms, bool german)
{
    return pick(german, QStringLiteral("Test restore passed: %1 (%2)"),
                QStringLiteral("Testwiederherstellung bestanden: %1 (%2)"))
        .arg(counts(tables, rows, german), seconds(ms, german));
}

QString failed(const QString &why, bool german)
{
    return pick(german, QStringLiteral("Test restore failed: %1"), QStringLiteral("Testwiederherstellung gescheitert: %1"))
        .arg(why);
}

QString started(const QString &file, bool german)
{
    return pick(german, QStringLiteral("Test restore of %1 into a local server"),
                QStringLiteral("Testwiederherstellung von %1 in einen lokalen Server"))
        .arg(file);
}

QString noServer(bool german)
{
    return pick(german,
                QStringLiteral("No test restore: no local MariaDB or MySQL server program (mariadbd, mysqld) was found"),
                QStringLiteral("Keine Testwiederherstellung: kein lokales MariaDB- oder MySQL-Serverprogramm (mariadbd, mysqld) gefunden"));
}

QString storedButFailed(const QString &timestamp, const QString &why, bool german)
{
    return pick(german, QStringLiteral("!!! stored on %1, but the test restore failed: %2"),
                QStringLiteral("!!! gespeichert am %1, aber die Testwiederherstellung scheiterte: %2"))
        .arg(timestamp, why);
}

QString missingTable(const QString &table, bool german)
{
    return pick(german, QStringLiteral("table %1 is missing after the restore"),
                QStringLiteral("Tabelle %1 fehlt nach der Wiederherstellung"))
        .arg(table);
}

QString cannotRead(const QString &file, const QString &detail, bool german)
{
    return pick(german, QStringLiteral("%1 cannot be read: %2"), QStringLiteral("%1 kann nicht gelesen werden: %2"))
        .arg(file, detail);
}

QString timeLimit(qint64 ms, bool german)
{
    return pick(german, QStringLiteral("it took longer than %1 minutes"), QStringLiteral("sie dauerte länger als %1 Minuten"))
        .arg(qMax<qint64>(1, ms / 60000));
}

QString cancelled(bool german)
{
    return pick(german, QStringLiteral("cancelled"), QStringLiteral("abgebrochen"));
}

QString checksumMatches(const QString &file, bool german)
{
    return pick(german, QStringLiteral("Checksum matches: %1"), QStringLiteral("Prüfsumme stimmt: %1")).arg(file);
}

QString checksumMismatch(const QString &file, bool german)
{
    return pick(german, QStringLiteral("Checksum MISMATCH: %1 is not the file that was stored"),
                QStringLiteral("Prüfsumme stimmt NICHT: %1 ist nicht die gespeicherte Datei"))
        .arg(file);
}

QString checksumMissing(const QString &file, bool german)
{
    return pick(german, QStringLiteral("No checksum file beside %1: only the test restore vouches for it"),
                QStringLiteral("Keine Prüfsummendatei neben %1: nur die Testwiederherstellung bürgt für sie"))
        .arg(file);
}

QString checking(const QString &file, bool german)
{
    return pick(german, QStringLiteral("Checking %1"), QStringLiteral("Prüfe %1")).arg(file);
}

QString hostTarget(const QString &database, const QString &host, bool german)
{
    return pick(german, QStringLiteral("database %1 on %2"), QStringLiteral("Datenbank %1 auf %2")).arg(database, host);
}

QString restoring(const QString &file, const QString &target, bool german)
{
    return pick(german, QStringLiteral("Restoring %1 into %2"), QStringLiteral("Stelle %1 in %2 wieder her")).arg(file, target);
}

QString restored(const QString &target, bool german)
{
    return pick(german, QStringLiteral("Restored into %1"), QStringLiteral("Wiederhergestellt in %1")).arg(target);
}

QString restoreFailed(const QString &why, bool german)
{
    return pick(german, QStringLiteral("Restore failed: %1"), QStringLiteral("Wiederherstellung gescheitert: %1")).arg(why);
}

QString restoreNeedsSsh(const QString &taskName, bool german)
{
    return pick(german,
                QStringLiteral("Restoring into the host's database needs SSH: the task %1 uses telnet. "
                               "Save the backup as SQL and load it with the host's own tools."),
                QStringLiteral("Das Wiederherstellen in die Datenbank des Hosts braucht SSH: die Aufgabe %1 "
                               "nutzt Telnet. Speichern Sie die Sicherung als SQL und laden Sie sie mit den "
                               "Werkzeugen des Hosts."))
        .arg(taskName);
}

QString taskRunning(const QString &taskName, bool german)
{
    return pick(german, QStringLiteral("the task %1 is running; restore after its run"),
                QStringLiteral("die Aufgabe %1 läuft gerade; stellen Sie nach ihrem Lauf wieder her"))
        .arg(taskName);
}

QString noClient(bool german)
{
    return pick(german, QStringLiteral("no local MariaDB or MySQL client program (mariadb, mysql) was found"),
                QStringLiteral("kein lokales MariaDB- oder MySQL-Clientprogramm (mariadb, mysql) gefunden"));
}

QString noDatabase(bool german)
{
    return pick(german, QStringLiteral("no database was named"), QStringLiteral("es wurde keine Datenbank genannt"));
}

QString optionFileUnwritable(const QString &folder, bool german)
{
    return pick(german, QStringLiteral("the client's login file cannot be written in %1"),
                QStringLiteral("die Anmeldedatei des Clients kann in %1 nicht geschrieben werden"))
        .arg(folder);
}

} // namespace RestoreTexts
