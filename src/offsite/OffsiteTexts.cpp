#include "offsite/OffsiteTexts.h"

#include <QLocale>

namespace {
QString pick(bool german, const QString &english, const QString &inGerman)
{
    return german ? inGerman : english;
}

QString size(qint64 bytes, bool german)
{
    return QLocale(german ? QLocale::German : QLocale::English).formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}
}

namespace OffsiteTexts {

QString noRepository(bool german)
{
    return pick(german, QStringLiteral("The off-site destination names no place to copy to"),
                QStringLiteral("Das externe Ziel nennt keinen Ort für die Kopie"));
}

QString badDestination(const QString &destination, bool german)
{
    return pick(german, QStringLiteral("The off-site destination %1 cannot start with a dash"),
                QStringLiteral("Das externe Ziel %1 darf nicht mit einem Bindestrich beginnen"))
        .arg(destination);
}

QString noPasswordFile(bool german)
{
    return pick(german, QStringLiteral("A restic repository needs its password file"),
                QStringLiteral("Ein restic-Repository braucht seine Passwortdatei"));
}

QString unreadableConfig(const QString &path, bool german)
{
    return pick(german, QStringLiteral("The file %1 cannot be read"),
                QStringLiteral("Die Datei %1 kann nicht gelesen werden"))
        .arg(path);
}

QString toolMissing(const QString &program, bool german)
{
    return pick(german, QStringLiteral("%1 is not installed (Debian package %1)"),
                QStringLiteral("%1 ist nicht installiert (Debian-Paket %1)"))
        .arg(program);
}

QString endedEarly(const QString &program, bool german)
{
    return pick(german, QStringLiteral("%1 ended before it had the whole dump"),
                QStringLiteral("%1 endete, bevor es den ganzen Dump hatte"))
        .arg(program);
}

QString endedWith(const QString &program, int exitCode, bool german)
{
    return pick(german, QStringLiteral("%1 ended with status %2"), QStringLiteral("%1 endete mit Status %2"))
        .arg(program)
        .arg(exitCode);
}

QString cancelled(bool german)
{
    return pick(german, QStringLiteral("the off-site copy was cancelled"),
                QStringLiteral("die externe Kopie wurde abgebrochen"));
}

QString started(const QString &file, const QString &destination, bool german)
{
    return pick(german, QStringLiteral("Off-site copy of %1 to %2 started"),
                QStringLiteral("Externe Kopie von %1 nach %2 gestartet"))
        .arg(file, destination);
}

QString catchingUp(int count, bool german)
{
    return count == 1 ? pick(german, QStringLiteral("1 stored backup is not yet on the off-site destination"),
                             QStringLiteral("1 gespeicherte Sicherung ist noch nicht am externen Ziel"))
                      : pick(german, QStringLiteral("%1 stored backups are not yet on the off-site destination"),
                             QStringLiteral("%1 gespeicherte Sicherungen sind noch nicht am externen Ziel"))
                            .arg(count);
}

QString sent(qint64 bytes, double seconds, bool german)
{
    return pick(german, QStringLiteral("Off-site copy: %1 sent in %2 s"),
                QStringLiteral("Externe Kopie: %1 gesendet in %2 s"))
        .arg(size(bytes, german))
        .arg(seconds, 0, 'f', 1);
}

QString resticSent(qint64 processed, qint64 added, double seconds, bool german)
{
    return pick(german, QStringLiteral("Off-site copy: %1 of dump read, %2 new in the repository, in %3 s"),
                QStringLiteral("Externe Kopie: %1 Dump gelesen, %2 neu im Repository, in %3 s"))
        .arg(size(processed, german), size(added, german))
        .arg(seconds, 0, 'f', 1);
}

QString verified(const QString &hashName, const QString &hex, bool german)
{
    return pick(german, QStringLiteral("Off-site copy verified: %1 %2"),
                QStringLiteral("Externe Kopie geprüft: %1 %2"))
        .arg(hashName, hex);
}

QString readBack(const QString &hex, bool german)
{
    return pick(german, QStringLiteral("Off-site copy read back and verified: SHA-256 %1"),
                QStringLiteral("Externe Kopie zurückgelesen und geprüft: SHA-256 %1"))
        .arg(hex);
}

QString checksumBeforeCopy(const QString &file, bool german)
{
    return pick(german, QStringLiteral("%1 matches its checksum file; it goes to the repository"),
                QStringLiteral("%1 stimmt mit seiner Prüfsummendatei überein; es geht ins Repository"))
        .arg(file);
}

QString mismatch(const QString &file, bool german)
{
    return pick(german, QStringLiteral("the off-site copy of %1 differs from the stored backup"),
                QStringLiteral("die externe Kopie von %1 weicht von der gespeicherten Sicherung ab"))
        .arg(file);
}

QString notListed(const QString &snapshot, bool german)
{
    return pick(german, QStringLiteral("restic does not list the new snapshot %1"),
                QStringLiteral("restic führt den neuen Snapshot %1 nicht auf"))
        .arg(snapshot);
}

QString noSnapshot(bool german)
{
    return pick(german, QStringLiteral("restic named no new snapshot"),
                QStringLiteral("restic nannte keinen neuen Snapshot"));
}

QString removed(int count, bool german)
{
    return count == 1 ? pick(german, QStringLiteral("1 old off-site copy removed"),
                             QStringLiteral("1 alte externe Kopie entfernt"))
                      : pick(german, QStringLiteral("%1 old off-site copies removed"),
                             QStringLiteral("%1 alte externe Kopien entfernt"))
                            .arg(count);
}

QString failed(const QString &reason, bool german)
{
    return pick(german, QStringLiteral("The off-site copy failed: %1"),
                QStringLiteral("Die externe Kopie ist gescheitert: %1"))
        .arg(reason);
}

QString checkPassed(int part, int parts, bool german)
{
    return pick(german, QStringLiteral("Off-site repository checked, no errors (part %1 of %2 of its data read)"),
                QStringLiteral("Externes Repository geprüft, keine Fehler (Teil %1 von %2 seiner Daten gelesen)"))
        .arg(part)
        .arg(parts);
}

QString checkFailed(const QString &reason, bool german)
{
    return pick(german, QStringLiteral("the off-site repository check found errors: %1"),
                QStringLiteral("die Prüfung des externen Repositorys fand Fehler: %1"))
        .arg(reason);
}

QString notProven(bool german)
{
    return pick(german, QStringLiteral("the backup did not pass its test restore, so it was not copied"),
                QStringLiteral("die Sicherung bestand ihre Testwiederherstellung nicht und wurde nicht kopiert"));
}

QString upToDate(bool german)
{
    return pick(german, QStringLiteral("Every stored backup is on the off-site destination"),
                QStringLiteral("Jede gespeicherte Sicherung ist am externen Ziel"));
}

QString progress(const QString &file, int percent, bool german)
{
    return pick(german, QStringLiteral("Off-site copy of %1: %2%"), QStringLiteral("Externe Kopie von %1: %2%"))
        .arg(file)
        .arg(percent);
}

QString storedButFailed(const QString &timestamp, const QString &reason, bool german)
{
    return pick(german, QStringLiteral("!!! stored locally; the off-site copy failed: %2 (%1)"),
                QStringLiteral("!!! lokal gespeichert; die externe Kopie ist gescheitert: %2 (%1)"))
        .arg(timestamp, reason);
}

QString probeWritten(const QString &destination, bool german)
{
    return pick(german, QStringLiteral("%1 took a test file, gave it back unchanged and removed it."),
                QStringLiteral("%1 nahm eine Testdatei an, gab sie unverändert zurück und entfernte sie."))
        .arg(destination);
}

QString probeReadBackDiffers(bool german)
{
    return pick(german, QStringLiteral("The test file came back changed."),
                QStringLiteral("Die Testdatei kam verändert zurück."));
}

QString probeSnapshots(int all, int ofTask, const QDateTime &last, bool german)
{
    QString text = pick(german, QStringLiteral("The repository answered: %1 snapshots, %2 of this task."),
                        QStringLiteral("Das Repository antwortete: %1 Snapshots, %2 dieser Aufgabe."))
                       .arg(all)
                       .arg(ofTask);
    if (last.isValid())
        text += QLatin1Char('\n')
            + pick(german, QStringLiteral("The task's last snapshot: %1"),
                   QStringLiteral("Letzter Snapshot der Aufgabe: %1"))
                  .arg(QLocale(german ? QLocale::German : QLocale::English).toString(last.toLocalTime(), QLocale::ShortFormat));
    return text;
}

}
