// The main window's side of the schedule: what it shows of it on the tray
// icon and the status bar, and the notification settings.
#include <QLabel>

#include "engine/Clock.h"
#include "engine/Scheduler.h"
#include "engine/TForm1.h"
#include "notify/MailSettingsDialog.h"
#include "schedule/ScheduleDriver.h"
#include "shell/TNotifyIcon.h"

void TForm1::buildSchedule()
{
    ScheduleDriver &schedule = scheduleDriver();
    connect(&schedule, &ScheduleDriver::notificationRequested, NotifyIcon1, &TNotifyIcon::ShowMessage);
    connect(&schedule, &ScheduleDriver::stateChanged, this, &TForm1::showScheduleState);
    connect(this, &TForm1::languageApplied, this, [this] { scheduleDriver().refreshState(); });
    MailDialog = new MailSettingsDialog(m_store, m_texts, this);
    connect(MailDialog, &MailSettingsDialog::settingsSaved, this, [this] {
        scheduleDriver().reloadMailSettings();
        RefreshTaskList();  // the overdue limit may have changed
    });
}

void TForm1::Notifications1Click()
{
    if (!MailDialog->isVisible())
        MailDialog->openWithStoredValues();
    MailDialog->raise();
    MailDialog->activateWindow();
}

void TForm1::showScheduleState(const ScheduleState &state)
{
    // The scheduler's own hint first, then the next backup and the failures.
    setTrayHint(QStringList(QStringList{SchedulerHint(m_currentTask)} + state.tipLines).join(QLatin1Char('\r')));
    NotifyIcon1->SetWarning(state.failedTasks > 0);
    m_nextBackupPanel->setText(state.nextBackup);
    // Where the tray can show neither icon nor notifications.
    m_warningPanel->setText(NotifyIcon1->trayAvailable() ? QString() : state.warning);
}

QDateTime TForm1::now() const
{
    return m_service->clock().now();
}
