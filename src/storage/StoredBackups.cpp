#include "storage/StoredBackups.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

#include "retrieval/LocalTarget.h"
#include "storage/PlainFile.h"
#include "storage/Sha256.h"
#include "tasks/BackupTask.h"
#include "tasks/DatabaseList.h"

namespace {

void addIfStored(QList<StoredBackup> &found, const QString &path)
{
    const QFileInfo info(path);
    if (IsPlainFile(info))
        found.append({info.absoluteFilePath(), info.lastModified(), info.size(), QString()});
}

void addDirectory(QList<StoredBackup> &found, const QDir &dir, const QStringList &names, bool rotated)
{
    for (const QString &name : names) {
        addIfStored(found, dir.filePath(name));
        if (!rotated)
            continue;
        // NAME.1, NAME.2 ... as the rotation leaves them, up to the first gap.
        for (int n = 1; n < 1000 && QFileInfo::exists(dir.filePath(name + QStringLiteral(".%1").arg(n))); ++n)
            addIfStored(found, dir.filePath(name + QStringLiteral(".%1").arg(n)));
    }
}
} // namespace

namespace {
QList<StoredBackup> storedOfOne(const BackupTask &task);

// The databases "*" found on earlier runs: what the stored files' names hold.
QStringList listedDatabases(const BackupTask &task)
{
    const auto [before, after] = DatabaseList::fileNameParts(task.backupfile);
    const QRegularExpression ours(QStringLiteral("^%1([\\w-]+)%2(\\.gz|\\.zst)?(\\.[0-9]+)?$")
                                      .arg(QRegularExpression::escape(before), QRegularExpression::escape(after)),
                                  QRegularExpression::UseUnicodePropertiesOption);
    QStringList names;
    QStringList dirs{task.localdir};
    const QDir base(task.localdir);
    for (const QFileInfo &entry : base.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!entry.isSymLink() && DayOfSubdirectory(entry.fileName()).isValid())
            dirs.append(entry.absoluteFilePath());
    }
    for (const QString &dir : std::as_const(dirs)) {
        for (const QString &file : QDir(dir).entryList(QDir::Files)) {
            const QRegularExpressionMatch m = ours.match(file);
            if (m.hasMatch() && !names.contains(m.captured(1)))
                names.append(m.captured(1));
        }
    }
    return names;
}
} // namespace

QList<StoredBackup> StoredBackupsOf(const BackupTask &task)
{
    if (!DatabaseList::isSeveral(task.database))
        return storedOfOne(task);
    QList<StoredBackup> found;
    const QStringList names = DatabaseList::isAll(task.database) ? listedDatabases(task)
                                                                 : DatabaseList::names(task.database);
    for (const QString &name : names) {
        for (StoredBackup b : storedOfOne(DatabaseList::taskFor(task, name))) {
            b.database = name;
            found.append(b);
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const StoredBackup &a, const StoredBackup &b) { return a.modified > b.modified; });
    return found;
}

BackupTask StoredBackupTask(const BackupTask &task, const QString &path)
{
    const QString wanted = QFileInfo(path).absoluteFilePath();
    for (const StoredBackup &b : StoredBackupsOf(task)) {
        if (!b.database.isEmpty() && b.path == wanted)
            return DatabaseList::taskFor(task, b.database);
    }
    return task;
}

namespace {
QList<StoredBackup> storedOfOne(const BackupTask &task)
{
    QList<StoredBackup> found;
    if (task.localdir.isEmpty() || task.backupfile.isEmpty())
        return found;
    const QStringList names{task.backupfile, task.backupfile + QStringLiteral(".gz"),
                            task.backupfile + QStringLiteral(".zst")};
    const QDir base(task.localdir);
    addDirectory(found, base, names, true);
    for (const QFileInfo &entry : base.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!entry.isSymLink() && !entry.isJunction() && DayOfSubdirectory(entry.fileName()).isValid())
            addDirectory(found, QDir(entry.absoluteFilePath()), names, false);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const StoredBackup &a, const StoredBackup &b) { return a.modified > b.modified; });
    return found;
}
} // namespace

ChecksumState VerifyChecksum(const QString &path, QString *detail)
{
    QFile sum(path + QStringLiteral(".sha256"));
    if (!sum.exists())
        return ChecksumState::Missing;
    if (!sum.open(QIODevice::ReadOnly)) {
        if (detail)
            *detail = sum.errorString();
        return ChecksumState::Unreadable;
    }
    // sha256sum's format: the hex digest, two spaces, the name.
    const QByteArray expected = sum.read(64).toLower();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (detail)
            *detail = file.errorString();
        return ChecksumState::Unreadable;
    }
    Sha256 hash;
    if (!hash.addData(file)) {
        if (detail)
            *detail = file.errorString();
        return ChecksumState::Unreadable;
    }
    return hash.hexResult() == expected ? ChecksumState::Matches : ChecksumState::Mismatch;
}
