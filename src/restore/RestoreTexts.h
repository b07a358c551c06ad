#pragma once

#include <QString>
#include <QtGlobal>

// The protocol lines and Message words of test restores, in English or German.
namespace RestoreTexts {

// "Test restore passed: 12 tables, 48 213 rows (3.2 s)"
QString passed(int tables, qint64 rows, qint64 ms, bool german);
QString failed(const QString &why, bool german);
QString started(const QString &file, bool german);
QString noServer(bool german);
// The Message of a run whose backup was stored but did not restore.
QString storedButFailed(const QString &timestamp, const QString &why, bool german);
// For the record: "12 tables, 48 213 rows".
QString counts(int tables, qint64 rows, bool german);
QString missingTable(const QString &table, bool german);
QString cannotRead(const QString &file, const QString &detail, bool german);
QString timeLimit(qint64 ms, bool german);
QString cancelled(bool german);

QString checksumMatches(const QString &file, bool german);
QString checksumMismatch(const QString &file, bool german);
QString checksumMissing(const QString &file, bool german);
QString checking(const QString &file, bool german);

// Restoring into the host's database.
QString hostTarget(const QString &database, const QString &host, bool german);  // "database shop on www.example.org"
QString restoring(const QString &file, const QString &target, bool german);
QString restored(const QString &target, bool german);
QString restoreFailed(const QString &why, bool german);
QString restoreNeedsSsh(const QString &taskName, bool german);
QString taskRunning(const QString &taskName, bool german);
// Restoring into a server the user names.
QString noClient(bool german);
QString noDatabase(bool german);
QString optionFileUnwritable(const QString &folder, bool german);

// 48213 -> "48 213".
QString groupedNumber(qint64 n);

} // namespace RestoreTexts
