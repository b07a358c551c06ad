#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>

#include "restore/RestoreOptions.h"
#include "run/RunOutcome.h"
#include "run/TelnetDialogue.h"
#include "tasks/BackupTask.h"

class TaskRun;
class LanguageTexts;
class ProtocolLog;
class Retriever;
class RunEvents;
class TTelnetClient;

// One run at a time; further starts wait in line. Front ends (the main
// window, a command line) hand it copies of tasks and show what it reports.
class RunQueue : public QObject {
    Q_OBJECT
public:
    using TransportFactory = ::TransportFactory;

    RunQueue(TransportFactory transports, ProtocolLog &log, const LanguageTexts &texts, RunEvents &events,
             Retriever &retriever, QObject *parent = nullptr);
    // Runs over telnet through the given client.
    RunQueue(TTelnetClient &client, ProtocolLog &log, const LanguageTexts &texts, RunEvents &events,
             Retriever &retriever, SessionPacing pacing = {}, QObject *parent = nullptr);
    ~RunQueue() override;

    // Starts a run of this copy of the task, or queues it. false when the
    // task is already running or waiting.
    bool RequestRun(const BackupTask &task);
    // The manual download: retrieval only, on its own copy, in the same line.
    bool RequestDownload(const BackupTask &task);

    // How each run's test restore may go, asked as the run starts; unset:
    // runs test nothing.
    void setTestRestore(std::function<RestoreOptions()> options) { m_restore = std::move(options); }

    bool isBusy() const { return m_current != nullptr; }
    QString runningTaskName() const;
    QStringList queuedTaskNames() const;

    // "Cancel Telnet-Session": ends the current run's session only.
    void CancelTelnetsession();
    // The program is closing: drop the queue and break off the current run.
    void abortAll();

signals:
    void runStarted(const QString &taskName);
    void runFinished(const RunOutcome &outcome);

private:
    std::function<RestoreOptions()> m_restore;
    struct Request {
        BackupTask task;
        bool downloadOnly = false;
    };
    bool enqueue(const BackupTask &task, bool downloadOnly);
    void startNext();
    void runEnded(TaskRun *run, const RunOutcome &outcome);

    TransportFactory m_transports;
    ProtocolLog &m_log;
    const LanguageTexts &m_texts;
    RunEvents &m_events;
    Retriever &m_retriever;
    TaskRun *m_current = nullptr;
    QList<Request> m_queue;
};
