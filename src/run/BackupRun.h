#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "restore/RestoreOptions.h"
#include "run/RunOutcome.h"
#include "run/TaskRun.h"
#include "run/Transport.h"
#include "tasks/BackupTask.h"

class LanguageTexts;
class OffsiteCopy;
struct OffsiteResult;
class ProtocolLog;
class Retriever;
class RunEvents;
class TestRestore;
struct TestRestoreResult;

// One run of one task, on its own copy of the task, through its stages:
// secrets (the passwords from the keyring, where the task keeps them), transport (the host makes the dump), retrieval (the dump is fetched and
// stored, verified), store (retention), clean-up (the host's dump removed),
// test restore (when the task asks for it), off-site copy (when the task
// names a destination), outcome (protocol line, the
// Message text, finished()). Without a transport it is the manual download:
// retrieval, its report and the test restore.
class BackupRun final : public TaskRun {
    Q_OBJECT
public:
    BackupRun(const BackupTask &task, std::unique_ptr<Transport> transport, Retriever &retriever,
              ProtocolLog &log, const LanguageTexts &texts, RunEvents &events, QObject *parent = nullptr);
    ~BackupRun() override;

    const BackupTask &task() const override { return m_task; }
    bool isDownloadOnly() const override { return !m_transport; }
    void setTestRestore(const RestoreOptions &options) override { m_restoreOptions = options; }
    void start() override;
    void cancelSession() override;
    void abort() override;

private:
    // After the task's passwords are at hand: the transport, or the download.
    void begin();
    void transportFinished(const TransportResult &result);
    void retrieved(bool ok, const QString &storedFile);
    // The store stage's end: retention, for every transport.
    void stored();
    void removalFinished(bool removed);
    // The test restore stage: proves the stored file loads, then the outcome.
    void prove(const QString &storedFile);
    void proven(const TestRestoreResult &result);
    // The off-site stage (a task with a destination): the proven backup and
    // what the destination lacks go there; then the outcome.
    void copyOffsite(const QString &storedFile);
    void copiedOffsite(const OffsiteResult &result);
    // The protocol line and the Message's addition for a dump the host still holds.
    void warnNotRemoved(const QString &warning);
    void conclude(bool ok, const QString &reason, const QString &storedFile);

    BackupTask m_task;
    std::unique_ptr<Transport> m_transport;
    Retriever &m_retriever;
    ProtocolLog &m_log;
    const LanguageTexts &m_texts;
    RunEvents &m_events;
    RunOutcome m_outcome;
    QDateTime m_runStart;  // on the log's clock, which tests set
    bool m_sessionShown = false;  // sessionStarting was said
    bool m_sessionOpened = false;
    QString m_failureMessage;  // the transport's words for the Message
    QString m_warning;         // added to the Message of a stored backup
    bool m_removing = false;   // the transport is removing the fetched dump
    QString m_storedFile;
    std::optional<RestoreOptions> m_restoreOptions;
    std::unique_ptr<TestRestore> m_test;
    std::unique_ptr<OffsiteCopy> m_offsite;
    bool m_done = false;
    bool m_fetchingSecrets = false;   // the keyring is being asked for the passwords
    bool m_secretsCancelled = false;  // and the run was broken off meanwhile
};
