#pragma once

#include <QDateTime>
#include <QString>

struct BackupTask;

// Fetches a task's dump file into its local target. Synchronous for the
// caller: it returns when the transfer has ended, keeping the event loop
// running meanwhile.
class Retriever {
public:
    virtual ~Retriever() = default;
    // true when the file was stored locally (and passed the completeness
    // check). runStart: start of the run that made the dump, so a file older
    // than the run is refused; invalid for a download without a run.
    virtual bool RetrieveBackupFile(const BackupTask &task, const QDateTime &runStart) = 0;
    bool RetrieveBackupFile(const BackupTask &task) { return RetrieveBackupFile(task, QDateTime()); }
    // Why the last retrieval failed, as a protocol line in the current
    // language; empty when there is nothing to add.
    virtual QString FailureReason() const { return QString(); }
};
