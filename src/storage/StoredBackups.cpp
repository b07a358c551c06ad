#include "storage/StoredBackups.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "retrieval/LocalTarget.h"
#include "storage/PlainFile.h"
#include "tasks/BackupTask.h"

namespace {

void addIfStored(QList<StoredBackup> &found, const QString &path)
{
    const QFileInfo info(path);
    if (IsPlainFile(info))
        found.append({info.absoluteFilePath(), info.lastModified(), info.size()});
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

QList<StoredBackup> StoredBackupsOf(const BackupTask &task)
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
    QCryptographicHash hash(QCryptographicHash::Sha256);
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(1 << 20);
        if (chunk.isEmpty() && file.error() != QFileDevice::NoError) {
            if (detail)
                *detail = file.errorString();
            return ChecksumState::Unreadable;
        }
        hash.addData(chunk);
    }
    return hash.result().toHex() == expected ? ChecksumState::Matches : ChecksumState::Mismatch;
}
