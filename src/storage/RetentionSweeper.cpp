#include "storage/RetentionSweeper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include "retrieval/LocalTarget.h"
#include "storage/DurableFile.h"
#include "storage/PlainFile.h"
#include "storage/StreamCompressor.h"
#include "tasks/BackupTask.h"

int SweepOldBackups(const QString &baseDir, const QString &storedName, const RetentionPolicy &policy,
                    const QDate &today, const QString &justStored)
{
    if (policy.keepsEverything() || baseDir.isEmpty() || storedName.isEmpty())
        return 0;
    const QString kept = QFileInfo(justStored).absoluteFilePath();
    QHash<QDate, QString> days;
    const QFileInfoList entries = QDir(baseDir).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo &entry : entries) {
        if (entry.isSymLink() || entry.isJunction())
            continue;
        const QDate date = DayOfSubdirectory(entry.fileName());
        const QFileInfo stored(QDir(entry.absoluteFilePath()).filePath(storedName));
        if (date.isValid() && IsPlainFile(stored))
            days.insert(date, entry.absoluteFilePath());
    }

    int removed = 0;
    for (const QDate &date : DecideRetention(days.keys(), policy, today).remove) {
        const QDir day(days.value(date));
        const QString file = day.filePath(storedName);
        if (QFileInfo(file).absoluteFilePath() == kept)
            continue;
        if (!QFile::remove(file))
            continue;
        ++removed;
        const QFileInfo sum(file + QStringLiteral(".sha256"));
        if (IsPlainFile(sum))
            QFile::remove(sum.filePath());
        // Fails while anything else is in it, which is what should happen.
        if (QDir(baseDir).rmdir(day.dirName()))
            continue;
        DurableFile::SyncDirectory(day.absolutePath());
    }
    if (removed > 0)
        DurableFile::SyncDirectory(baseDir);
    return removed;
}

int RemoveOldTaskBackups(const BackupTask &task, const QDate &today)
{
    if (!task.subdirectory)
        return 0;
    const RetentionPolicy policy {BoundedKeepCount(task.keepdaily), BoundedKeepCount(task.keepweekly),
                                  BoundedKeepCount(task.keepmonthly)};
    const QString storedName = StoredFileName(task.backupfile, task.compress);
    return SweepOldBackups(task.localdir, storedName, policy, today, LocalTargetDirectory(task, today) + storedName);
}

int RemoveStaleTemporaryFiles(const BackupTask &task, const QDateTime &now)
{
    if (task.localdir.isEmpty() || task.backupfile.isEmpty() || !QFileInfo(task.localdir).isDir())
        return 0;
    const QRegularExpression ours(QStringLiteral("^%1(\\.gz|\\.zst)?(\\.sha256)?%2[0-9a-z]+$")
                                      .arg(QRegularExpression::escape(task.backupfile),
                                           QRegularExpression::escape(DurableFile::TemporaryInfix)));
    const QDateTime before = now.addDays(-1);
    QStringList dirs {task.localdir};
    for (const QFileInfo &entry : QDir(task.localdir).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!entry.isSymLink() && !entry.isJunction() && DayOfSubdirectory(entry.fileName()).isValid())
            dirs.append(entry.absoluteFilePath());
    }
    int removed = 0;
    for (const QString &dir : std::as_const(dirs)) {
        const QFileInfoList files = QDir(dir).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QFileInfo &file : files) {
            if (IsPlainFile(file) && ours.match(file.fileName()).hasMatch() && file.lastModified() < before
                && QFile::remove(file.absoluteFilePath()))
                ++removed;
        }
    }
    return removed;
}

QString OldBackupsRemovedText(int count, bool german)
{
    return (german ? QStringLiteral("%1 alte Backups entfernt") : QStringLiteral("%1 old backups removed")).arg(count);
}
