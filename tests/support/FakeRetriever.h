#pragma once

#include <QList>
#include <QTimer>
#include <functional>

#include "retrieval/Retriever.h"
#include "tasks/BackupTask.h"

// Stands in for the FTP/HTTP retrieval: records each call and answers as
// told, after delayMs, from the event loop as the real one does.
class FakeRetriever final : public Retriever {
public:
    void StartRetrieval(const BackupTask &task, const QDateTime &start, QObject *context, RetrievalDone done) override
    {
        calls.append(task);
        runStarts.append(start);
        if (onRetrieve)
            onRetrieve(task);
        const bool ok = result;
        const QString file = ok ? task.localdir + QLatin1Char('/') + task.backupfile : QString();
        QTimer::singleShot(delayMs, context, [done, ok, file] { done(ok, file); });
    }
    void AbortRetrievals() override { ++aborts; }
    QString FailureReason() const override { return reason; }

    bool result = true;
    int delayMs = 0;
    int aborts = 0;
    QString reason;
    QList<BackupTask> calls;
    QList<QDateTime> runStarts;
    std::function<void(const BackupTask &)> onRetrieve;
};
