#pragma once

#include <QMainWindow>
#include <QHash>
#include <QPointer>
#include <functional>
#include <memory>

#include "restore/RestoreOptions.h"
#include "engine/BackupService.h"
#include "engine/ProtocolLog.h"
#include "retrieval/RetrievalOptions.h"
#include "run/RunQueue.h"
#include "shell/AutostartEntry.h"
#include "ssh/SshDumpTypes.h"
#include "shell/LanguageTexts.h"
#include "shell/QtTranslation.h"
#include "tasks/BackupTask.h"
#include "tasks/TaskEditorHost.h"
#include "tasks/TaskStore.h"

class Clock;
class QAction;
class QGroupBox;
class QMenu;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QStatusBar;
class QTimer;
class QMessageBox;
class MailSettingsDialog;
class RestoreSettingsDialog;
class MetricsSettingsDialog;
class OffsiteLimitDialog;
class ScheduleDriver;
struct ScheduleState;
class TaskListView;
class TAboutForm;
class TForm2;
class TNotifyIcon;
class TFlatMenuRenderer;
class TaskCommands;
class Ttaskform;

// What the program injects into the main window; tests shorten and redirect.
struct TForm1Options {
    QString storeFile;               // empty: the user's settings store
    QString logFile;                 // empty: beside the executable
    const Clock *clock = nullptr;    // null: the real clock
    SessionPacing pacing;
    quint16 telnetPort = 23;
    RetrievalOptions retrieval;
    SshClientSettings ssh;           // defaults: the user's ~/.ssh
    int schedulerIntervalMs = 55000;
    int logSaveIntervalMs = 120000;
    QString lockDirectory;           // empty: the user's, shared with the command line
    RestoreOptions restore;          // the test restore's server program, folder and limits
    // Answers the close question; null asks the user.
    std::function<bool(const QString &question)> confirmClose;
};

// The main window: makes the engine for the program's run, starts runs and
// shows what the engine reports.
class TForm1 : public QMainWindow, public ProtocolView, public TaskEditorHost {
    Q_OBJECT
public:
    explicit TForm1(TForm1Options options = {}, QWidget *parent = nullptr);
    ~TForm1() override;

    // ProtocolView
    void appendProtocolLine(const QString &line) override;
    void clearProtocol() override;
    // TaskEditorHost
    QDateTime now() const override;

    // The current task: what the editor shows and what the last load filled.
    BackupTask &currentTask() override { return m_currentTask; }
    // Loads a stored task into the current task; throws on a read error.
    void LoadTask(const QString &name);

    TaskStore &store() override { return m_store; }
    QString selectedTaskName() const override;
    TaskListView &taskList() { return *ListView1; }
    void RefreshTaskList() override;
    void SaveSettings() override;
    // A protocol line when the store was restored or is kept as damaged.
    void ReportStoreHealth(StoreFile::Health health);
    ProtocolLog &protocol() { return m_service->log(); }
    LanguageTexts &texts() { return m_texts; }
    BackupService &service() { return *m_service; }
    RunQueue &session() { return m_service->queue(); }

    // Menu and timer handlers.
    void Timer1Timer();
    void Timer2Timer();
    void RunBackupmanually1Click();
    // "Stored backups...": the selected task's stored files, in a window of their own.
    void StoredBackups1Click();
    void DownloadFileperFTPmanually1Click();
    void CancelTelnetsession1Click();
    void Close1Click();
    void English1Click(QAction *sender);
    void Restore1Click();
    void Minimize1Click();
    void Memo2DblClick();
    // Filled in as the task editor, About and How-To windows join.
    void Neu1Click();
    void Bearbeiten1Click();
    void Duplizieren1Click();
    void Lschen1Click();
    void About1Click();
    void Internet1Click();
    void HowTo1Click();
    void Notifications1Click();
    void TestRestore1Click();
    void MetricsFile1Click();
    void OffsiteLimit1Click();
    // "Start with the desktop": writes or removes the autostart entry.
    void Autostart1Click(bool checked);

    // The desktop session or the system ends the program: save settings and
    // log, then quit without asking.
    void SessionEnding();
    // The session manager asks for the state to be saved; the program goes on
    // running (a later real end of the session comes as SessionEnding).
    void SessionSaveRequested();

