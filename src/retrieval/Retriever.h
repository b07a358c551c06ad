#pragma once

struct BackupTask;

// Fetches a task's dump file into its local target. Synchronous for the
// caller: it returns when the transfer has ended, keeping the event loop
// running meanwhile.
class Retriever {
public:
    virtual ~Retriever() = default;
    // true when the file was stored locally (and passed the completeness check).
    virtual bool RetrieveBackupFile(const BackupTask &task) = 0;
};
