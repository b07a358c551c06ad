// The main window's side of the schedule: what the schedule driver reads of
// the task list and shows on the tray icon and the status bar.
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>

#include "engine/Clock.h"
#include "engine/Scheduler.h"
#include "engine/TForm1.h"
#include "notify/FailureMail.h"
#include "notify/MailSettingsDialog.h"
#include "schedule/ScheduleDriver.h"
#include "shell/TNotifyIcon.h"
#include "tasks/TaskListView.h"

void TForm1::buildSchedule()
{
    m_schedule = std::make_unique<ScheduleDriver>(*this, m_store, m_clock, m_log, m_texts);
    connect(m_session.get(), &RunQueue::runFinished, this, &TForm1::scheduleRunFinished);
    connect(this, &TForm1::languageApplied, this, [this] { m_schedule->refreshState(); });
    MailDialog = new MailSettingsDialog(m_store, m_texts, this);
    connect(MailDialog, &MailSettingsDialog::settingsSaved, this, [this] {
        m_schedule->reloadMailSettings();
        RefreshTaskList();  // the overdue limit may have changed
    });
}

void TForm1::scheduleRunFinished(const RunOutcome &outcome)
{
    BackupTask task = BackupTask::withDefaults(outcome.taskName);
    try {
        task = m_store.LoadTask(outcome.taskName);
    } catch (const std::exception &) {
    }
    // The Message text the run has just written into its row.
    QString message = (outcome.success ? m_texts.SuccessfulOn : m_texts.NotSuccessfulOn) + m_log.Timestamp();
    for (int row = 0; row < ListView1->rowCount(); ++row) {
        if (ListView1->rowName(row).compare(outcome.taskName, Qt::CaseInsensitive) == 0)
            message = ListView1->rowMessage(row);
    }
    m_schedule->runFinished(task, outcome.success, message, outcome.reason);
}

void TForm1::Notifications1Click()
{
    if (!MailDialog->isVisible())
        MailDialog->openWithStoredValues();
    MailDialog->raise();
    MailDialog->activateWindow();
}

QList<ScheduleRowInput> TForm1::scheduleRows() const
{
    QList<ScheduleRowInput> rows;
    for (int i = 0; i < ListView1->rowCount(); ++i)
        rows.append({ListView1->rowName(i), ListView1->rowImageIndex(i), ListView1->rowTime(i)});
    return rows;
}

QString TForm1::rowMessage(int row) const
{
    return ListView1->rowMessage(row);
}

void TForm1::setRowMessage(int row, const QString &text)
{
    ListView1->setRowMessage(row, text);
}

QString TForm1::startScheduledRun(const QString &taskName)
{
    return startTask(taskName, false);
}

bool TForm1::showNotification(const QString &title, const QString &text)
{
    return NotifyIcon1->ShowMessage(title, text);
}

void TForm1::showScheduleState(const QStringList &tipLines, const QString &nextBackup, int failedTasks,
                               const QString &warning)
{
    // The scheduler's own hint first, then the next backup and the failures.
    setTrayHint(QStringList(QStringList{SchedulerHint(m_currentTask)} + tipLines).join(QLatin1Char('\r')));
    NotifyIcon1->SetWarning(failedTasks > 0);
    StatusPanels[0]->setText(nextBackup);
    // Where the tray can show neither icon nor notifications.
    StatusPanels[2]->setText(NotifyIcon1->trayAvailable() ? QString() : warning);
}

QStringList TForm1::recentProtocolLines() const
{
    QStringList lines;
    for (QTextBlock b = Memo2->document()->lastBlock(); b.isValid() && lines.size() < FailureMail::ProtocolLines;
         b = b.previous()) {
        if (!b.text().isEmpty())
            lines.prepend(b.text());
    }
    return lines;
}

QDateTime TForm1::now() const
{
    return m_clock.now();
}
