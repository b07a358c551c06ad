#pragma once

#include <QList>
#include <functional>

#include "retrieval/Retriever.h"
#include "tasks/BackupTask.h"

// Stands in for the FTP/HTTP retrieval: records each call and answers as told.
class FakeRetriever final : public Retriever {
public:
    bool RetrieveBackupFile(const BackupTask &task) override
    {
        calls.append(task);
        if (onRetrieve)
            onRetrieve(task);
        return result;
    }

    bool result = true;
    QList<BackupTask> calls;
    std::function<void(const BackupTask &)> onRetrieve;
};
