#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "schedule/BackupSchedule.h"

// What the schedule needs of the main window.
class ScheduleHost {
public:
    virtual ~ScheduleHost() = default;
    // The task list's rows as they stand, in row order.
    virtual QList<ScheduleRowInput> scheduleRows() const = 0;
    virtual QString rowMessage(int row) const = 0;
    virtual void setRowMessage(int row, const QString &text) = 0;
    // Makes the task current and starts (or queues) its run. By name: a
    // rebuild while runs start may move the rows. Returns why the run could
    // not start, in the interface language; empty when it started, waits in
    // line, or runs in another process.
    virtual QString startScheduledRun(const QString &taskName) = 0;
    // A desktop notification; false where there is no notification area.
    virtual bool showNotification(const QString &title, const QString &text) = 0;
    // tipLines: the lines the tray tip carries after the scheduler's own
    // hint; nextBackup: for the status bar; failedTasks: how many active
    // tasks failed last (the tray shows its warning icon while there are
    // any); warning: the last alert that could not be shown, else the count
    // of failed tasks, for the status bar where there is no notification
    // area (empty: nothing to warn of).
    virtual void showScheduleState(const QStringList &tipLines, const QString &nextBackup, int failedTasks,
                                   const QString &warning) = 0;
    // The protocol's last lines, oldest first, for a failure mail.
    virtual QStringList recentProtocolLines() const = 0;
};
