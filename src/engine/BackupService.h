#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "engine/ProtocolLog.h"
#include "engine/RunEvents.h"
#include "engine/TaskRunLock.h"
#include "notify/HealthPing.h"
#include "restore/RestoreOptions.h"
#include "retrieval/RetrievalOptions.h"
#include "run/RunOutcome.h"
#include "run/TelnetDialogue.h"
#include "schedule/BackupSchedule.h"
#include "schedule/TaskBoard.h"
#include "ssh/SshDumpTypes.h"
#include "tasks/BackupTask.h"

class Clock;
class LanguageTexts;
class Retriever;
class RunQueue;
class ScheduleDriver;
class TaskStore;
class TTelnetClient;

// What the program injects into the engine; tests shorten and redirect.
struct BackupServiceOptions {
    const Clock *clock = nullptr;  // null: the real clock
    SessionPacing pacing;
    quint16 telnetPort = 23;
    RetrievalOptions retrieval;
    SshClientSettings ssh;         // defaults: the user's ~/.ssh
    QString lockDirectory;         // empty: the user's, shared by the tray program and the command line
    RestoreOptions restore;        // the store's restore settings override its program and limit
    // false: no schedule, notifications or mail; the caller keeps the run
    // records (the command line, which answers on its output).
    bool schedule = true;
};

// The engine of one program run, without a widget: the telnet client, the
// transports, retrieval, the run queue, the task locks, the task board and
// the schedule with its run records. The tray window and the command line
// each make one, start runs and show what it reports.
class BackupService : public QObject {
    Q_OBJECT
public:
    BackupService(BackupServiceOptions options, TaskStore &store, const LanguageTexts &texts,
                  QObject *parent = nullptr);
    ~BackupService() override;

    enum class Start { Started, Busy, Failed };
    struct StartResult {
        Start status = Start::Started;
        QString reason;  // Failed: why, in the interface language
    };

    // Runs (or queues) this copy of the task under its lock. Started also
    // when it waits in line or was waiting already; Busy: another process runs it.
    StartResult start(const BackupTask &task, bool downloadOnly = false);
    // Loads the named task and starts it; a task running in another process
    // is said in the protocol. Why it could not start; empty otherwise.
    QString startTask(const QString &name, bool downloadOnly = false);
    // The same for a start the user asked for: a start that fails ends as a
    // failed run (Message, record, notification, mail). Only with the
    // options' schedule.
    void runTask(const QString &name, bool downloadOnly = false);
    // "Cancel Telnet-Session".
    void cancelSession();
    // The program ends: the queue is dropped, the run broken off (its
    // temporary file removed, the earlier backup kept).
    void shutdown();

    // Reads the store once into the board and the schedule's records.
    void rebuildBoard();

    // How long a run may take at most: reaching the host, logging in, the
    // dump, ending the session and reaching the file server. (A transfer
    // that keeps moving has no limit.)
    static int runLimitMs(const BackupServiceOptions &options);

    ProtocolLog &log() { return m_log; }
    RunEvents &events() { return m_events; }
    TaskBoard &board() { return m_board; }
    // Each task's run record: what the schedule plans with (the command
    // line records its runs here itself).
    BackupSchedule &records() { return m_records; }
    RunQueue &queue() { return *m_queue; }
    // Only with the options' schedule.
    ScheduleDriver &schedule() { return *m_schedule; }
    TTelnetClient &telnet() { return *m_telnet; }
    TaskStore &store() { return m_store; }
    const Clock &clock() const { return m_clock; }
    QString lockFileName(const QString &taskName) const;
    // Health-check pings still under way; pingsSettled() follows the last.
    int pingsPending() const;

signals:
    // A task was loaded to be started: it is the window's current task now.
    void taskLoaded(const BackupTask &task);
    void runStarted(const QString &taskName);
    // After the board and the record have it, before the task's lock goes.
    void runFinished(const RunOutcome &outcome);
    void pingsSettled();

private:
    void finished(const RunOutcome &outcome);
    // The task as stored now; its defaults under its name when unreadable.
    BackupTask storedTask(const QString &name) const;
    void ping(const BackupTask &task, HealthPing::Kind kind);
    // Made with the first ping.
    HealthPing &pings();

    BackupServiceOptions m_options;
    TaskStore &m_store;
    const LanguageTexts &m_texts;
    const Clock &m_clock;
    ProtocolLog m_log;
    RunEvents m_events;
    TaskBoard m_board;
    BackupSchedule m_records;
    TaskRunLocks m_runLocks;
    TTelnetClient *m_telnet = nullptr;
    std::unique_ptr<Retriever> m_retriever;
    std::unique_ptr<RunQueue> m_queue;
    std::unique_ptr<ScheduleDriver> m_schedule;
    std::unique_ptr<HealthPing> m_pings;
};
