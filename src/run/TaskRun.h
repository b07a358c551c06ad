#pragma once

#include <QObject>

#include "restore/RestoreOptions.h"
#include "run/RunOutcome.h"
#include "tasks/BackupTask.h"

// What the run queue starts for a task: one database's run (BackupRun), or
// the series of a task with several databases (DatabaseSeries). Either ends
// with finished() exactly once.
class TaskRun : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual const BackupTask &task() const = 0;
    virtual bool isDownloadOnly() const = 0;
    // Before start(): how a test restore may run; without it none runs.
    virtual void setTestRestore(const RestoreOptions &options) = 0;
    virtual void start() = 0;
    // "Cancel Telnet-Session": ends the transport stage; a retrieval goes on.
    virtual void cancelSession() = 0;
    // The program is closing: break everything off.
    virtual void abort() = 0;

signals:
    void finished(const RunOutcome &outcome);
};
