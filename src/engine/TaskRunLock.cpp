#include "engine/TaskRunLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

TaskRunLock::TaskRunLock(const QString &taskName, const QString &directory)
    : m_fileName(lockFileName(directory.isEmpty() ? defaultDirectory() : directory, taskName))
{
}

TaskRunLock::~TaskRunLock()
{
    unlock();
}

QString TaskRunLock::defaultDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/locks");
}

QString TaskRunLock::lockFileName(const QString &directory, const QString &taskName)
{
    // A hash keeps any task name a valid file name.
    const QByteArray hash =
        QCryptographicHash::hash(taskName.toCaseFolded().toUtf8(), QCryptographicHash::Sha1).toHex().left(20);
    return directory + QStringLiteral("/task-") + QString::fromLatin1(hash) + QStringLiteral(".lock");
}

bool TaskRunLock::tryLock()
{
    if (m_locked)
        return true;
    m_failedOtherwise = false;
    if (!QDir().mkpath(QFileInfo(m_fileName).absolutePath())) {
        m_failedOtherwise = true;
        return false;
    }
    if (!m_file) {
        m_file = std::make_unique<QLockFile>(m_fileName);
        // A run may take long; only a dead holder makes the lock stale.
        m_file->setStaleLockTime(0);
    }
    m_locked = m_file->tryLock(0);
    if (!m_locked)
        m_failedOtherwise = m_file->error() != QLockFile::LockFailedError;
    return m_locked;
}

void TaskRunLock::unlock()
{
    if (m_locked && m_file)
        m_file->unlock();
    m_locked = false;
}

bool TaskRunLocks::acquire(const QString &taskName)
{
    const QString key = taskName.toCaseFolded();
    m_lastFailedOtherwise = false;
    auto held = m_locks.find(key);
    if (held != m_locks.end()) {
        ++held->users;
        return true;
    }
    auto lock = std::make_shared<TaskRunLock>(taskName, m_directory);
    if (!lock->tryLock()) {
        m_lastFailedOtherwise = lock->failedOtherwise();
        return false;
    }
    m_locks.insert(key, Held{lock, 1});
    return true;
}

void TaskRunLocks::release(const QString &taskName)
{
    auto held = m_locks.find(taskName.toCaseFolded());
    if (held != m_locks.end() && --held->users <= 0)
        m_locks.erase(held);
}

bool TaskRunLocks::holds(const QString &taskName) const
{
    return m_locks.contains(taskName.toCaseFolded());
}
