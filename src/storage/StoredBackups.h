#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

struct BackupTask;

// One stored backup of a task, as the program's own naming finds it.
struct StoredBackup {
    QString path;
    QDateTime modified;
    qint64 size = 0;
    // For a task with several databases: the database the file holds.
    QString database;
};

// Every stored backup of the task, newest first: its file plain, ".gz" or
// ".zst" in the local directory with its rotated copies (NAME.1 ...), and in
// the day subdirectories a run names (year-month-day). Regular files only,
// no symbolic link followed; temporary and checksum files are not backups.
// A task with several databases: each database's files, by its own name.
QList<StoredBackup> StoredBackupsOf(const BackupTask &task);
// The task as the stored file at path holds it: for a task with several
// databases, the one database the file was dumped from (what a restore
// loads it into); the task as it is otherwise.
BackupTask StoredBackupTask(const BackupTask &task, const QString &path);

// Whether a SHA-256 checksum file beside a stored backup vouches for it.
enum class ChecksumState { Matches, Mismatch, Missing, Unreadable };
// Reads the whole file: call it off the window thread for a large one.
// detail: the read error, for Unreadable.
ChecksumState VerifyChecksum(const QString &path, QString *detail = nullptr);
