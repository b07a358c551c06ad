#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "engine/ProtocolLog.h"
#include "engine/SessionHost.h"
#include "retrieval/RetrievalHost.h"
#include "retrieval/RetrievalOptions.h"
#include "run/RunOutcome.h"
#include "run/TelnetDialogue.h"
#include "ssh/SshDumpTypes.h"
#include "tasks/BackupTask.h"

class Clock;
class LanguageTexts;
class Retriever;
class RunQueue;
class TTelnetClient;

// What a run from the command line is given; the program uses the defaults,
// tests shorten and redirect.
struct HeadlessOptions {
    const Clock *clock = nullptr;  // null: the real clock
    SessionPacing pacing;
    quint16 telnetPort = 23;
    RetrievalOptions retrieval;
    SshClientSettings ssh;         // defaults: the user's ~/.ssh
};

// The engine of the tray program without its window: the same run queue,
// transport and retrieval, with the protocol lines handed to a callback as
// they are written and nothing shown.
class HeadlessRun : public QObject, public ProtocolView, public SessionHost, public RetrievalHost {
    Q_OBJECT
public:
    using LineSink = std::function<void(const QString &line)>;

    HeadlessRun(const LanguageTexts &texts, HeadlessOptions options, LineSink lines, QObject *parent = nullptr);
    ~HeadlessRun() override;

    // Starts a run of this copy of the task; finished() follows.
    void start(const BackupTask &task);
    // Breaks the run off (session and transfer); finished() follows as for a
    // failed run, its temporary file gone.
    void abort();

    // How long a run may take at most: reaching the host, logging in, the
    // dump, ending the session and reaching the file server. (A transfer
    // that keeps moving has no limit.)
    static int runLimitMs(const HeadlessOptions &options);

signals:
    void finished(const RunOutcome &outcome, const QString &message);

private:
    // ProtocolView
    void appendProtocolLine(const QString &line) override;
    void clearProtocol() override {}
    // SessionHost: nothing to show, nothing to hide.
    void setSessionProgress(int) override {}
    void setNegotiationText(const QString &) override {}
    void resetStatusCaption() override {}
    bool isApplicationMinimized() const override { return false; }
    void restoreFromTray() override {}
    void minimizeToTray() override {}
    void setTaskMessage(const QString &taskName, const QString &text) override;
    // RetrievalHost
    void setDownloadProgress(int, int) override {}
    void setStatusCaption(const QString &) override {}
    void showRetrievalError(int kind, const QString &text) override;

    HeadlessOptions m_options;
    LineSink m_lines;
    ProtocolLog m_log;
    TTelnetClient *m_telnet = nullptr;
    std::unique_ptr<Retriever> m_retriever;
    std::unique_ptr<RunQueue> m_queue;
    QString m_message;
};
