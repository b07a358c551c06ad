#include "tasks/StoreFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QSettings>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

bool readFile(const QString &path, QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    bytes = f.readAll();
    return f.error() == QFileDevice::NoError;
}

bool syncToDisk(QFile &f)
{
#ifdef Q_OS_WIN
    return _commit(f.handle()) == 0;
#else
    return ::fsync(f.handle()) == 0;
#endif
}

// Replaces to with from in one step (the old file stays until the new one is there).
bool renameOver(const QString &from, const QString &to)
{
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(from.toStdWString()),
                            std::filesystem::path(to.toStdWString()), error);
    return !error;
}

} // namespace

bool StoreFile::IsWhole(const QByteArray &bytes, qsizetype keyCount)
{
    if (bytes.isEmpty())
        return keyCount <= 0;
    if (!bytes.endsWith('\n'))
        return false;
    qsizetype keys = 0;
    for (const QByteArray &raw : bytes.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            if (!line.endsWith(']'))
                return false;
            continue;
        }
        if (!line.contains('='))
            return false;
        ++keys;
    }
    return keyCount < 0 || keys == keyCount;
}

bool StoreFile::WriteDurably(const QString &path, const QByteArray &bytes)
{
    {
        QFile f(path);
        // Unbuffered: a short write shows in write()'s result, not in a
        // flush at close that nobody checks.
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered,
                    QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            return false;
        if (f.write(bytes) != bytes.size() || !syncToDisk(f))
            return false;
        f.close();
        if (f.error() != QFileDevice::NoError)
            return false;
    }
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QByteArray back;
    return readFile(path, back) && back == bytes;
}

QString StoreFile::scratchFor(const QString &path)
{
    return path + QStringLiteral(".new.") + QString::number(QCoreApplication::applicationPid()) + QLatin1Char('.')
           + QString::number(QRandomGenerator::global()->generate64(), 36);
}

bool StoreFile::takeLock(QLockFile &lock) const
{
    lock.setStaleLockTime(StaleLockMs);
    if (lock.tryLock(m_lockTimeoutMs))
        return true;
    // Never a skipped write that passes for a saved one.
    m_error = lock.error() == QLockFile::LockFailedError
                  ? QStringLiteral("another program kept the store locked (%1)").arg(lockPath())
                  : QStringLiteral("the lock file %1 could not be made").arg(lockPath());
    return false;
}

bool StoreFile::apply(const std::function<bool(QSettings &)> &change) const
{
    m_error.clear();
    QLockFile lock(lockPath());
    if (!takeLock(lock))
        return false;
    auto failed = [this](const QString &scratch, const char *what) {
        QFile::remove(scratch);
        m_error = QString::fromLatin1(what);
        return false;
    };
    // Read under the lock: what another process wrote a moment ago stays.
    QByteArray before;
    const bool existed = QFileInfo::exists(m_path);
    if (existed && !readFile(m_path, before))
        return failed(QString(), "the store could not be read");
    const QString scratch = scratchFor(m_path);
    if (!WriteDurably(scratch, before))
        return failed(scratch, "the scratch copy could not be written");
    bool ok = false;
    qsizetype keyCount = 0;
    {
        QSettings settings(scratch, QSettings::IniFormat);
        ok = change(settings);
        // Counted before the write: afterwards the settings may have read
        // back whatever the write left.
        keyCount = settings.allKeys().size();
        settings.sync();
        ok = ok && settings.status() == QSettings::NoError;
    }
    QByteArray after;
    // The settings' own write may report success where the disk took only
    // part of the file; what it left must hold every key, whole.
    if (!ok || !readFile(scratch, after) || !IsWhole(after, keyCount))
        return failed(scratch, "the change could not be written whole");
    if (existed && after == before) {
        QFile::remove(scratch);
        return true;
    }
    if (!renameOver(scratch, m_path))
        return failed(scratch, "the store could not be replaced");
    // A second copy for a file damaged later from outside (a crash, a full
    // disk under another program). Made beside and renamed, so a failure
    // leaves the older copy, and loses nothing of the store itself.
    const QString backupScratch = scratchFor(backupPath());
    if (WriteDurably(backupScratch, after))
        renameOver(backupScratch, backupPath());
    else
        QFile::remove(backupScratch);
    return true;
}

StoreFile::Health StoreFile::check() const
{
    if (!QFileInfo::exists(m_path))
        return Health::Whole;
    QByteArray bytes, backup;
    const bool readable = readFile(m_path, bytes);
    const bool soundBackup = readFile(backupPath(), backup) && !backup.isEmpty() && IsWhole(backup);
    // Empty is whole only when the copy agrees (every task deleted).
    if (readable && IsWhole(bytes) && !(bytes.isEmpty() && soundBackup))
        return Health::Whole;
    if (!readable || !soundBackup)
        return Health::Damaged;
    // Looked at again under the lock: what seemed damaged may have been
    // another process's write, and the restore is a write of its own.
    QLockFile lock(lockPath());
    if (!takeLock(lock))
        return Health::Damaged;
    if (readFile(m_path, bytes) && IsWhole(bytes) && !bytes.isEmpty())
        return Health::Whole;
    // Keep the damaged file for whoever wants to look at it, then put the
    // backup copy in its place the same way a save does.
    const QString scratch = scratchFor(m_path);
    QFile::remove(damagedPath());
    if (!WriteDurably(damagedPath(), bytes) || !WriteDurably(scratch, backup) || !renameOver(scratch, m_path)) {
        QFile::remove(scratch);
        return Health::Damaged;
    }
    return Health::Restored;
}