    void ApplyLanguage();
    void TranslateMainWindow(int language);

    ScheduleDriver &scheduleDriver() { return m_service->schedule(); }
    MailSettingsDialog *notificationsDialog() const { return MailDialog; }
    RestoreSettingsDialog *testRestoreDialog() const { return RestoreDialog; }
    MetricsSettingsDialog *metricsDialog() const { return MetricsDialog; }
    OffsiteLimitDialog *offsiteLimitDialog() const { return OffsiteDialog; }

    // The tray hint as the scheduler last set it.
    QString trayHint() const { return m_trayHint; }

signals:
    void trayHintChanged(const QString &hint);
    void languageApplied(int language);
    // The end of the program is decided: from here on a copy started by the
    // user must not be sent to this one.
    void closing();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildWindow();
    // What the engine reports, shown.
    void subscribe();
    void showDownloadProgress(int position, int maximum);
    void showStatusCaption(const QString &caption);
    // Not modal; a dialog of that kind still on screen takes the new text.
    void showRetrievalError(RetrievalError kind, const QString &text);
    void showScheduleState(const ScheduleState &state);
    void buildMenus();
    void buildMenuRenderer();
    // The schedule's notifications and their settings dialog.
    void buildSchedule();
    QAction *addAction(QMenu *menu, const char *objectName, const QString &caption);
    void FormShow();
    void setTrayHint(const QString &hint);
    // The commands that act on the selected row are offered only with one.
    void updateRowCommands();

    TForm1Options m_options;
    LanguageTexts m_texts;
    QtTranslation m_qtTexts;
    AutostartEntry m_autostart;
    TaskStore m_store;
    std::unique_ptr<BackupService> m_service;
    BackupTask m_currentTask;
    // The window was in the tray when the running session began.
    bool m_wasInTray = false;

    // The FTP error dialog of each kind that is on screen.
    QHash<int, QPointer<QMessageBox>> m_errorBoxes;

    TaskListView *ListView1 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    QPlainTextEdit *Memo2 = nullptr;
    QLabel *Label10 = nullptr;
    QLabel *Label11 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QProgressBar *ProgressBar2 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QLabel *m_nextBackupPanel = nullptr;   // the next backup
    QLabel *m_negotiationPanel = nullptr;  // telnet's option exchange
    QLabel *m_warningPanel = nullptr;      // alerts, where there is no notification area
    TNotifyIcon *NotifyIcon1 = nullptr;
    TFlatMenuRenderer *MenuRenderer1 = nullptr;
    Ttaskform *taskform = nullptr;
    std::unique_ptr<TaskCommands> m_taskCommands;
    TAboutForm *AboutForm = nullptr;
    TForm2 *Form2 = nullptr;
    MailSettingsDialog *MailDialog = nullptr;
    RestoreSettingsDialog *RestoreDialog = nullptr;
    MetricsSettingsDialog *MetricsDialog = nullptr;
    OffsiteLimitDialog *OffsiteDialog = nullptr;
    QTimer *Timer1 = nullptr;
    QTimer *Timer2 = nullptr;
    QString m_trayHint;
    bool m_shownOnce = false;
    bool m_ending = false;

    QMenu *asks1 = nullptr, *Options1 = nullptr, *Info1 = nullptr, *Language1 = nullptr;
    QMenu *PopupMenu1 = nullptr, *PopupMenu2 = nullptr, *Befehle1 = nullptr, *Ansicht1 = nullptr;
    QHash<QString, QAction *> m_actions;

public:
    // A menu entry by its name, e.g. "RunBackupmanually1".
    QAction *menuAction(const QString &name) const { return m_actions.value(name); }
    QMenu *popupMenu1() const { return PopupMenu1; }
    QMenu *popupMenu2() const { return PopupMenu2; }
    TNotifyIcon *notifyIcon() const { return NotifyIcon1; }
    TFlatMenuRenderer *menuRenderer() const { return MenuRenderer1; }
    TAboutForm *aboutForm() const { return AboutForm; }
    Ttaskform *taskForm() const { return taskform; }
    TForm2 *howToForm() const { return Form2; }
};
