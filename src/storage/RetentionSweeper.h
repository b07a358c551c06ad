#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include "storage/RetentionPolicy.h"

// Removes a task's old backups from the day subdirectories of its local
// directory after a successful run. Looks only at subdirectories named the
// way runs name them (year-month-day, no leading zeros) that hold the task's
// stored file, and removes from those the policy does not keep exactly that
// file and its ".sha256"; a day subdirectory left empty goes too. Follows no
// symbolic links, touches no other name, never the file just stored.
// Returns how many backups were removed.
int SweepOldBackups(const QString &baseDir, const QString &storedName, const RetentionPolicy &policy,
                    const QDate &today, const QString &justStored);

struct BackupTask;
// The sweep after a task's backup was stored today, by whatever transport:
// only for tasks with day subdirectories (without them the copies rotate as
// they are stored). Returns how many backups were removed.
int RemoveOldTaskBackups(const BackupTask &task, const QDate &today);
// Removes what a run of the task broken off by a crash or a power cut left
// in its local directory and its day subdirectories: temporary files of this
// program's own naming for the task's file or its checksum (NAME[.gz|.zst]
// [.sha256].part-XXXX) last changed before now minus a day. Regular files
// only, no symbolic link followed. Returns how many were removed.
int RemoveStaleTemporaryFiles(const BackupTask &task, const QDateTime &now);
// "N old backups removed", in English or German.
QString OldBackupsRemovedText(int count, bool german);
