#pragma once

#include <QString>
#include <memory>

#include "restore/RestoreJob.h"
#include "ssh/SshDumpTypes.h"
#include "tasks/BackupTask.h"

class SshJobRunner;
class TaskRunLock;

// Loads a stored backup back into the task's own database, through the
// task's own SSH login: the host's mysql client reads the dump (unpacked on
// the way) on the channel's standard input; its password travels in the
// same input, never on a command line or in the protocol. Telnet tasks
// cannot: start() says so.
class HostRestore : public RestoreJob {
    Q_OBJECT
public:
    // lockDirectory: where the tasks' run locks live (empty: the user's). A
    // restore holds its task's lock: no backup of the task may dump the
    // database while it is half restored, and replace a good backup with it.
    HostRestore(SshClientSettings settings, bool german, QString lockDirectory = QString(), QObject *parent = nullptr);
    ~HostRestore() override;

    void start(const BackupTask &task, const QString &storedFile);
    void cancel() override;

    // "database shop on www.example.org", for the question and the lines.
    static QString target(const BackupTask &task, bool german);

private:
    // Once the task's passwords are at hand: the dump goes to the host.
    void send(const QString &storedFile);
    void end(bool restored, const QString &reason);

    SshClientSettings m_settings;
    bool m_german;
    BackupTask m_task;
    QString m_lockDirectory;
    std::unique_ptr<TaskRunLock> m_lock;
    std::unique_ptr<SshJobRunner> m_runner;
};
