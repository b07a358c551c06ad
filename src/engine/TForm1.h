#pragma once

#include <QMainWindow>
#include <QPointer>
#include <memory>

#include "engine/DumpSession.h"
#include "engine/ProtocolLog.h"
#include "engine/SessionHost.h"
#include "retrieval/RetrievalHost.h"
#include "shell/LanguageTexts.h"
#include "tasks/BackupTask.h"
#include "tasks/TaskStore.h"

class Clock;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QStatusBar;
class QTimer;
class Retriever;
class TTelnetClient;

// What the program injects into the main window; tests shorten and redirect.
struct TForm1Options {
    QString storeFile;               // empty: the user's settings store
    QString logFile;                 // empty: beside the executable
    const Clock *clock = nullptr;    // null: the real clock
    SessionPacing pacing;
    quint16 telnetPort = 23;
    quint16 ftpPort = 21;
    int schedulerIntervalMs = 55000;
    int logSaveIntervalMs = 120000;
};

// The main window: owns the engine for the program's run.
class TForm1 : public QMainWindow, public ProtocolView, public SessionHost, public RetrievalHost {
    Q_OBJECT
public:
    explicit TForm1(TForm1Options options = {}, QWidget *parent = nullptr);
    ~TForm1() override;

    // ProtocolView
    void appendProtocolLine(const QString &line) override;
    void clearProtocol() override;
    // SessionHost
    void setSessionProgress(int position) override;
    void setNegotiationText(const QString &text) override;
    void resetStatusCaption() override;
    bool isApplicationMinimized() const override;
    void restoreFromTray() override;
    void minimizeToTray() override;
    void setTaskMessage(const QString &taskName, const QString &text) override;
    // RetrievalHost
    void setDownloadProgress(int position, int maximum) override;
    void setStatusCaption(const QString &caption) override;
    void showRetrievalError(const QString &text) override;

    // The current task: what the editor shows and what the last load filled.
    BackupTask &currentTask() { return m_currentTask; }
    // Loads a stored task into the current task; throws on a read error.
    void LoadTask(const QString &name);

    TaskStore &store() { return m_store; }
    ProtocolLog &protocol() { return m_log; }
    LanguageTexts &texts() { return m_texts; }
    DumpSession &session() { return *m_session; }
    TTelnetClient &telnet() { return *m_telnet; }
    // Starts a run of the current task (or queues it behind the running one).
    void StartBackup();

    // The last message written for a task (until the list takes it over).
    QString taskMessage(const QString &taskName) const { return m_messages.value(taskName.toLower()); }

private:
    void buildWindow();
    void Memo2DblClick();
    void Timer2Timer();

    TForm1Options m_options;
    const Clock &m_clock;
    LanguageTexts m_texts;
    TaskStore m_store;
    ProtocolLog m_log;
    BackupTask m_currentTask;
    QHash<QString, QString> m_messages;

    TTelnetClient *m_telnet = nullptr;
    std::unique_ptr<Retriever> m_retriever;
    std::unique_ptr<DumpSession> m_session;

    QGroupBox *GroupBox1 = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    QPlainTextEdit *Memo2 = nullptr;
    QLabel *Label10 = nullptr;
    QLabel *Label11 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QProgressBar *ProgressBar2 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QLabel *StatusPanels[3] = {nullptr, nullptr, nullptr};
    QTimer *Timer2 = nullptr;
};
