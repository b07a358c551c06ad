// The main window's side of the schedule: what the schedule driver reads of
// the task list and shows on the tray icon and the status bar.
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>

#include "engine/Clock.h"
#include "engine/Scheduler.h"
#include "engine/TForm1.h"
#include "notify/FailureMail.h"
#include "shell/TNotifyIcon.h"
#include "tasks/TaskListView.h"

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

void TForm1::startScheduledRun(const QString &taskName)
{
    LoadTask(taskName);
    StartBackup();
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
