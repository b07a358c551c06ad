#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

class QObject;
struct BackupTask;

// Fetches a task's dump file into its local target. The call returns at once;
// the transfer runs on a thread of its own and done follows on the calling
// thread (ok: the file was stored locally and passed the completeness check;
// storedFile: where). When context is destroyed first, done is never called
// and the run's late results are dropped.
class Retriever {
public:
    using RetrievalDone = std::function<void(bool ok, const QString &storedFile)>;

    virtual ~Retriever() = default;
    // runStart: start of the run that made the dump, so a file older than the
    // run is refused; invalid for a download without a run.
    virtual void StartRetrieval(const BackupTask &task, const QDateTime &runStart, QObject *context,
                                RetrievalDone done) = 0;
    // Breaks off every transfer under way (the program is closing); their
    // temporary files are removed and the earlier backups stay.
    virtual void AbortRetrievals() = 0;
    // Why the last retrieval failed, as a protocol line in the current
    // language; empty when there is nothing to add. Valid inside done.
    virtual QString FailureReason() const { return QString(); }
    // A stored retrieval whose dump the host still holds because removing it
    // failed: the warning line, in the current language; else empty. Valid
    // inside done.
    virtual QString RemovalWarning() const { return QString(); }
};
