#pragma once

#include <QObject>
#include <QString>

#include "notify/FailureMail.h"
#include "notify/MailSender.h"
#include "schedule/BackupSchedule.h"

class Clock;
class LanguageTexts;
class ProtocolLog;
class ScheduleHost;
class TaskStore;
struct BackupTask;

// Drives the daily schedule from the main window's tick and tells the user
// about failures: starts due and missed tasks, keeps the run records, shows
// the overdue warning in a row, raises notifications and sends failure mail.
class ScheduleDriver : public QObject {
    Q_OBJECT
public:
    ScheduleDriver(ScheduleHost &host, const TaskStore &store, const Clock &clock, ProtocolLog &log,
                   const LanguageTexts &texts, QObject *parent = nullptr);

    // After every rebuild of the task list: records afresh, each row's
    // remembered message where no other warning took the column.
    void listRebuilt(const QList<TaskListEntry> &entries);
    // The timer's tick (and the first look at start-up): starts what is due
    // or missed, in row order.
    void tick();

    // A run (scheduled, made up or manual) ended. message: its Message
    // column text; reason: the line that says what went wrong.
    void runFinished(const BackupTask &task, bool success, const QString &message, const QString &reason);
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

private:
    void alert(const QString &text);
    void recordNotSaved(const QString &name);
    void sendMail(const MailMessage &mail);
    void overdueNotices(const QList<ScheduleRowInput> &rows);

    ScheduleHost &m_host;
    const TaskStore &m_store;
    ProtocolLog &m_log;
    const LanguageTexts &m_texts;
    BackupSchedule m_schedule;
    MailSender m_mail;
    MailSettings m_mailSettings;
    QString m_unshownWarning;
};
