#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include "tasks/BackupTask.h"

class LanguageTexts;
class ProtocolLog;
class QEventLoop;
class Retriever;
class SessionHost;
class TTelnetClient;

// Pacing and limits of a run. The program uses the defaults; tests shorten them.
struct SessionPacing {
    int lineDelayMs = 500;          // before each sent line
    int charDelayMs = 50;           // after each character of a line of 13 or more
    int connectWaitMs = 10000;
    int loginLimitMs = 120000;      // connected until the dump command is sent
    int dumpLimitMs = 12 * 3600 * 1000;  // dump command sent until the host closes
};

// The remote dump session: logs into the web host over telnet, has its shell
// run mysqldump into the remote file, ends the session and hands over to
// retrieval. One run at a time: further starts wait in a queue.
class DumpSession : public QObject {
    Q_OBJECT
public:
    DumpSession(TTelnetClient &client, ProtocolLog &log, const LanguageTexts &texts,
                SessionHost &host, Retriever &retriever, SessionPacing pacing = {},
                QObject *parent = nullptr);
    ~DumpSession() override;

    // Starts a run of this copy of the task, or queues it behind the current
    // run. false when the task is already running or queued.
    bool RequestRun(const BackupTask &task);
    bool isBusy() const { return m_state != State::Idle; }
    QString runningTaskName() const { return isBusy() ? m_task.name : QString(); }
    QStringList queuedTaskNames() const;

    // "Cancel Telnet-Session": ends the current run only.
    void CancelTelnetsession();
    // The manual download command: retrieval without a session, and its report.
    bool ManualDownload(const BackupTask &task);

    // The dump command for a task; masked puts "********" for the password.
    static QString BuildDumpCommand(const BackupTask &task, bool masked = false);

    // The last line of a chunk as the prompt test sees it: up to the first
    // NUL, a final line break ignored, at most 4 096 characters, ASCII lower case.
    static QString PromptLine(const QByteArray &chunk);

    int ConnectHost(const QString &host);
    // Sends one line with a line feed; logText is what the log file gets.
    void SendLine(const QString &text, const QString &logText);
    void SendLine(const QString &text) { SendLine(text, text); }
    // Waits at least ms while the event loop runs. true while the run that
    // called it is still the current one.
    bool Pause(int ms);

    // Session state, reset at each start.
    bool wasMinimized = false;
    bool dumpSent = false;
    bool exitSent = false;
    QString hostPassword;
    QString dumpCommand;
    QString connectError;

signals:
    void runStarted(const QString &taskName);
    void runFinished(const QString &taskName, bool success);

private:
    enum class State { Idle, Connecting, Session };

    void StartBackup();
    void startNextQueued();
    void finishRun(bool success);
    // The retrieval's reason for its failure, after the failure line.
    void addFailureReason();
    void reportFailure(const QString &taskName);
    void reportSuccess(const QString &taskName, const QString &backupfile);
    bool stillRunning(quint64 runId) const { return m_runId == runId && m_state != State::Idle; }
    QString limitText(int ms) const;
    void sendBytes(const QByteArray &bytes);

    void Telnet1Connected(int statusCode, const QString &description);
    void Telnet1ReadyToSend();
    void Telnet1DataIn(const QByteArray &text);
    void Telnet1Disconnected(int statusCode, const QString &description);
    void Telnet1Do(int option);
    void Telnet1Dont(int option);
    void Telnet1Will(int option);
    void Telnet1Wont(int option);
    void Telnet1Command(int command);
    void Telnet1SubOption(const QByteArray &subOption);
    void watchdogFired();

    TTelnetClient &m_client;
    ProtocolLog &m_log;
    const LanguageTexts &m_texts;
    SessionHost &m_host;
    Retriever &m_retriever;
    SessionPacing m_pacing;

    State m_state = State::Idle;
    quint64 m_runId = 0;
    BackupTask m_task;            // the run's own copy
    QDateTime m_runStart;         // a dump older than this is not the run's
    QList<BackupTask> m_queue;
    QTimer m_watchdog;
    bool m_loginPhase = false;    // which limit the watchdog stands for
    QEventLoop *m_connectLoop = nullptr;
};
