#pragma once

#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "cli/CommandLine.h"
#include "cli/HeadlessRun.h"
#include "shell/LanguageTexts.h"
#include "tasks/BackupTask.h"

class BackupCheck;
class HostRestore;
class SecretMigration;
class SessionEndWatcher;
class TaskStore;
struct RunOutcome;

// Exit statuses of the command line.
namespace ExitStatus {
constexpr int Stored = 0;   // done; for a run: the backup was stored
constexpr int Failed = 1;   // a run failed, or the output could not be written
constexpr int Usage = 2;    // usage error or unknown task
constexpr int Busy = 3;     // the task was running elsewhere and did not finish in time
}

struct CommandLineOptions {
    HeadlessOptions engine;
    QString lockDirectory;   // empty: the user's (shared with the tray program)
    int lockPollMs = 1000;   // how often a waiting run looks at the lock again
    int busyWaitMs = -1;     // how long to wait for a busy task; -1: the run limit
    bool watchSignals = true; // SIGTERM, SIGINT and SIGHUP break a run off
};

// The program as started from a shell or a timer: answers one request on
// standard output and ends with an exit status. Needs a QCoreApplication,
// never a display.
class CommandLineProgram : public QObject {
    Q_OBJECT
public:
    CommandLineProgram(CommandLineRequest request, TaskStore &store, int language, CommandLineOptions options = {},
                       FILE *out = stdout, FILE *err = stderr, QObject *parent = nullptr);
    ~CommandLineProgram() override;

    // The exit status of a request answered at once; -1 when it goes on in
    // the event loop and ends with finished().
    int start();
    // Ends as the tray program does when the system ends it: the running
    // task is broken off (its temporary file removed), no further task
    // starts, and the exit status is Failed.
    void interrupt();

signals:
    void finished(int exitStatus);

private:
    int list();
    int startRun();
    int startRunDue();
    int startVerify();
    int startRestore();
    // The task and the file a --verify or --restore works on; false (said) when there is none.
    bool chooseBackup(BackupTask &task, QString &file, int &status);
    // Loads the named task; false (and said) when it cannot be read.
    bool loadTask(const QString &name, BackupTask &task);
    // Where the tasks' run locks live: the engine's, else the command line's own.
    QString lockDirectory() const;
    // The stored spelling of the task's name; empty (and said) when there is none.
    QString storedTaskName();
    void watchSignals();
    // A --verify's or --restore's protocol line, and its end.
    void printLine(const QString &line);
    void endAfter(bool succeeded);
    // Runs the next task of m_pending, waiting for its lock first.
    void runNext();
    void tryStart();
    void runFinished(const RunOutcome &outcome);
    // The run record; said when the store refuses it.
    void recordOutcome(const QString &taskName, bool stored, const QString &message);
    void sayRecordNotSaved(const QString &taskName);
    void finish();
    bool write(FILE *stream, const QString &text);
    void say(const QString &english, const QString &german);
    QString pick(const QString &english, const QString &german) const;

    CommandLineRequest m_request;
    TaskStore &m_store;
    LanguageTexts m_texts;
    CommandLineOptions m_options;
    FILE *m_out;
    FILE *m_err;

    bool m_recordAttempts = false;  // scheduled starts record their attempt; manual ones do not
    QList<BackupTask> m_pending;
    bool m_waitForBusy = true;  // --run waits for a busy task; --run-due passes it by
    std::unique_ptr<HeadlessRun> m_lines;
    std::unique_ptr<BackupService> m_engine;
    bool m_running = false;
    bool m_waitSaid = false;  // the wait for a busy task was said
    QTimer m_lockPoll;
    QDeadlineTimer m_lockDeadline;
    std::unique_ptr<SessionEndWatcher> m_signals;
    std::unique_ptr<SecretMigration> m_secrets;
    std::unique_ptr<BackupCheck> m_check;
    std::unique_ptr<HostRestore> m_restore;
    bool m_interrupted = false;
    bool m_finished = false;
    int m_status = ExitStatus::Stored;
};
