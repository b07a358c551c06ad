#pragma once

#include <QList>
#include <functional>

#include "retrieval/Retriever.h"
#include "tasks/BackupTask.h"

// Stands in for the FTP/HTTP retrieval: records each call and answers as told.
class FakeRetriever final : public Retriever {
public:
    using Retriever::RetrieveBackupFile;
    bool RetrieveBackupFile(const BackupTask &task, const QDateTime &start) override
    {
        calls.append(task);
        runStarts.append(start);
        if (onRetrieve)
            onRetrieve(task);
        return result;
    }

    bool result = true;
    QString FailureReason() const override { return reason; }

    QString reason;
    QList<BackupTask> calls;
    QList<QDateTime> runStarts;
    std::function<void(const BackupTask &)> onRetrieve;
};
