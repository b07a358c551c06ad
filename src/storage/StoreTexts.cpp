#include "storage/StoreTexts.h"

namespace StoreTexts {

namespace {
QString pick(bool german, const QString &english, const QString &inGerman)
{
    return german ? inGerman : english;
}
} // namespace

QString notWritten(StoredDumpWriter::Failure failure, const QString &localFile, bool diskFull, bool german)
{
    if (failure == StoredDumpWriter::Failure::ChecksumMismatch)
        return pick(german, QStringLiteral("%1 on disk does not match its checksum").arg(localFile),
                    QStringLiteral("%1 auf dem Datenträger passt nicht zu seiner Prüfsumme").arg(localFile));
    if (failure == StoredDumpWriter::Failure::DiskFull || diskFull)
        return pick(german, QStringLiteral("disk full - %1 could not be written").arg(localFile),
                    QStringLiteral("Datenträger voll - %1 konnte nicht geschrieben werden").arg(localFile));
    return pick(german, QStringLiteral("the local file %1 could not be written").arg(localFile),
                QStringLiteral("die lokale Datei %1 konnte nicht geschrieben werden").arg(localFile));
}

QString incompleteDump(const QString &dumpFile, bool german)
{
    return pick(german,
                QStringLiteral("Dump incomplete: %1 does not end with mysqldump's completion line; the previous backup is kept")
                    .arg(dumpFile),
                QStringLiteral("Dump unvollständig: %1 endet nicht mit der Abschlusszeile von mysqldump; die bisherige Sicherung bleibt erhalten")
                    .arg(dumpFile));
}

QString staleDump(bool german)
{
    return pick(german, QStringLiteral("Dump file on the host is older than this run - not saved"),
                QStringLiteral("Dump-Datei auf dem Host ist älter als dieser Lauf - nicht gespeichert"));
}

} // namespace StoreTexts
