#pragma once

#include "tasks/BackupTask.h"

// A task as the tests make them: the stored defaults, then only what a test
// names. Converts to BackupTask, so it can be returned or passed directly.
class TaskBuilder {
public:
    explicit TaskBuilder(const QString &name) : m_task(BackupTask::withDefaults(name)) {}

    // The web host and its login (telnet, SSH and FTP).
    TaskBuilder &host(const QString &host) { return m_task.host = host, *this; }
    TaskBuilder &login(const QString &user, const QString &password)
    {
        m_task.hostuser = user;
        m_task.hostpw = password;
        return *this;
    }
    // The MySQL server and its login, as mysqldump is given them.
    TaskBuilder &mysql(const QString &server, const QString &user, const QString &password)
    {
        m_task.mysql = server;
        m_task.dbuser = user;
        m_task.dbpw = password;
        return *this;
    }
    TaskBuilder &database(const QString &database) { return m_task.database = database, *this; }
    TaskBuilder &remoteDir(const QString &dir) { return m_task.remotedir = dir, *this; }
    TaskBuilder &file(const QString &backupfile) { return m_task.backupfile = backupfile, *this; }
    TaskBuilder &localDir(const QString &dir) { return m_task.localdir = dir, *this; }
    // Daily at time; run 1 is active.
    TaskBuilder &at(const QString &time, int run)
    {
        m_task.backuptime = time;
        m_task.run = run;
        return *this;
    }

    BackupTask &task() { return m_task; }
    operator BackupTask() const { return m_task; }

private:
    BackupTask m_task;
};
