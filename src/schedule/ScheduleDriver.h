#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

#include "notify/FailureMail.h"
#include "notify/MailSender.h"
#include "schedule/BackupSchedule.h"

class Clock;
class LanguageTexts;
class ProtocolLog;
class TaskBoard;
class TaskStore;
struct BackupTask;

// What the tray tip and the status bar show of the schedule. tipLines: the
// lines after the scheduler's own hint; nextBackup: for the status bar;
// failedTasks: active tasks whose last run failed (the tray shows its warning
// icon while there are any); warning: the last alert, else the count of
// failed tasks, for where there is no notification area (empty: nothing).
struct ScheduleState {
    QStringList tipLines;
    QString nextBackup;
    int failedTasks = 0;
    QString warning;
};
Q_DECLARE_METATYPE(ScheduleState)

// Drives the daily schedule on the board's rows and tells the user about
// failures: starts due and missed tasks, keeps the run records, shows the
// overdue warning in a row, asks for notifications and sends failure mail.
class ScheduleDriver : public QObject {
    Q_OBJECT
public:
    // Makes the task current and starts (or queues) its run. Returns why the
    // run could not start, in the interface language; empty when it started,
    // waits in line, or runs in another process.
    using Starter = std::function<QString(const QString &taskName)>;

    // records: the run records it plans with and keeps, the engine's.
    ScheduleDriver(TaskBoard &board, BackupSchedule &records, Starter start, const TaskStore &store,
                   ProtocolLog &log, const LanguageTexts &texts, QObject *parent = nullptr);

    // After every rebuild of the board: records afresh, each row's
    // remembered message where no other warning took the column.
    void listRebuilt(const QList<TaskListEntry> &entries);
    // The timer's tick (and the first look at start-up): starts what is due
    // or missed, in row order.
    void tick();

    // A run (scheduled, made up or manual) ended. message: its Message
    // column text; reason: the line that says what went wrong; warning: a
    // stored backup that failed its test restore, raised like a failure.
    void runFinished(const BackupTask &task, bool success, const QString &message, const QString &reason,
                     const QString &warning = QString(), bool offsiteWarning = false);
    // A run (scheduled, made up or manual) that could not start: its slot
    // is used all the same, so it ends like a failed run, with its reason in
    // the protocol, the Message, the notification and the mail.
    void startFailed(const QString &taskName, const QString &reason);

    // Shows the next backup, the failures and the tray's warning afresh
    // (after a change of language, say).
    void refreshState();

    // Re-reads the mail settings from the store (after the settings dialog).
    void reloadMailSettings();
    MailSender &mailSender() { return m_mail; }
    BackupSchedule &schedule() { return m_schedule; }

    // Title of notifications: the application's.
    static const QString Title;

signals:
    // A desktop notification; where there is none, the state's warning says it.
    void notificationRequested(const QString &title, const QString &text);
    void stateChanged(const ScheduleState &state);

private:
    void alert(const QString &text);
    void recordNotSaved(const QString &name);
    void sendMail(const MailMessage &mail);
    void overdueNotices(const QList<ScheduleRowInput> &rows);

    TaskBoard &m_board;
    Starter m_start;
    const TaskStore &m_store;
    ProtocolLog &m_log;
    const LanguageTexts &m_texts;
    BackupSchedule &m_schedule;
    MailSender m_mail;
    MailSettings m_mailSettings;
    QString m_lastAlert;
};
