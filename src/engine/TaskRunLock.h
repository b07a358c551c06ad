#pragma once

#include <QHash>
#include <QString>
#include <memory>

class QLockFile;

// Keeps two runs of the same task from overlapping, across processes: the
// tray program and any number of command-line runs take the task's lock file
// before a run and give it back after. A lock left by a process that died is
// taken over.
class TaskRunLock {
public:
    // directory: where the lock files live; empty: defaultDirectory().
    explicit TaskRunLock(const QString &taskName, const QString &directory = QString());
    ~TaskRunLock();
    TaskRunLock(const TaskRunLock &) = delete;
    TaskRunLock &operator=(const TaskRunLock &) = delete;

    // Takes the lock if it is free; never waits. false when another run holds
    // it or the lock file cannot be made (see error()).
    bool tryLock();
    void unlock();
    bool isLocked() const { return m_locked; }
    // After a failed tryLock: true when it failed for a reason other than
    // another run holding it (no folder, no permission).
    bool failedOtherwise() const { return m_failedOtherwise; }
    QString fileName() const { return m_fileName; }

    // The user's data folder, not the runtime folder: a cron job or a timer
    // has no desktop session's runtime folder, and must meet the tray
    // program's locks all the same.
    static QString defaultDirectory();
    // Task names compare without regard to case; so do their locks.
    static QString lockFileName(const QString &directory, const QString &taskName);

private:
    QString m_fileName;
    std::unique_ptr<QLockFile> m_file;
    bool m_locked = false;
    bool m_failedOtherwise = false;
};

// The locks one program holds for its started and waiting runs, by task. A
// task may have a run and a download waiting at once: each acquire is
// matched by one release, and the lock goes with the last.
class TaskRunLocks {
public:
    explicit TaskRunLocks(QString directory = QString()) : m_directory(std::move(directory)) {}

    // Takes the task's lock, or counts one more user of it when it is held
    // here. false when another process holds it, or it cannot be made
    // (then lastFailedOtherwise() is true).
    bool acquire(const QString &taskName);
    bool lastFailedOtherwise() const { return m_lastFailedOtherwise; }
    void release(const QString &taskName);
    bool holds(const QString &taskName) const;
    // Where the lock files live.
    QString directory() const { return m_directory.isEmpty() ? TaskRunLock::defaultDirectory() : m_directory; }

private:
    struct Held {
        std::shared_ptr<TaskRunLock> lock;
        int users = 0;
    };
    QString m_directory;
    QHash<QString, Held> m_locks;
    bool m_lastFailedOtherwise = false;
};
