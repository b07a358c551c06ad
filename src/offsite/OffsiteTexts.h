#pragma once

#include <QDateTime>
#include <QString>

// What the off-site copy says, in English or German.
namespace OffsiteTexts {
QString noRepository(bool german);
QString badDestination(const QString &destination, bool german);
QString noPasswordFile(bool german);
QString unreadableConfig(const QString &path, bool german);
QString toolMissing(const QString &program, bool german);
QString endedEarly(const QString &program, bool german);
QString endedWith(const QString &program, int exitCode, bool german);
QString cancelled(bool german);

// The protocol's lines.
QString started(const QString &file, const QString &destination, bool german);
QString catchingUp(int count, bool german);
QString sent(qint64 bytes, double seconds, bool german);
QString resticSent(qint64 processed, qint64 added, double seconds, bool german);
QString verified(const QString &hashName, const QString &hex, bool german);
QString readBack(const QString &hex, bool german);
QString checksumBeforeCopy(const QString &file, bool german);
QString mismatch(const QString &file, bool german);
QString notListed(const QString &snapshot, bool german);
QString noSnapshot(bool german);
QString removed(int count, bool german);
QString failed(const QString &reason, bool german);
QString checkPassed(int part, int parts, bool german);
QString checkFailed(const QString &reason, bool german);
QString notProven(bool german);
QString upToDate(bool german);
QString progress(const QString &file, int percent, bool german);
// The Message of a backup stored here whose second copy failed.
QString storedButFailed(const QString &timestamp, const QString &reason, bool german);

// "Test destination".
QString probeWritten(const QString &destination, bool german);
QString probeReadBackDiffers(bool german);
QString probeSnapshots(int all, int ofTask, const QDateTime &last, bool german);
}
