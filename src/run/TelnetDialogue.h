#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTimer>

#include "net/TcpKeepAlive.h"
#include "run/Transport.h"
#include "tasks/BackupTask.h"

class LanguageTexts;
class TTelnetClient;

// Pacing and limits of the telnet dialogue. The program uses the defaults;
// tests shorten them.
struct SessionPacing {
    int lineDelayMs = 500;          // before each sent line
    int charDelayMs = 50;           // after each character of a line of 13 or more
    int connectWaitMs = 10000;
    int loginLimitMs = 120000;      // connected until the dump command is sent
    int dumpLimitMs = 12 * 3600 * 1000;  // dump command sent until the host closes
    int exitCloseMs = 60000;        // "exit" sent until the host closes
    TcpKeepAlive keepAlive;         // a host gone silent during the dump
};

// The telnet transport: logs into the web host, has its shell run mysqldump
// into the remote file and ends the session. Every wait is a timer or a
// client signal; no handler waits.
class TelnetDialogue final : public Transport {
    Q_OBJECT
public:
    TelnetDialogue(TTelnetClient &client, const LanguageTexts &texts, SessionPacing pacing = {},
                   QObject *parent = nullptr);
    ~TelnetDialogue() override;

    void start(const BackupTask &task) override;
    void cancel() override;
    // A short second session that runs "rm -f" of exactly that file in
    // remotedir; the host confirms the removal with a line of its own.
    bool startRemoval(const BackupTask &task, const QString &file) override;
    // A session that runs ListingCommand and reads the names it prints.
    void startListing(const BackupTask &task) override;

    // The dump command for a task, into remoteFile in remotedir (empty:
    // backupfile). It holds no password: mysqldump reads its option file
    // from standard input, which the session command fills.
    static QString BuildDumpCommand(const BackupTask &task, const QString &remoteFile = QString());
    // The line the shell gets for a run: the dump command under umask 077, so
    // no other user of the host can read the dump, with the shell's history
    // file off. The database password is asked for by the host with
    // DbPasswordMark(), read without echo and piped to mysqldump as its
    // option file: never on a command line, in the process list or history.
    // For the HTTP method the leftovers of earlier runs (RandomRemoteName's
    // pattern) go first, and the new file is made readable for the web
    // server's fetch at the end.
    static QString SessionCommand(const BackupTask &task, const QString &remoteFile);
    // The line that lists the task's databases, its password asked for as
    // the dump's is. Each name comes back as "vw-db:NAME", the client's
    // status as "vw-listed-N": typed as printf formats, so the echo of the
    // line holds neither.
    static QString ListingCommand(const BackupTask &task);
    // The names of a listing session's output, and whether it said it was whole.
    static QStringList ListedNames(const QByteArray &output, bool *whole);
    static QString DbPasswordMark() { return QStringLiteral("mysql-password:"); }
    // The dump's name in web space for one run, not to be guessed from the
    // task: backupfile's stem, "-", ten random hex digits, its extension.
    static QString RandomRemoteName(const QString &backupfile);
    // The removal line for file in remotedir; the host answers it with
    // RemovedMark() when the file is gone.
    static QString RemovalCommand(const BackupTask &task, const QString &file);
    static QByteArray RemovedMark() { return "removed-0"; }
    // The last line of a chunk as the prompt test sees it: up to the first
    // NUL, a final line break ignored, at most 4 096 characters, terminal
    // control sequences and trailing blanks and tabs removed, ASCII lower case.
    static QString PromptLine(const QByteArray &chunk);

private:
    enum class State { Idle, Connecting, Session, Done };
    enum class Prompt { None, Password, Shell, DbPassword };
    struct Line {
        QString text;
        QString logText;
    };

    void open(const BackupTask &task);
    void connectFailed(const QString &line);
    void finish(const TransportResult &result);
    void beginLine(const QString &text, const QString &logText);
    void sendStep();
    void lineDone();
    void answer(Prompt prompt);
    Prompt classify(const QString &line) const;
    void sendBytes(const QByteArray &bytes);
    QString limitText(int ms) const;

    void onConnected(int statusCode, const QString &description);
    void onReadyToSend();
    void onDataIn(const QByteArray &text);
    void onDisconnected(int statusCode, const QString &description);
    void onDo(int option);
    void onSubOption(const QByteArray &subOption);
    void onWatchdog();
    void onExitLimit();

    TTelnetClient &m_client;
    const LanguageTexts &m_texts;
    SessionPacing m_pacing;
    BackupTask m_task;
    State m_state = State::Idle;
    QString m_hostPassword;
    QString m_dumpCommand;
    bool m_dumpSent = false;
    bool m_dbPasswordSent = false;
    bool m_exitSent = false;
    bool m_loginPhase = true;
    QString m_remoteFile;  // the run's dump file, or the file to remove
    bool m_removal = false;
    bool m_listing = false;
    QByteArray m_seen;     // the end of what came after the removal line; a listing's output
    bool m_removedSeen = false;

    // The line being sent and where it stands; prompts that come meanwhile
    // wait here, each kind at most once.
    bool m_sending = false;
    Line m_line;
    qsizetype m_pos = -1;  // -1: still in the pause before the line
    QList<Prompt> m_waiting;
    bool m_dropReported = false;

    QTimer m_connectTimer;
    QTimer m_sendTimer;
    QTimer m_watchdog;
    QTimer m_exitTimer;
};
